// The JNIEnv function table that every attached thread of the double gets.
#pragma once

#include <jni.h>

namespace jvm_double {

// Every slot is filled: the functions a launcher needs are implemented, all
// others report their name and abort the process.
extern const JNINativeInterface_ jniFunctionTable;

}  // namespace jvm_double

namespace jvm_double {

// The boot loader's view, for the JVM_FindClassFromBootLoader export: the JDK
// classes, never the application's; null without an exception otherwise.
jclass findBootClass(JNIEnv* env, const char* name);

}  // namespace jvm_double
