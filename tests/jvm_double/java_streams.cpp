#include "java_streams.h"

#include "record.h"
#include "text_encoding.h"

namespace jvm_double {

namespace {

JavaObject* consolePrintStream(DWORD standardHandle) {
    JavaObject* file = newObject(JavaObject::Kind::FileStream);
    file->standardHandle = standardHandle;
    file->path = "console";
    JavaObject* print = newObject(JavaObject::Kind::PrintStream);
    print->target = file;
    return print;
}

// The system's text for an error code, as Java puts it in parentheses.
std::string errorText(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    const DWORD length = FormatMessageW(flags, nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::u16string text;
    if (length > 0 && buffer != nullptr) text.assign(reinterpret_cast<const char16_t*>(buffer), length);
    if (buffer != nullptr) LocalFree(buffer);
    while (!text.empty() && std::u16string_view(u"\r\n .").find(text.back()) != std::u16string_view::npos) {
        text.pop_back();
    }
    if (text.empty()) return "error " + std::to_string(code);
    return utf8FromUtf16(text);
}

}  // namespace

void initStandardStreams() {
    vm().systemOut = consolePrintStream(STD_OUTPUT_HANDLE);
    vm().systemErr = consolePrintStream(STD_ERROR_HANDLE);
}

JavaObject* openFileOutputStream(ThreadEnv& thread, const std::u16string& name, bool append) {
    const std::string path = utf8FromUtf16(name);
    HANDLE file = CreateFileW(reinterpret_cast<const wchar_t*>(name.c_str()), append ? FILE_APPEND_DATA : GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, append ? OPEN_ALWAYS : CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        recordFact("file_open_failed=" + path + " error=" + std::to_string(error));
        throwNew(thread, "java.io.FileNotFoundException", path + " (" + errorText(error) + ")");
        return nullptr;
    }
    recordFact("file_opened=" + path + " append=" + (append ? "1" : "0"));
    JavaObject* stream = newObject(JavaObject::Kind::FileStream);
    stream->file = file;  // open until the process ends, like the VM's streams
    stream->path = path;
    return stream;
}

std::string streamTarget(const JavaObject* printStream) {
    if (printStream == nullptr) return "null";
    return printStream->target->path;
}

void printLine(bool toErr, std::string_view text) {
    VmLock lock;
    const JavaObject* print = toErr ? vm().systemErr : vm().systemOut;
    if (print == nullptr) return;
    const JavaObject* target = print->target;
    HANDLE handle = target->standardHandle != 0 ? GetStdHandle(target->standardHandle) : target->file;
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
    writeFully(handle, std::string(text) + "\r\n");
}

}  // namespace jvm_double
