// The JNI 1.1 initialisation record, which current jni.h files no longer
// declare. The double fills javaStackSize in it when asked for the defaults
// of JNI_VERSION_1_1; the probe reads it back. Declared here on its own, not
// taken from the launcher, so that the double checks the launcher's layout.
#pragma once

#include <jni.h>

#include <cstdarg>
#include <cstdio>

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
    jint(JNICALL* vfprintf)(FILE* stream, const char* format, va_list arguments);
    void(JNICALL* exit)(jint code);
    void(JNICALL* abort)();
    jint enableClassGC;
    jint enableVerboseGC;
    jint disableAsyncGC;
    jint verbose;
    jboolean debugging;
    jint debugPort;
};
