#include "platform/common/os_conventions.h"

namespace kite {

namespace {

constexpr OsConventions kWindows{
    {{{u"bin\\client\\jvm.dll", nullptr}, false},
     {{u"bin\\classic\\jvm.dll", nullptr}, false},
     {{u"bin\\hotspot\\jvm.dll", nullptr}, false},
     {{u"bin\\server\\jvm.dll", nullptr}, true},
     {{u"bin\\jrockit\\jvm.dll", nullptr}, false}},
    {u"bin\\java.dll", nullptr},
    nullptr,
    nullptr,
    ImageFormat::Pe,
    SettingsFileNaming::LastDotOfPath,
    {u"APPDATA", 259, true, nullptr, false, false},
    {u"LOCALAPPDATA", 259, false, nullptr, false, true},
    LibraryPathRule::WithPathReferences,
    u"Path",
    u"Path",
    u"splashscreen.dll",
    false,
};

constexpr OsConventions kPosix{
    {{{u"lib/client/libjvm.so", u"lib/amd64/client/libjvm.so"}, false},
     {{u"lib/classic/libjvm.so", u"lib/amd64/classic/libjvm.so"}, false},
     {{u"lib/hotspot/libjvm.so", u"lib/amd64/hotspot/libjvm.so"}, false},
     {{u"lib/server/libjvm.so", u"lib/amd64/server/libjvm.so"}, true},
     {{u"lib/jrockit/libjvm.so", u"lib/amd64/jrockit/libjvm.so"}, false}},
    {u"lib/libjava.so", u"lib/amd64/libjava.so"},
    u"amd64",
    u"/usr/lib/jvm",
    ImageFormat::Elf,
    SettingsFileNaming::LastDotOfFileName,
    // A relative XDG_CONFIG_HOME or XDG_CACHE_HOME counts as not set, as the XDG rules say.
    {u"XDG_CONFIG_HOME", 0, true, u"/.config", true, true},
    {u"XDG_CACHE_HOME", 0, true, u"/.cache", false, true},
    LibraryPathRule::JoinedEntries,
    u"LD_LIBRARY_PATH",
    u"PATH",
    u"libsplashscreen.so",
    true,
};

}  // namespace

const OsConventions& conventions(OsStyle style) { return style == OsStyle::Windows ? kWindows : kPosix; }

}  // namespace kite
