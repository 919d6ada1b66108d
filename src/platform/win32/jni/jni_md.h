/* Machine-dependent JNI types for the Windows builds (the JDK installed on
 * the build machine only carries the Linux variant). */
#ifndef KITE_WIN32_JNI_MD_H
#define KITE_WIN32_JNI_MD_H

#define JNIEXPORT __declspec(dllexport)
#define JNIIMPORT __declspec(dllimport)
#define JNICALL __stdcall

typedef int jint;
typedef long long jlong;
typedef signed char jbyte;

#endif
