#include <gtest/gtest.h>

#include "fake_platform.h"
#include "settings/settings_store.h"

namespace kite {
namespace {

using testing::FakePlatform;

TEST(SplitAtSeparator, CutsAtEverySeparatorWithoutATrailingEmptyPiece) {
    const struct {
        WideString text;
        WideStringList pieces;
    } cases[] = {
        {u"a;b", {u"a", u"b"}},   {u"a;;b", {u"a", u"", u"b"}}, {u"a;", {u"a"}},
        {u";a", {u"", u"a"}},     {u";", {u""}},                {u"", {}},
        {u"abc", {u"abc"}},
    };
    for (const auto& c : cases) {
        WideStringList pieces{u"stale"};
        splitAtSeparator(c.text, u";", pieces);
        EXPECT_EQ(pieces, c.pieces) << testing::utf8(c.text);
    }
    WideStringList pieces;
    splitAtSeparator(u"a\\\\b", u"\\\\", pieces);
    EXPECT_EQ(pieces, (WideStringList{u"a", u"b"}));
}

TEST(LayeredSettingsStore, PlusSectionSuppliesOnlyMissingOrEmptyValues) {
    FakePlatform platform;
    platform.addFile(u"C:\\App\\app.ini",
                     "[S]\nk=abc\nempty=\n[S+]\nk=def\nempty=ext\nonly=def\nspaced= x\nquoted=\" lead\"\n");
    LayeredSettingsStore store(platform, u"C:\\App\\app.ini");
    WideString value = u"stale";
    store.getValue(u"S", u"k", value);
    EXPECT_EQ(value, u"abc");
    store.getValue(u"S", u"empty", value);
    EXPECT_EQ(value, u" ext");
    store.getValue(u"S", u"only", value);
    EXPECT_EQ(value, u" def");
    store.getValue(u"S", u"missing", value);
    EXPECT_EQ(value, u"");
    // A "+" value that already begins with a space gets no second one.
    store.getValue(u"S", u"quoted", value);
    EXPECT_EQ(value, u" lead");

    IniSettingsStore plain(platform, u"C:\\App\\app.ini");
    plain.getValue(u"S", u"only", value);
    EXPECT_EQ(value, u"");
}

TEST(IniSettingsStore, MissingFileIsAnEmptyStore) {
    FakePlatform platform;
    IniSettingsStore store(platform, u"C:\\App\\missing.ini");
    WideString value = u"stale";
    store.getValue(u"Application", u"Main Class", value);
    EXPECT_EQ(value, u"");
    WideStringList names{u"stale"};
    store.getSectionNames(names);
    EXPECT_TRUE(names.empty());
    std::uint8_t head[4] = {};
    EXPECT_NE(store.readFileHead(head), 0);
    EXPECT_FALSE(store.removeFile());
}

TEST(IniSettingsStore, WritesCreateTheFileAndKeepOtherLines) {
    FakePlatform platform;
    platform.addDirectory(u"C:\\App");
    IniSettingsStore store(platform, u"C:\\App\\app.ini");
    ASSERT_TRUE(store.setValue(u"Java Runtime Environment", u"JRE Path", u"C:\\Java\\"));
    ASSERT_TRUE(store.setValue(u"Application", u"Cmd", u"-a"));
    ASSERT_TRUE(store.setValue(u"java runtime environment", u"jre path", u"D:\\Java\\"));
    WideString value;
    store.getValue(u"Java Runtime Environment", u"JRE Path", value);
    EXPECT_EQ(value, u"D:\\Java\\");
    WideStringList names;
    store.getSectionNames(names);
    EXPECT_EQ(names, (WideStringList{u"Java Runtime Environment", u"Application"}));
    std::uint8_t head[4] = {};
    EXPECT_EQ(store.readFileHead(head), 0);
    EXPECT_EQ(head[0], '[');
    EXPECT_TRUE(store.removeFile());
}

}  // namespace
}  // namespace kite
