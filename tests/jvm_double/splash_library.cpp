// splashscreen.dll of the test runtime: the exports of a runtime's splash
// library, with plain names and the C calling convention. Each call is
// appended to the double's record (KITE_DOUBLE_RECORD); like the real
// library, a load before SplashInit shows nothing, and only a PNG, GIF or
// JPEG image loads.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "record.h"

using jvm_double::recordFact;

namespace {

bool initialised = false;

std::string text(const char* name) { return name == nullptr ? "(null)" : name; }

bool isImage(const unsigned char* bytes, std::size_t size) {
    return (size >= 4 && std::memcmp(bytes, "\x89PNG", 4) == 0) || (size >= 4 && std::memcmp(bytes, "GIF8", 4) == 0) ||
           (size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xD8);
}

int loaded(bool image) {
    if (!initialised) {
        recordFact("splash_load_before_init");
        return 0;
    }
    return image ? 1 : 0;
}

}  // namespace

extern "C" {

__declspec(dllexport) void SplashInit() {
    initialised = true;
    recordFact("splash_init");
}

__declspec(dllexport) void SplashClose() { recordFact("splash_close"); }

__declspec(dllexport) int SplashLoadFile(const char* name) {
    unsigned char head[4] = {};
    std::size_t size = 0;
    if (FILE* file = std::fopen(name, "rb")) {
        size = std::fread(head, 1, sizeof head, file);
        std::fclose(file);
    }
    const int result = loaded(isImage(head, size));
    recordFact("splash_load_file=" + text(name) + " result=" + std::to_string(result));
    return result;
}

__declspec(dllexport) int SplashLoadMemory(void* bytes, int size) {
    const int result = loaded(size > 0 && isImage(static_cast<const unsigned char*>(bytes), static_cast<std::size_t>(size)));
    recordFact("splash_load_memory=" + std::to_string(size) + " result=" + std::to_string(result));
    return result;
}

__declspec(dllexport) void SplashSetFileJarName(const char* file, const char* jar) {
    recordFact("splash_file_jar_name=" + text(file) + " jar=" + text(jar));
}

__declspec(dllexport) void SplashSetScaleFactor(float scale) {
    recordFact("splash_scale=" + std::to_string(static_cast<int>(scale * 100)));
}

__declspec(dllexport) int SplashGetScaledImgNameMaxPstfixLen(const char* file) {
    return static_cast<int>(std::strlen(file)) + 8;
}

// A display at twice the size when the test sets KITE_DOUBLE_SPLASH_SCALED:
// "<name>@2x<extension>" when that file exists.
__declspec(dllexport) bool SplashGetScaledImageName(const char* jar, const char* file, float* scale, char* buffer,
                                                    std::size_t size) {
    recordFact("splash_scaled_name=" + text(file) + " jar=" + text(jar));
    *scale = 1.0f;
    if (GetEnvironmentVariableA("KITE_DOUBLE_SPLASH_SCALED", nullptr, 0) == 0) return false;
    std::string name = file;
    const std::size_t dot = name.rfind('.');
    name.insert(dot == std::string::npos ? name.size() : dot, "@2x");
    if (name.size() + 1 > size || GetFileAttributesA(name.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    *scale = 2.0f;
    return true;
}

}  // extern "C"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    DisableThreadLibraryCalls(instance);
    jvm_double::openRecord();
    // The runtime's own splash library imports the JVM library: it must be loaded first.
    recordFact(std::string("splash_library jvm_loaded=") + (GetModuleHandleW(L"jvm.dll") != nullptr ? "1" : "0"));
    return TRUE;
}
