// Standard output and error of the Java application written to files, set
// up inside the VM (System.setOut / System.setErr) right after its creation.
// The process's own console handles stay as they are.
#pragma once

#include <jni.h>

#include "foundation/wide_string.h"

namespace kite {

class Launcher;
class Platform;

enum class JavaStream { Output, Error };

// Expands the date/time pictures of outputFile and errorFile (one local time
// for both) and installs the configured streams, output first; when both name
// the same file, one stream serves both. Failures are printed by the VM
// (ExceptionDescribe) and never stop the launch.
void redirectOutputStreams(Launcher& launcher);

// Creates the missing folders, opens the file and installs it as the stream;
// true when installed.
bool redirectStream(Platform& platform, JNIEnv* env, const WideString& fileName, bool append, JavaStream stream);

// A java.io.PrintStream over a new java.io.FileOutputStream, or null (with
// the Java exception pending when the file cannot be opened).
jobject openPrintStream(JNIEnv* env, jstring fileName, bool append);

}  // namespace kite
