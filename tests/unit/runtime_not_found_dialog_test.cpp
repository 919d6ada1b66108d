// The runtime-not-found dialog without a window: its state rules, the Linux
// terminal prompt built on them, the link colour rule and the centring rule.
#include <gtest/gtest.h>

#include <deque>

#include "fake_platform.h"
#include "ui/link_colors.h"
#include "ui/runtime_not_found_dialog.h"
#include "ui/runtime_prompt.h"
#include "ui/window_placement.h"

namespace kite {
namespace {

using testing::FakePlatform;
using testing::utf8;
using Action = RuntimeNotFoundDialog::Action;

struct WindowsMachine {
    WindowsMachine() {
        platform.addFile(u"C:\\client\\bin\\client\\jvm.dll");
        platform.addFile(u"C:\\server\\bin\\server\\jvm.dll");
        platform.addFile(u"D:\\bin\\client\\jvm.dll");
        platform.addDirectory(u"C:\\empty");
    }
    FakePlatform platform;
};

TEST(RuntimeNotFoundDialog, BrowseEnablesOkOnlyForTheWantedLayouts) {
    WindowsMachine m;
    const struct {
        JvmType type;
        WideString folder;
        bool ok;
        WideString library;
    } cases[] = {
        {JvmType::Default, u"C:\\client", true, u"C:\\client\\bin\\client\\jvm.dll"},
        {JvmType::FavorServer, u"C:\\client", true, u"C:\\client\\bin\\client\\jvm.dll"},
        {JvmType::Server, u"C:\\client", false, u""},
        {JvmType::Server, u"C:\\server\\", true, u"C:\\server\\bin\\server\\jvm.dll"},
        {JvmType::Default, u"C:\\empty", false, u""},
        // The runtime home itself must be chosen, not its bin folder.
        {JvmType::Default, u"C:\\client\\bin", false, u""},
    };
    for (const auto& c : cases) {
        RuntimeNotFoundDialog dialog(m.platform, u"message", c.type);
        EXPECT_FALSE(dialog.okEnabled());
        EXPECT_EQ(dialog.browsed(c.folder), c.ok) << utf8(c.folder);
        EXPECT_EQ(dialog.okEnabled(), c.ok);
        EXPECT_EQ(dialog.jvmLibraryPath(), c.library);
        EXPECT_EQ(dialog.jreFolder().back(), u'\\');
    }
    // A drive root as the browser returns it keeps its single backslash.
    RuntimeNotFoundDialog root(m.platform, u"message", JvmType::Default);
    EXPECT_TRUE(root.browsed(u"D:\\"));
    EXPECT_EQ(root.jreFolder(), u"D:\\");
    EXPECT_EQ(root.jvmLibraryPath(), u"D:\\bin\\client\\jvm.dll");
}

TEST(RuntimeNotFoundDialog, LaterBrowseWithoutLibraryTakesOkBack) {
    WindowsMachine m;
    RuntimeNotFoundDialog dialog(m.platform, u"message", JvmType::Default);
    ASSERT_TRUE(dialog.browsed(u"C:\\client"));
    EXPECT_FALSE(dialog.browsed(u"C:\\empty"));
    EXPECT_EQ(dialog.jreFolder(), u"C:\\empty\\");
    EXPECT_EQ(dialog.jvmLibraryPath(), u"");
    // OK (by Enter or a sent command) does nothing now, and nothing stale is handed out.
    EXPECT_EQ(dialog.command(RuntimeNotFoundDialog::kOkButton).action, Action::None);
    WideString library = u"untouched";
    WideString folder = u"untouched";
    EXPECT_EQ(dialog.finish(RuntimeNotFoundDialog::kAccepted, library, folder), RuntimeNotFoundDialog::kNotShown);
    EXPECT_EQ(library, u"untouched");
    EXPECT_EQ(folder, u"untouched");
    // A further browse in the ready state replaces both values.
    ASSERT_TRUE(dialog.browsed(u"C:\\client"));
    ASSERT_TRUE(dialog.browsed(u"D:\\"));
    EXPECT_EQ(dialog.finish(RuntimeNotFoundDialog::kAccepted, library, folder), RuntimeNotFoundDialog::kAccepted);
    EXPECT_EQ(library, u"D:\\bin\\client\\jvm.dll");
    EXPECT_EQ(folder, u"D:\\");
}

TEST(RuntimeNotFoundDialog, CommandsAndResults) {
    WindowsMachine m;
    RuntimeNotFoundDialog dialog(m.platform, u"message", JvmType::Default);
    EXPECT_EQ(dialog.command(RuntimeNotFoundDialog::kOkButton).action, Action::None);
    EXPECT_EQ(dialog.command(RuntimeNotFoundDialog::kBrowseButton).action, Action::Browse);
    EXPECT_EQ(dialog.command(RuntimeNotFoundDialog::kDownloadLink).action, Action::None);
    const auto cancel = dialog.command(RuntimeNotFoundDialog::kCancelButton);
    EXPECT_EQ(cancel.action, Action::End);
    EXPECT_EQ(cancel.result, RuntimeNotFoundDialog::kCancelled);
    dialog.browsed(u"C:\\client");
    const auto ok = dialog.command(RuntimeNotFoundDialog::kOkButton);
    EXPECT_EQ(ok.action, Action::End);
    EXPECT_EQ(ok.result, RuntimeNotFoundDialog::kAccepted);

    // Only OK hands out the library and folder; a failed or odd showing counts as not shown.
    for (const auto& [shown, expected] : {std::pair{2, 2}, std::pair{-1, -1}, std::pair{0, -1}, std::pair{7, -1}}) {
        WideString library;
        WideString folder;
        EXPECT_EQ(dialog.finish(shown, library, folder), expected);
        EXPECT_TRUE(library.empty() && folder.empty());
    }
}

// A terminal with scripted answers; nullopt ends the input.
class ScriptedTerminal : public PromptTerminal {
public:
    explicit ScriptedTerminal(std::deque<std::optional<WideString>> answers) : answers_(std::move(answers)) {}
    void write(const WideString& text) override { output += utf8(text); }
    bool readLine(WideString& line) override {
        if (answers_.empty() || !answers_.front()) return false;
        line = *answers_.front();
        answers_.pop_front();
        return true;
    }
    WideString folderPath(const WideString& answer) override {
        return answer.starts_with(u"/") ? answer : u"/work/" + answer;
    }
    std::string output;

private:
    std::deque<std::optional<WideString>> answers_;
};

TEST(RuntimePrompt, AsksUntilAFolderHoldsALibraryOrTheAnswerIsEmpty) {
    FakePlatform platform(OsStyle::Posix);
    platform.addFile(u"/opt/jdk/lib/server/libjvm.so");
    platform.addFile(u"/work/jre8/lib/amd64/client/libjvm.so");
    platform.addDirectory(u"/tmp/nothing");
    const WideString message = u"Die Java-Laufzeitumgebung (JRE) wurde nicht gefunden. ... (neueste Version) von:";
    {  // A wrong folder is named and asked again; the next answer is accepted.
        RuntimeNotFoundDialog dialog(platform, message, JvmType::Default);
        ScriptedTerminal terminal({u"/tmp/nothing", u"  /opt/jdk \r"});
        EXPECT_EQ(runRuntimePrompt(dialog, terminal), RuntimeNotFoundDialog::kAccepted);
        EXPECT_EQ(dialog.jreFolder(), u"/opt/jdk/");
        EXPECT_EQ(dialog.jvmLibraryPath(), u"/opt/jdk/lib/server/libjvm.so");
        EXPECT_EQ(terminal.output, "JRE nicht gefunden\n" + utf8(message) + " https://adoptium.net/\n"
                                   "Wenn Sie ein JRE installiert haben, k\xC3\xB6nnen Sie unten danach suchen:\n"
                                   "JRE Pfad: Kein JRE: /tmp/nothing\nJRE Pfad: ");
    }
    {  // A relative answer goes through the terminal's folder rule; the Java 8 layout counts.
        RuntimeNotFoundDialog dialog(platform, message, JvmType::FavorServer);
        ScriptedTerminal terminal({u"jre8"});
        EXPECT_EQ(runRuntimePrompt(dialog, terminal), RuntimeNotFoundDialog::kAccepted);
        EXPECT_EQ(dialog.jvmLibraryPath(), u"/work/jre8/lib/amd64/client/libjvm.so");
    }
    {  // Server wants the server layout only; then an empty answer cancels.
        RuntimeNotFoundDialog dialog(platform, message, JvmType::Server);
        ScriptedTerminal terminal({u"/work/jre8", u"   "});
        EXPECT_EQ(runRuntimePrompt(dialog, terminal), RuntimeNotFoundDialog::kCancelled);
        EXPECT_FALSE(dialog.okEnabled());
    }
    {  // The end of the input cancels as well.
        RuntimeNotFoundDialog dialog(platform, message, JvmType::Default);
        ScriptedTerminal terminal({std::nullopt});
        EXPECT_EQ(runRuntimePrompt(dialog, terminal), RuntimeNotFoundDialog::kCancelled);
        EXPECT_TRUE(terminal.output.ends_with("JRE Pfad: \n"));
    }
}

TEST(LinkColors, BrowserSettingRule) {
    const struct {
        const char16_t* text;
        std::optional<LinkColor> color;
    } cases[] = {
        {u"0,128,0", LinkColor{0, 128, 0}},
        {u"255,255,255", LinkColor{255, 255, 255}},  // 11 characters: still read
        {u"255,255,2550", std::nullopt},            // 12 characters
        {u"0,128", std::nullopt},
        {u"0,128,", std::nullopt},
        {u"300,0,0", LinkColor{44, 0, 0}},
        {u"256,0,0", LinkColor{0, 0, 0}},
        {u"-1,0,0", std::nullopt},
        {u"0,-1,0", std::nullopt},
        {u"0,0,-1", LinkColor{0, 0, 255}},
        {u" 12, +7,x", LinkColor{12, 7, 0}},  // blanks and signs as atoi reads them; no digits give 0
        {u"a,b,c", LinkColor{0, 0, 0}},
        {u"", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(parseLinkColor(c.text), c.color) << utf8(c.text);
    EXPECT_EQ((LinkColor{1, 2, 3}).packed(), 0x030201u);
    EXPECT_EQ(kDefaultLinkColor.packed(), 0xFF0000u);
    EXPECT_EQ(kDefaultVisitedColor.packed(), 0x800080u);
}

TEST(WindowPlacement, CentresAndKeepsInsideTheWorkArea) {
    const ScreenRect work{0, 0, 1024, 738};
    // Over the work area.
    EXPECT_EQ(centeredPosition(work, work, 390, 262), (ScreenPoint{317, 238}));
    // Over an owner near the right edge: pushed back inside.
    EXPECT_EQ(centeredPosition({900, 100, 1100, 300}, work, 390, 262), (ScreenPoint{634, 69}));
    // Larger than the work area: pinned to its left and top edges.
    EXPECT_EQ(centeredPosition({100, 50, 900, 650}, {100, 50, 900, 650}, 1000, 800), (ScreenPoint{100, 50}));
    // A second monitor left of the first; odd sizes truncate toward zero.
    EXPECT_EQ(centeredPosition({-1280, 0, 0, 1024}, {-1280, 0, 0, 1024}, 391, 263), (ScreenPoint{-835, 381}));
}

}  // namespace
}  // namespace kite
