// The entry of kite-brand.exe, kept with the Windows platform code: the
// UTF-16 command line becomes UTF-8 for the tool; its lines go to the
// console as UTF-16 (any code page shows them), and as UTF-8 into pipes and
// files.
#include <windows.h>

#include <string>
#include <vector>

#include "brand/file_access.h"
#include "brand/text.h"
#include "brand/tool.h"

namespace {

void writeLine(DWORD which, const std::string& line) {
    const HANDLE handle = GetStdHandle(which);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(handle, &mode)) {
        const std::u16string wide = kite::brand::utf16FromUtf8(line + "\r\n").value_or(u"?\r\n");
        WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
    const std::string bytes = line + "\r\n";
    WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        const std::wstring_view arg(argv[i]);
        args.push_back(kite::brand::utf8FromUtf16(std::u16string(arg.begin(), arg.end())));
    }
    kite::brand::StandardFileAccess files;
    const auto out = [](const std::string& line) { writeLine(STD_OUTPUT_HANDLE, line); };
    const auto err = [](const std::string& line) { writeLine(STD_ERROR_HANDLE, line); };
    return kite::brand::runBrandTool(args, files, out, err);
}
