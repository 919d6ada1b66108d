// The single-instance guard's set-up rules and the argument area, with a
// scripted channel in place of the shared block or socket.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <vector>

#include "fake_platform.h"
#include "fake_service_control.h"
#include "foundation/message_catalog.h"
#include "instance/argument_area.h"
#include "instance/instance_guard.h"
#include "jvm/java_vm.h"
#include "launcher/launcher.h"
#include "platform/instance_channel.h"

namespace kite {
namespace {

using testing::FakePlatform;

// What the scripted channel was asked and answers; shared with the test
// because the guard owns the channel.
struct ChannelScript {
    bool exists = true;      // false: the block can be neither created nor opened
    bool primary = true;     // the block was newly created
    WideString unsafeFolder;  // set: the folder of the objects is not the user's alone
    bool listens = true;     // startPrimary's result
    ForwardResult forwards = ForwardResult::Forwarded;  // forward's result
    PrimaryReply reply;      // waitForReply's result
    WideString name;
    int startPrimaryCalls = 0;
    std::optional<ArgumentArea> forwarded;
};

class ScriptedChannel : public InstanceChannel {
public:
    explicit ScriptedChannel(std::shared_ptr<ChannelScript> script) : script_(std::move(script)) {}
    bool startPrimary(std::function<void(std::shared_ptr<ForwardedStart>)>) override {
        ++script_->startPrimaryCalls;
        return script_->listens;
    }
    void signalMainStarted() override {}
    ForwardResult forward(const ArgumentArea& area) override {
        script_->forwarded = area;
        return script_->forwards;
    }
    PrimaryReply waitForReply() override { return script_->reply; }

private:
    std::shared_ptr<ChannelScript> script_;
};

struct Guarded {
    explicit Guarded(const std::string& application) {
        platform.addFile(u"C:\\App\\app.ini",
                         "[Java Runtime Environment]\r\nMain Class=App\r\n[Application]\r\n" + application);
        platform.instanceChannels = [script = script](const WideString& name) {
            script->name = name;
            InstanceChannelOpening opening;
            opening.unsafeFolder = script->unsafeFolder;
            if (!script->exists || !script->unsafeFolder.empty()) return opening;
            opening.isPrimary = script->primary;
            opening.channel = std::make_unique<ScriptedChannel>(script);
            return opening;
        };
    }
    std::shared_ptr<ChannelScript> script = std::make_shared<ChannelScript>();
    FakePlatform platform;
    Trace trace{platform, platform};
    JavaVm javaVm{platform, trace};
    const WideString mainClass = u"App";
    InstanceGuard guard{platform, trace, javaVm, mainClass};
    WideStringList arguments;
};

TEST(SingleInstanceSetUp, SettingsAndChannelDecideTheRole) {
    constexpr auto Forwarded = ForwardResult::Forwarded;
    struct Case {
        const char* application;
        bool exists, primary, listens;
        ForwardResult forwards;
        bool result, singleInstance, isPrimary, channelAsked;
    };
    const Case cases[] = {
        // Only the exact "yes" turns the guard on; service mode never has it.
        {"Single Instance=Yes\r\n", true, true, true, Forwarded, true, false, false, false},
        {"Single Instance=true\r\n", true, true, true, Forwarded, true, false, false, false},
        {"Application Type=service\r\nSingle Instance=yes\r\n", true, false, true, Forwarded,
         true, false, false, false},
        // "Service" is not service mode: the guard applies.
        {"Application Type=Service\r\nSingle Instance=yes\r\n", true, true, true, Forwarded, true, true, true, true},
        // No block: an ordinary instance.
        {"Single Instance=yes\r\n", false, true, true, Forwarded, true, false, false, true},
        // Primary; without a listener the guard goes off for it.
        {"Single Instance=yes\r\n", true, true, true, Forwarded, true, true, true, true},
        {"Single Instance=yes\r\n", true, true, false, Forwarded, true, false, true, true},
        // Secondary: the result is whether the hand-over worked.
        {"Single Instance=yes\r\n", true, false, true, Forwarded, true, true, false, true},
        {"Single Instance=yes\r\n", true, false, true, ForwardResult::Failed, false, true, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.application);
        Guarded g(c.application);
        g.script->exists = c.exists;
        g.script->primary = c.primary;
        g.script->listens = c.listens;
        g.script->forwards = c.forwards;
        EXPECT_EQ(g.guard.setUp(g.arguments), c.result);
        EXPECT_EQ(g.guard.guarded(), c.singleInstance);
        EXPECT_EQ(g.guard.isPrimary(), c.isPrimary);
        EXPECT_EQ(!g.script->name.empty(), c.channelAsked);
        EXPECT_EQ(g.script->startPrimaryCalls, c.channelAsked && c.exists && c.primary ? 1 : 0);
        EXPECT_EQ(g.script->forwarded.has_value(), c.channelAsked && c.exists && !c.primary);
        EXPECT_TRUE(g.platform.stdoutText.empty());
    }
}

// A guarded start that can neither become the primary nor hand its
// arguments over fails with a line of its own and the start-up failure
// code; it never runs an instance beside the one that may be running.
TEST(SingleInstanceSetUp, StartsThatCannotBeGuardedFailWithAnErrorLine) {
    struct Case {
        const char* what;
        WideString unsafeFolder;
        ForwardResult forwards;
        std::string line;
    };
    const Case cases[] = {
        {"socket folder of another user or open to others", u"/tmp/kite-1000", ForwardResult::Forwarded,
         "Error: Der Ordner /tmp/kite-1000 geh\xc3\xb6rt einem anderen Benutzer oder ist f\xc3\xbcr andere Benutzer "
         "zug\xc3\xa4nglich; die Einzelinstanz kann nicht gepr\xc3\xbc" "ft werden. \n"},
        {"guard held, nothing takes the arguments", u"", ForwardResult::Unreachable,
         "Error: Das Programm l\xc3\xa4uft bereits, die laufende Instanz ist aber nicht erreichbar. \n"},
        // Windows: a failed post ends the start without a line.
        {"hand-over failed otherwise", u"", ForwardResult::Failed, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Guarded g("Single Instance=yes\r\n");
        g.script->primary = false;
        g.script->unsafeFolder = c.unsafeFolder;
        g.script->forwards = c.forwards;
        testing::FakeServiceControl control;
        EXPECT_EQ(launcherMain(g.platform, control, nullptr), -1);
        EXPECT_EQ(g.platform.stdoutText, c.line);
        EXPECT_EQ(g.platform.dialogCalls, 0);
        EXPECT_EQ(g.script->forwarded.has_value(), c.unsafeFolder.empty());
    }
}

TEST(SingleInstanceSetUp, NameIsThePathWithUnderscoresForBackslashes) {
    Guarded g("Single Instance=yes\r\n");
    g.platform.executablePath = u"C:\\Program Files\\My App\\App.exe";
    g.platform.addFile(u"C:\\Program Files\\My App\\App.ini", "[Application]\r\nSingle Instance=yes\r\n");
    EXPECT_TRUE(g.guard.setUp(g.arguments));
    EXPECT_EQ(g.script->name, u"C:_Program Files_My App_App.exe");
}

TEST(SingleInstanceSetUp, SecondaryForwardsItsArgumentsOnlyWhenTheyFit) {
    // Per argument 2 bytes per unit plus 2, plus 2 for the list.
    const WideString exact(518, u'x');  // 1036 + 2 + 2 = 1040
    struct Case {
        WideStringList arguments;
        bool fits;
    };
    const Case cases[] = {
        {{exact}, true},
        {{exact + u"x"}, false},
        {{WideString(258, u'a'), WideString(259, u'b')}, true},  // 518 + 520 + 2 = 1040
        {{WideString(258, u'a'), WideString(260, u'b')}, false},
        {{}, true},
    };
    for (const Case& c : cases) {
        Guarded g("Single Instance=yes\r\n");
        g.script->primary = false;
        g.arguments = c.arguments;
        EXPECT_EQ(g.guard.setUp(g.arguments), c.fits);
        EXPECT_EQ(g.script->forwarded.has_value(), c.fits);
        if (c.fits) {
            const WideStringList expected = c.arguments.empty() ? WideStringList{u""} : c.arguments;
            EXPECT_EQ(readArgumentArea(g.script->forwarded->data(), kArgumentAreaSize), expected);
        }
    }
}

TEST(SingleInstanceSetUp, SecondaryNeverSearchesARuntimeAndEndsWithTheReply) {
    // No runtime is configured: a search would end with its error line.
    const struct {
        PrimaryReply reply;
        std::int32_t exitCode;
        std::string output;
    } cases[] = {
        {{-7, false}, -7, ""},
        // Every value is a reply of its own; only the refusal flag refuses.
        {{-1, false}, -1, ""},
        {{5, true}, -1,
         "Error: Das Programm l\u00e4uft bereits und nimmt die Argumente eines weiteren Aufrufs nicht an. \n"},
    };
    for (const auto& c : cases) {
        Guarded g("Single Instance=yes\r\n");
        g.script->primary = false;
        g.script->reply = c.reply;
        testing::FakeServiceControl control;
        EXPECT_EQ(launcherMain(g.platform, control, nullptr), c.exitCode) << c.reply.exitCode;
        EXPECT_EQ(g.platform.dialogCalls, 0);
        EXPECT_EQ(g.platform.stdoutText, c.output);
    }
}

std::vector<std::uint8_t> units(std::initializer_list<char16_t> list) {
    std::vector<std::uint8_t> bytes;
    for (char16_t unit : list) {
        bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return bytes;
}

TEST(ArgumentArea, WrittenListsReadBackByTheReaderRule) {
    struct Case {
        WideStringList written;
        WideStringList read;
    };
    const Case cases[] = {
        {{}, {u""}},                                  // no arguments: one empty string
        {{u"a", u"", u"b"}, {u"a"}},                  // an empty argument after the first ends the list
        {{u"", u"x", u"y"}, {u"", u"x", u"y"}},       // an empty first one is kept, the rest follow
        {{u"a b", u"\u00fc\u00df"}, {u"a b", u"\u00fc\u00df"}},
        {{u"\xD83D\xDE00", u"\u0100"}, {u"\xD83D\xDE00", u"\u0100"}},  // units with a zero byte in them
    };
    for (const Case& c : cases) {
        ArgumentArea area;
        area.fill(0xEE);  // the writer clears what an earlier list left
        ASSERT_TRUE(writeArgumentArea(c.written, area));
        EXPECT_EQ(readArgumentArea(area.data(), area.size()), c.read);
    }
    ArgumentArea area;
    area.fill(0xEE);
    EXPECT_FALSE(writeArgumentArea({WideString(519, u'x')}, area));
    EXPECT_EQ(area[0], 0xEE);  // untouched
    ASSERT_TRUE(writeArgumentArea({u"ab"}, area));
    EXPECT_EQ(std::vector<std::uint8_t>(area.begin(), area.begin() + 8), units({u'a', u'b', 0, 0}));
}

TEST(ArgumentArea, HostileContentsNeverReadPastTheBuffer) {
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
        WideStringList read;
    };
    std::vector<std::uint8_t> noTerminator(kArgumentAreaSize, 0x41);
    std::vector<std::uint8_t> loneZeroAtEnd(noTerminator);
    loneZeroAtEnd[kArgumentAreaSize - 2] = 0;
    loneZeroAtEnd[kArgumentAreaSize - 1] = 0;
    const Case cases[] = {
        {"no terminator at all", noTerminator, {WideString(kArgumentAreaSize / 2, u'\x4141')}},
        {"a lone zero at the very end", loneZeroAtEnd, {WideString(kArgumentAreaSize / 2 - 1, u'\x4141')}},
        {"odd byte count", {'a', 0, 'b', 0, 'c'}, {u"ab"}},
        {"one byte", {0}, {u""}},
        {"nothing", {}, {u""}},
        {"terminated argument then the end", units({u'a', 0, u'b'}), {u"a", u"b"}},
        {"zero then the end", units({u'a', 0}), {u"a"}},
        {"double zero stops early", units({u'a', 0, 0, u'b', 0, 0}), {u"a"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // An exactly sized heap copy: the sanitizer catches any read past it.
        auto copy = std::make_unique<std::uint8_t[]>(c.bytes.size());
        std::copy(c.bytes.begin(), c.bytes.end(), copy.get());
        EXPECT_EQ(readArgumentArea(copy.get(), c.bytes.size()), c.read);
    }
}

}  // namespace
}  // namespace kite
