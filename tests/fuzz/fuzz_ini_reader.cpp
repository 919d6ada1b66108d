// The INI readers (the Linux one and the Windows build's), the writer and
// splitAtSeparator on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "foundation/utf.h"
#include "platform/common/ini_text.h"
#include "settings/settings_store.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    kite::ini::Document document = kite::ini::parse(bytes);
    kite::WideStringList names = kite::ini::sectionNames(document);
    for (const kite::WideString& name : names) {
        (void)kite::ini::value(document, name, u"Main Class");
        (void)kite::ini::value(document, name + u"+", u"Class Path");
    }
    kite::ini::setValue(document, u"Java Runtime Environment", u"JRE Path", u"C:\\Java\\");
    const std::string written = kite::ini::serialize(document);
    if (kite::ini::value(kite::ini::parse(written), u"Java Runtime Environment", u"JRE Path") != u"C:\\Java\\") {
        __builtin_trap();
    }
    // The Windows build's reader; a file without byte-order mark decoded as
    // Latin-1 stands in for the ANSI code page.
    const kite::ini::Document windows = kite::ini::parseWindows(
        bytes, [](std::string_view ansi) { return kite::WideString(ansi.begin(), ansi.end()); });
    for (const kite::WideString& name : kite::ini::sectionNames(windows)) {
        (void)kite::ini::value(windows, name, u"Main Class");
        (void)kite::ini::value(windows, name + u"+", u"Class Path");
    }
    const kite::WideString text = kite::fromUtf8(bytes);
    kite::WideStringList pieces;
    kite::splitAtSeparator(text, u";", pieces);
    kite::splitAtSeparator(text, text.substr(0, size % 3), pieces);
    return 0;
}
