// Reads back, through the Windows API, what an executable tells Windows about
// itself: the checksum (MapFileAndCheckSumW), the version information
// (GetFileVersionInfoW, VerQueryValueW), the icons (ExtractIconExW, and
// LoadImageW for every image of the first icon group) and the manifest
// (FindResourceW, LoadResource).
//
//   brand_probe FILE
//
// Prints key=value lines in UTF-8; the manifest as hex. Ends with 0, or 1
// when the file cannot be read as a module.
#include <windows.h>
#include <imagehlp.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

void line(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
    bytes += "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::wstring fourParts(DWORD high, DWORD low) {
    return std::to_wstring(HIWORD(high)) + L"." + std::to_wstring(LOWORD(high)) + L"." + std::to_wstring(HIWORD(low)) +
           L"." + std::to_wstring(LOWORD(low));
}

std::wstring iconSize(HICON icon) {
    ICONINFO info{};
    if (icon == nullptr || !GetIconInfo(icon, &info)) {
        return L"none";
    }
    BITMAP bitmap{};
    GetObjectW(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask, sizeof(bitmap), &bitmap);
    if (info.hbmColor != nullptr) {
        DeleteObject(info.hbmColor);
    }
    DeleteObject(info.hbmMask);
    return std::to_wstring(bitmap.bmWidth) + L"x" + std::to_wstring(bitmap.bmHeight);
}

void checksum(const wchar_t* path) {
    DWORD header = 0;
    DWORD computed = 0;
    const DWORD result = MapFileAndCheckSumW(path, &header, &computed);
    line(L"checksum_result=" + std::to_wstring(result));
    line(L"checksum_header=" + std::to_wstring(header));
    line(L"checksum_computed=" + std::to_wstring(computed));
}

void versionInformation(const wchar_t* path) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
    std::vector<BYTE> data(size);
    if (size == 0 || !GetFileVersionInfoW(path, 0, size, data.data())) {
        line(L"version_info=none");
        return;
    }
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) && fixed != nullptr) {
        line(L"file_version=" + fourParts(fixed->dwFileVersionMS, fixed->dwFileVersionLS));
        line(L"product_version=" + fourParts(fixed->dwProductVersionMS, fixed->dwProductVersionLS));
    }
    WORD* translation = nullptr;
    if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                        &length) ||
        length < 4) {
        line(L"translation=none");
        return;
    }
    wchar_t table[16];
    swprintf(table, 16, L"%04x%04x", translation[0], translation[1]);
    line(std::wstring(L"translation=") + table);
    for (const wchar_t* name : {L"CompanyName", L"FileDescription", L"FileVersion", L"InternalName",
                                L"LegalCopyright", L"OriginalFilename", L"ProductName", L"ProductVersion"}) {
        const std::wstring query = std::wstring(L"\\StringFileInfo\\") + table + L"\\" + name;
        wchar_t* value = nullptr;
        if (VerQueryValueW(data.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) && value != nullptr) {
            line(std::wstring(L"string:") + name + L"=" + value);
        }
    }
}

void icons(const wchar_t* path) {
    const UINT count = ExtractIconExW(path, -1, nullptr, nullptr, 0);
    line(L"extract_icon_count=" + std::to_wstring(count));
    HICON large = nullptr;
    HICON small = nullptr;
    if (count > 0 && ExtractIconExW(path, 0, &large, &small, 1) > 0) {
        line(L"extract_icon_large=" + iconSize(large));
        line(L"extract_icon_small=" + iconSize(small));
        DestroyIcon(large);
        DestroyIcon(small);
    }
}

BOOL CALLBACK firstName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR found) {
    *reinterpret_cast<ULONG_PTR*>(found) = reinterpret_cast<ULONG_PTR>(name);
    return FALSE;
}

void groupImages(HMODULE module) {
    ULONG_PTR groupName = 0;
    EnumResourceNamesW(module, MAKEINTRESOURCEW(14), firstName, reinterpret_cast<LONG_PTR>(&groupName));
    if (groupName == 0 || !IS_INTRESOURCE(groupName)) {
        line(L"icon_group=none");
        return;
    }
    const WORD id = static_cast<WORD>(groupName);
    line(L"icon_group=" + std::to_wstring(id));
    const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(14));
    const HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
    const auto* group = static_cast<const BYTE*>(loaded != nullptr ? LockResource(loaded) : nullptr);
    if (group == nullptr || SizeofResource(module, found) < 6) {
        return;
    }
    const WORD count = *reinterpret_cast<const WORD*>(group + 4);
    for (WORD i = 0; i < count && 6u + 14u * (i + 1) <= SizeofResource(module, found); ++i) {
        const BYTE* entry = group + 6 + 14 * i;
        const int width = entry[0] == 0 ? 256 : entry[0];
        const int height = entry[1] == 0 ? 256 : entry[1];
        const auto icon = static_cast<HICON>(
            LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_ICON, width, height, LR_DEFAULTCOLOR));
        line(L"icon_image=" + std::to_wstring(width) + L"x" + std::to_wstring(height) + L":" + iconSize(icon));
        if (icon != nullptr) {
            DestroyIcon(icon);
        }
    }
}

void manifest(HMODULE module) {
    const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    const HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
    const auto* text = static_cast<const BYTE*>(loaded != nullptr ? LockResource(loaded) : nullptr);
    if (text == nullptr) {
        line(L"manifest=none");
        return;
    }
    std::wstring hex;
    const DWORD size = SizeofResource(module, found);
    for (DWORD i = 0; i < size; ++i) {
        wchar_t digits[3];
        swprintf(digits, 3, L"%02x", text[i]);
        hex += digits;
    }
    line(L"manifest_hex=" + hex);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        line(L"usage: brand_probe FILE");
        return 2;
    }
    checksum(argv[1]);
    versionInformation(argv[1]);
    icons(argv[1]);
    const HMODULE module =
        LoadLibraryExW(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (module == nullptr) {
        line(L"module=none");
        return 1;
    }
    groupImages(module);
    manifest(module);
    FreeLibrary(module);
    return 0;
}
