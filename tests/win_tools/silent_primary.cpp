// Holds the single-instance block of the executable named on its command
// line with an empty header, as a first start does before its listener runs:
// a later start finds the guard held and no one to take its arguments.
// Prints "ready" once the block exists and keeps it until standard input
// closes.
#include <windows.h>

#include <cstdio>
#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return 2;
    std::wstring name = argv[1];
    for (wchar_t& c : name) {
        if (c == L'\\') c = L'_';
    }
    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 2092, name.c_str());
    if (mapping == nullptr || GetLastError() == ERROR_ALREADY_EXISTS) return 1;
    std::puts("ready");
    std::fflush(stdout);
    char buffer[64];
    DWORD got = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &got, nullptr) && got > 0) {
    }
    CloseHandle(mapping);
    return 0;
}
