// Starts a program as the Windows shell starts a windowed one: without
// standard handles (STARTF_USESTDHANDLES with null handles, none inherited)
// and without a console, waits for it and ends with its exit code. Under
// Wine a program started from a Unix shell gets the shell's descriptors as
// its standard handles instead.
//   bare_starter.exe <program> [arguments...]
// Ends with 250 when the program cannot be started (the system's error
// number on standard error).
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

// One argument quoted for CommandLineToArgvW and the C runtime's parser.
void appendQuoted(std::wstring& line, const wchar_t* argument) {
    if (!line.empty()) line += L' ';
    const std::wstring text = argument;
    if (!text.empty() && text.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        line += text;
        return;
    }
    line += L'"';
    std::size_t backslashes = 0;
    for (wchar_t c : text) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, L'\\');
    line += L'"';
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fputs("usage: bare_starter.exe <program> [arguments...]\n", stderr);
        return 2;
    }
    std::wstring commandLine;
    for (int i = 1; i < argc; ++i) appendQuoted(commandLine, argv[i]);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(argv[1], commandLine.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, nullptr,
                        &startup, &process)) {
        std::fprintf(stderr, "CreateProcessW failed: %lu\n", GetLastError());
        return 250;
    }
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}
