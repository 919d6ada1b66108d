// What the launcher uses of a JVM library: the entry point types (taken from
// jni.h's own prototypes, so the calling convention of the 32-bit build
// cannot drift), the JNI 1.1 default-arguments record and the two hooks that
// the VM calls when it exits or aborts.
#pragma once

#include <jni.h>

#include <cstdarg>
#include <cstdio>

namespace kite {

using CreateJavaVmFunction = decltype(&JNI_CreateJavaVM);
using GetDefaultJavaVmInitArgsFunction = decltype(&JNI_GetDefaultJavaVMInitArgs);
// "JVM_FindClassFromBootLoader": the boot loader's class for a narrow name, or null.
using FindClassFromBootLoaderFunction = jclass(JNICALL*)(JNIEnv* env, const char* name);

// The JNI 1.1 initialisation record. Current jni.h files no longer declare
// it, but JNI_GetDefaultJavaVMInitArgs still fills javaStackSize when the
// version is JNI_VERSION_1_1.
struct JDK1_1InitArgs {
    jint version;
    char** properties;
    jint checkSource;
    jint nativeStackSize;
    jint javaStackSize;
    jint minHeapSize;
    jint maxHeapSize;
    jint verifyMode;
    char* classpath;
    jint(JNICALL* vfprintf)(std::FILE* stream, const char* format, va_list arguments);
    void(JNICALL* exit)(jint code);
    void(JNICALL* abort)();
    jint enableClassGC;
    jint enableVerboseGC;
    jint disableAsyncGC;
    jint verbose;
    jboolean debugging;
    jint debugPort;
};

// Installed as the "exit" and "abort" options: they forward the VM's exit
// and abort to the launcher's VmExitListener (service mode only).
void JNICALL exitHook(jint code);
void JNICALL abortHook();

}  // namespace kite
