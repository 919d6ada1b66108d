// The JVM library, VM creation and Java main thread logic against scripted
// entry points; the real JNI paths are covered end to end.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_platform.h"
#include "jvm/jvm_interface.h"
#include "launcher/launcher.h"

namespace kite {
namespace {

using testing::FakePlatform;

// What the scripted entry points saw and answer.
struct Script {
    jint createResult = JNI_OK;
    jint defaultStackSize = 0;
    jint defaultQueryVersion = 0;
    int createCalls = 0;
    int destroyCalls = 0;
    jint version = 0;
    jboolean ignoreUnrecognized = JNI_TRUE;
    std::vector<std::string> optionStrings;
    std::vector<void*> extraInfos;
};
Script script;

jint JNICALL scriptedDestroy(JavaVM*) {
    ++script.destroyCalls;
    return JNI_OK;
}

JNIInvokeInterface_ scriptedInvokeInterface{};
JavaVM scriptedVm{};

jint JNICALL scriptedCreate(JavaVM** vm, void** env, void* args) {
    ++script.createCalls;
    auto* initArgs = static_cast<JavaVMInitArgs*>(args);
    script.version = initArgs->version;
    script.ignoreUnrecognized = initArgs->ignoreUnrecognized;
    for (jint i = 0; i < initArgs->nOptions; ++i) {
        script.optionStrings.emplace_back(initArgs->options[i].optionString);
        script.extraInfos.push_back(initArgs->options[i].extraInfo);
    }
    if (script.createResult != JNI_OK) return script.createResult;
    scriptedInvokeInterface.DestroyJavaVM = scriptedDestroy;
    scriptedVm.functions = &scriptedInvokeInterface;
    *vm = &scriptedVm;
    *env = nullptr;
    return JNI_OK;
}

jint JNICALL scriptedDefaultArgs(void* args) {
    auto* initArgs = static_cast<JDK1_1InitArgs*>(args);
    script.defaultQueryVersion = initArgs->version;
    initArgs->javaStackSize = script.defaultStackSize;
    return JNI_ERR;
}

class RecordingListener : public VmExitListener {
public:
    void onVmExit(std::int32_t code) override { exits.push_back(code); }
    void onVmAbort() override { ++aborts; }
    std::vector<std::int32_t> exits;
    int aborts = 0;
};

class JvmHosting : public ::testing::Test {
protected:
    void SetUp() override {
        script = Script{};
        platform.libraries[u"c:\\java\\bin\\server\\jvm.dll"] = library;
    }
    void exportEntryPoints(bool withDefaultArgs = true) {
        platform.symbols[{library, "JNI_CreateJavaVM"}] = reinterpret_cast<void*>(&scriptedCreate);
        if (withDefaultArgs) {
            platform.symbols[{library, "JNI_GetDefaultJavaVMInitArgs"}] = reinterpret_cast<void*>(&scriptedDefaultArgs);
        }
    }

    FakePlatform platform{OsStyle::Windows};
    int libraryTag = 0;
    void* library = &libraryTag;
    const WideString libraryPath = u"C:\\Java\\bin\\server\\jvm.dll";
};

TEST_F(JvmHosting, LoadingReportsAMissingLibraryOrEntryPoint) {
    {
        Launcher launcher(platform);
        EXPECT_FALSE(launcher.loadJvmLibrary(u"C:\\Nowhere\\jvm.dll"));
        EXPECT_EQ(platform.stdoutText,
                  "Error: Konnte Java VM Bibliothek: C:\\Nowhere\\jvm.dll (Fehlernummer= 126) nicht laden.\n \n");
    }
    for (bool withCreate : {false, true}) {
        platform.stdoutText.clear();
        platform.symbols.clear();
        if (withCreate) exportEntryPoints(false);
        Launcher launcher(platform);
        EXPECT_FALSE(launcher.loadJvmLibrary(libraryPath));
        EXPECT_EQ(platform.stdoutText,
                  "Error: Windows Fehler: Kann CreateJavaVM JNI nicht finden (Fehlernummer = 127).\n \n");
    }
}

TEST_F(JvmHosting, DefaultStackSizeComesFromTheJni11Query) {
    exportEntryPoints();  // without JVM_FindClassFromBootLoader, which is optional
    Launcher launcher(platform);
    ASSERT_TRUE(launcher.loadJvmLibrary(libraryPath));
    EXPECT_EQ(launcher.findClassFromBootLoader, nullptr);
    script.defaultStackSize = 1048576;
    EXPECT_EQ(launcher.defaultThreadStackSize(), 1048576);
    EXPECT_EQ(script.defaultQueryVersion, JNI_VERSION_1_1);
    for (jint unusable : {0, -4096}) {
        script.defaultStackSize = unusable;
        EXPECT_EQ(launcher.defaultThreadStackSize(), 0);
    }
    EXPECT_EQ(platform.stdoutText, "");
}

TEST_F(JvmHosting, CreationPassesTheOptionsThenTheHooksAndTeardownDestroys) {
    exportEntryPoints();
    {
        Launcher launcher(platform);
        ASSERT_TRUE(launcher.loadJvmLibrary(libraryPath));
        launcher.jvmOptions = {"-Djava.class.path=C:\\App\\app.jar;", "-Dname=a b", ""};
        EXPECT_TRUE(launcher.createVm());
        EXPECT_EQ(launcher.javaVm, &scriptedVm);
        EXPECT_EQ(script.version, JNI_VERSION_1_2);
        EXPECT_EQ(script.ignoreUnrecognized, JNI_FALSE);
        EXPECT_EQ(script.optionStrings, (std::vector<std::string>{"-Djava.class.path=C:\\App\\app.jar;", "-Dname=a b",
                                                                  "", "abort", "exit"}));
        EXPECT_EQ(script.extraInfos, (std::vector<void*>{nullptr, nullptr, nullptr,
                                                         reinterpret_cast<void*>(&abortHook),
                                                         reinterpret_cast<void*>(&exitHook)}));
        EXPECT_EQ(script.destroyCalls, 0);
    }
    EXPECT_EQ(script.destroyCalls, 1);
    EXPECT_EQ(platform.stdoutText, "");
}

TEST_F(JvmHosting, FailedCreationReportsTheReasonAndEndsTheMainThreadWithOne) {
    exportEntryPoints();
    const std::pair<jint, std::string> cases[] = {
        {JNI_ENOMEM, "nicht gen\u00fcgend Arbeitsspeicher"},
        {JNI_ERR, "unbekannt"},
        {-42, ""},
    };
    for (const auto& [code, reason] : cases) {
        platform.stdoutText.clear();
        script.createResult = code;
        script.destroyCalls = 0;
        {
            Launcher launcher(platform);
            ASSERT_TRUE(launcher.loadJvmLibrary(libraryPath));
            EXPECT_EQ(launcher.runJavaMain(), 1u);
            EXPECT_EQ(launcher.javaVm, nullptr);
        }
        EXPECT_EQ(platform.stdoutText,
                  "Error: JNI Fehler: konnte die Java VM nicht erzeugen\nReason: " + reason + ".\n \n");
        EXPECT_EQ(script.destroyCalls, 0) << "no VM to destroy";
    }
}

TEST_F(JvmHosting, MainThreadStackSizeAndFallbackToTheCallingThread) {
    exportEntryPoints();
    script.createResult = JNI_ERR;
    script.defaultStackSize = 1048576;
    {
        Launcher launcher(platform);
        ASSERT_TRUE(launcher.loadJvmLibrary(libraryPath));
        launcher.runJavaMain();
        EXPECT_EQ(platform.lastThreadStackSize, 1048576u);
    }
    {
        Launcher launcher(platform);
        ASSERT_TRUE(launcher.loadJvmLibrary(libraryPath));
        launcher.mainThreadStackSize = 64u << 20;  // from -Xss: the VM default is not asked
        launcher.runJavaMain();
        EXPECT_EQ(platform.lastThreadStackSize, 64u << 20);
    }
    platform.threadsFail = true;
    script.createCalls = 0;
    Launcher launcher(platform);
    ASSERT_TRUE(launcher.loadJvmLibrary(libraryPath));
    EXPECT_EQ(launcher.runJavaMain(), 1u);
    EXPECT_EQ(script.createCalls, 1);
}

TEST_F(JvmHosting, HooksReachTheListenerOnlyWhenOneIsSet) {
    Launcher launcher(platform);
    exitHook(3);  // outside service mode: nothing happens
    abortHook();
    RecordingListener listener;
    launcher.vmExitListener = &listener;
    exitHook(0);
    exitHook(-7);
    abortHook();
    EXPECT_EQ(listener.exits, (std::vector<std::int32_t>{0, -7}));
    EXPECT_EQ(listener.aborts, 1);
}

}  // namespace
}  // namespace kite
