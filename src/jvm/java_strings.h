// Launcher text to Java objects. Any thread attached to the VM may call these
// with its own JNIEnv; the results are local references of that thread.
#pragma once

#include <jni.h>

#include "foundation/wide_string.h"

namespace kite {

// A java.lang.String with the same UTF-16 code units (surrogate pairs pass
// through unchanged), made through the String(char[]) constructor; null on
// failure.
jstring makeJavaString(const WideString& text, JNIEnv* env);

// A String[] with one element per item, in order; an empty list gives an
// empty array. Null when any element cannot be made.
jobjectArray makeJavaStringArray(const WideStringList& items, JNIEnv* env);

}  // namespace kite
