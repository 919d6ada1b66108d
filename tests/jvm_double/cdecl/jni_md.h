/* The Windows JNI types with JNICALL declared __cdecl instead of __stdcall,
 * for the "cdecl" variant of the test double (32-bit build only): a JVM
 * library that disagrees with the launcher about the calling convention. */
#include_next <jni_md.h>

#undef JNICALL
#define JNICALL __cdecl
