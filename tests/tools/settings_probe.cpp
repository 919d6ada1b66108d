// Reads and writes settings files and expands %NAME% references through the
// real platform, so that the end-to-end tests can hold the Windows functions
// (under Wine) and the Linux code against the same expected values.
//
//   settings_probe get FILE SECTION KEY     prints the layered value
//   settings_probe plain FILE SECTION KEY   prints the plain value
//   settings_probe sections FILE            prints the section names, one a line
//   settings_probe profile FILE SECTION KEY the value as GetPrivateProfileStringW
//                                           reads it (Windows only; exit code 3 elsewhere)
//   settings_probe set FILE SECTION KEY VALUE
//   settings_probe expand TEXT              prints TEXT with %NAME% references expanded
//   settings_probe messages FILE            reads the message settings of FILE as a start
//                                           does and prints every catalog text in use,
//                                           "<number>\t<text>" with line breaks as \n
//
// Output is UTF-8 with the value between '<' and '>' (messages: one text a line).
#include <cstdio>
#include <string>
#include <vector>

#include "foundation/trace.h"
#include "foundation/utf.h"
#include "settings/message_settings.h"
#include "settings/settings_store.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/win32/win32_platform.h"
#else
#include "platform/posix/posix_platform.h"
#endif

namespace {

int probe(kite::Platform& platform, const std::vector<kite::WideString>& args) {
    if (args.size() < 2) return 2;
    const kite::WideString& command = args[0];
    if (command == u"expand") {
        kite::WideString text = args[1];
        if (!platform.env.expandEnvironment(text)) return 1;
        platform.env.writeStdout(u"<" + text + u">\n");
        return 0;
    }
    if (command == u"messages") {
        kite::LayeredSettingsStore store(platform, args[1]);
        kite::applyMessageSettings(store, kite::Trace(platform.env, platform.fs));
        for (const kite::MessageId id : kite::MessageCatalog::ids()) {
            kite::WideString line = kite::traceNumber(static_cast<int>(id)) + u"\t";
            for (const char16_t c : kite::MessageCatalog::text(id)) {
                if (c == u'\n') line += u"\\n";
                else line.push_back(c);
            }
            platform.env.writeStdout(line + u"\n");
        }
        return 0;
    }
    if (command == u"sections") {
        kite::IniSettingsStore store(platform, args[1]);
        kite::WideStringList names;
        store.getSectionNames(names);
        for (const auto& name : names) platform.env.writeStdout(u"<" + name + u">\n");
        return 0;
    }
    if (args.size() < 4) return 2;
    if (command == u"get" || command == u"plain") {
        kite::WideString value;
        if (command == u"get") {
            kite::LayeredSettingsStore(platform, args[1]).getValue(args[2], args[3], value);
        } else {
            kite::IniSettingsStore(platform, args[1]).getValue(args[2], args[3], value);
        }
        platform.env.writeStdout(u"<" + value + u">\n");
        return 0;
    }
    if (command == u"profile") {
#ifdef _WIN32
        std::wstring value(1 << 16, L'\0');
        const auto w = [](const kite::WideString& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); };
        const DWORD length = GetPrivateProfileStringW(w(args[2]), w(args[3]), L"", value.data(),
                                                      static_cast<DWORD>(value.size()), w(args[1]));
        platform.env.writeStdout(u"<" + kite::WideString(reinterpret_cast<const char16_t*>(value.data()), length) +
                                 u">\n");
        return 0;
#else
        return 3;
#endif
    }
    if (command == u"set" && args.size() >= 5) {
        return kite::IniSettingsStore(platform, args[1]).setValue(args[2], args[3], args[4]) ? 0 : 1;
    }
    return 2;
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    kite::Win32Platform platform;
    platform.env.initLocale();
    std::vector<kite::WideString> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(reinterpret_cast<const char16_t*>(argv[i]));
    return probe(platform, args);
}
#else
int main(int argc, char** argv) {
    kite::PosixPlatform platform(argc, argv);
    platform.env.initLocale();
    std::vector<kite::WideString> args;
    for (int i = 1; i < argc; ++i) args.push_back(platform.env.widenText(argv[i]));
    return probe(platform, args);
}
#endif
