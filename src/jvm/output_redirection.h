// Standard output and error of the Java application written to files, set
// up inside the VM (System.setOut / System.setErr) right after its creation.
// The process's own console handles stay as they are.
#pragma once

#include <jni.h>

#include "foundation/wide_string.h"
#include "jvm/jvm_options.h"

namespace kite {

class Platform;

enum class JavaStream { Output, Error };

// Expands the date/time pictures of the output and error file names (one
// local time for both) and installs the configured streams, output first;
// when both name the same file, one stream serves both. Failures are printed
// by the VM (ExceptionDescribe) and never stop the launch.
void redirectOutputStreams(Platform& platform, JNIEnv* env, OutputFiles& output);

// Creates the missing folders, opens the file and installs it as the stream;
// true when installed.
bool redirectStream(Platform& platform, JNIEnv* env, const WideString& fileName, bool append, JavaStream stream);

// A java.io.PrintStream over a new java.io.FileOutputStream, or null (with
// the Java exception pending when the file cannot be opened).
jobject openPrintStream(JNIEnv* env, jstring fileName, bool append);

}  // namespace kite
