// The Windows handle kinds that the launcher owns, and the one conversion
// between WideString and the W functions' wchar_t text.
#pragma once

#include <windows.h>

#include "foundation/wide_string.h"
#include "platform/unique_handle.h"

namespace kite {

// Kernel objects: files, mappings, threads, processes, events. Both null and
// INVALID_HANDLE_VALUE mean "none", as different calls report failure either way.
struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle none() { return nullptr; }
    static bool valid(Handle handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
    static void close(Handle handle) { CloseHandle(handle); }
};
using KernelHandle = UniqueHandle<KernelHandleTraits>;

struct RegistryKeyTraits {
    using Handle = HKEY;
    static Handle none() { return nullptr; }
    static bool valid(Handle key) { return key != nullptr; }
    static void close(Handle key) { RegCloseKey(key); }
};
using RegistryKey = UniqueHandle<RegistryKeyTraits>;

struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle none() { return INVALID_HANDLE_VALUE; }
    static bool valid(Handle find) { return find != INVALID_HANDLE_VALUE; }
    static void close(Handle find) { FindClose(find); }
};
using FindHandle = UniqueHandle<FindHandleTraits>;

// WideString and wchar_t are both UTF-16 here: the W functions take the text as it is.
inline const wchar_t* wide(const WideString& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }
inline WideString fromWide(const wchar_t* text) { return WideString(reinterpret_cast<const char16_t*>(text)); }
inline WideString fromWide(const wchar_t* text, std::size_t length) {
    return WideString(reinterpret_cast<const char16_t*>(text), length);
}

}  // namespace kite
