#include "jvm/output_redirection.h"

#include "foundation/path_helpers.h"
#include "jvm/java_strings.h"
#include "platform/platform.h"
#include "settings/value_expansion.h"

namespace kite {

namespace {

bool hasPercent(const WideString& text) { return text.find(u'%') != WideString::npos; }

void describePendingException(JNIEnv* env) {
    if (env->ExceptionOccurred() != nullptr) env->ExceptionDescribe();
}

// Whether two expanded names name the same file: Windows file names do not
// differ in letter case (ASCII and Latin-1 letters are folded here).
bool sameFileName(OsStyle style, const WideString& a, const WideString& b) {
    if (style != OsStyle::Windows) return a == b;
    auto fold = [](char16_t c) {
        if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return static_cast<char16_t>(c + 32);
        return c;
    };
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (fold(a[i]) != fold(b[i])) return false;
    }
    return true;
}

// A PrintStream on fileName, its missing folders made first; null with the
// Java exception pending when it cannot be opened.
jobject openFileStream(Platform& platform, JNIEnv* env, const WideString& fileName, bool append) {
    // A folder that cannot be made shows up as the file open's exception.
    ensureParentDirectories(platform, fileName);
    jstring javaName = makeJavaString(fileName, env);
    if (javaName == nullptr) return nullptr;
    return openPrintStream(env, javaName, append);
}

// Installs printStream as System.out or System.err; true when installed.
bool installStream(JNIEnv* env, jobject printStream, JavaStream stream) {
    jclass system = env->FindClass("java/lang/System");
    if (system == nullptr) return false;
    const char* setter = stream == JavaStream::Output ? "setOut" : "setErr";
    jmethodID install = env->GetStaticMethodID(system, setter, "(Ljava/io/PrintStream;)V");
    if (install == nullptr) return false;
    env->CallStaticVoidMethod(system, install, printStream);
    if (env->ExceptionOccurred() != nullptr) {
        env->ExceptionDescribe();
        return false;
    }
    return true;
}

}  // namespace

void redirectOutputStreams(Platform& platform, JNIEnv* env, OutputFiles& output) {
    if (hasPercent(output.outputFile) || hasPercent(output.errorFile)) {
        // Both names carry the same time stamp.
        const LocalTime now = platform.clock.localTime();
        if (hasPercent(output.outputFile)) expandDateTime(platform, output.outputFile, now);
        if (hasPercent(output.errorFile)) expandDateTime(platform, output.errorFile, now);
    }
    if (!output.outputFile.empty() && sameFileName(platform.style(), output.outputFile, output.errorFile)) {
        // One stream serves both: two streams on one file would write over
        // each other's bytes. "Output Append" decides for both.
        jobject shared = openFileStream(platform, env, output.outputFile, output.outputAppend);
        if (shared == nullptr || !installStream(env, shared, JavaStream::Output) ||
            !installStream(env, shared, JavaStream::Error)) {
            describePendingException(env);
        }
        return;
    }
    // Output first: a failure to open its file is still printed on the
    // original error stream.
    if (!output.outputFile.empty() &&
        !redirectStream(platform, env, output.outputFile, output.outputAppend, JavaStream::Output)) {
        describePendingException(env);
    }
    if (!output.errorFile.empty() &&
        !redirectStream(platform, env, output.errorFile, output.errorAppend, JavaStream::Error)) {
        describePendingException(env);
    }
}

bool redirectStream(Platform& platform, JNIEnv* env, const WideString& fileName, bool append, JavaStream stream) {
    jobject printStream = openFileStream(platform, env, fileName, append);
    return printStream != nullptr && installStream(env, printStream, stream);
}

jobject openPrintStream(JNIEnv* env, jstring fileName, bool append) {
    jclass fileStreamClass = env->FindClass("java/io/FileOutputStream");
    if (fileStreamClass == nullptr) return nullptr;
    jmethodID fileStreamConstructor = env->GetMethodID(fileStreamClass, "<init>", "(Ljava/lang/String;Z)V");
    if (fileStreamConstructor == nullptr) return nullptr;
    jobject fileStream =
        env->NewObject(fileStreamClass, fileStreamConstructor, fileName, static_cast<jboolean>(append ? JNI_TRUE : JNI_FALSE));
    if (fileStream == nullptr) return nullptr;
    jclass printStreamClass = env->FindClass("java/io/PrintStream");
    if (printStreamClass == nullptr) return nullptr;
    jmethodID printStreamConstructor = env->GetMethodID(printStreamClass, "<init>", "(Ljava/io/OutputStream;)V");
    if (printStreamConstructor == nullptr) return nullptr;
    // Without automatic flushing, as the one-argument constructor makes it.
    return env->NewObject(printStreamClass, printStreamConstructor, fileStream);
}

}  // namespace kite
