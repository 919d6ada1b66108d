// The JavaVM (invocation) interface of the double.
#pragma once

#include <jni.h>

namespace jvm_double {

// Points the VM's JavaVM at the double's invocation table.
void initInvokeInterface(JavaVM& javaVm);

// The JNI versions of a Java 17 VM: 1.2 to 10.
bool supportedJniVersion(jint version);

}  // namespace jvm_double
