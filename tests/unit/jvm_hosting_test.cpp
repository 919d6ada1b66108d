// The JVM library, VM creation and Java main thread logic against scripted
// entry points; the real JNI paths are covered end to end.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_platform.h"
#include "jvm/jvm_interface.h"
#include "jvm/java_vm.h"
#include "jvm/main_invocation.h"

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

    // The Java main thread with no arguments; main is never reached here.
    MainOutcome runMain(JavaVm& javaVm) { return runJavaMain(platform, javaVm, jvm, mainClass, {}, MainEvents{}); }

    FakePlatform platform{OsStyle::Windows};
    Trace trace{platform, platform};
    JvmOptions jvm;
    const WideString mainClass = u"app/Main";
    int libraryTag = 0;
    void* library = &libraryTag;
    const WideString libraryPath = u"C:\\Java\\bin\\server\\jvm.dll";
};

TEST_F(JvmHosting, LoadingReportsAMissingLibraryOrEntryPoint) {
    {
        JavaVm javaVm(platform, trace);
        EXPECT_FALSE(javaVm.loadLibrary(u"C:\\Nowhere\\jvm.dll"));
        EXPECT_EQ(platform.stdoutText,
                  "Error: Konnte Java VM Bibliothek: C:\\Nowhere\\jvm.dll (Fehlernummer= 126) nicht laden.\n \n");
    }
    for (bool withCreate : {false, true}) {
        platform.stdoutText.clear();
        platform.symbols.clear();
        if (withCreate) exportEntryPoints(false);
        JavaVm javaVm(platform, trace);
        EXPECT_FALSE(javaVm.loadLibrary(libraryPath));
        EXPECT_EQ(platform.stdoutText,
                  "Error: Windows Fehler: Kann CreateJavaVM JNI nicht finden (Fehlernummer = 127).\n \n");
    }
}

TEST_F(JvmHosting, DefaultStackSizeComesFromTheJni11Query) {
    exportEntryPoints();  // without JVM_FindClassFromBootLoader, which is optional
    JavaVm javaVm(platform, trace);
    ASSERT_TRUE(javaVm.loadLibrary(libraryPath));
    EXPECT_EQ(javaVm.findClassFromBootLoader(), nullptr);
    script.defaultStackSize = 1048576;
    EXPECT_EQ(javaVm.defaultThreadStackSize(), 1048576);
    EXPECT_EQ(script.defaultQueryVersion, JNI_VERSION_1_1);
    for (jint unusable : {0, -4096}) {
        script.defaultStackSize = unusable;
        EXPECT_EQ(javaVm.defaultThreadStackSize(), 0);
    }
    EXPECT_EQ(platform.stdoutText, "");
}

TEST_F(JvmHosting, CreationPassesTheOptionsThenTheHooksAndTeardownDestroys) {
    exportEntryPoints();
    {
        JavaVm javaVm(platform, trace);
        ASSERT_TRUE(javaVm.loadLibrary(libraryPath));
        std::vector<std::string> options = {"-Djava.class.path=C:\\App\\app.jar;", "-Dname=a b", ""};
        EXPECT_TRUE(javaVm.create(options));
        EXPECT_EQ(javaVm.vm(), &scriptedVm);
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
            JavaVm javaVm(platform, trace);
            ASSERT_TRUE(javaVm.loadLibrary(libraryPath));
            EXPECT_FALSE(runMain(javaVm).called);
            EXPECT_EQ(javaVm.vm(), nullptr);
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
        JavaVm javaVm(platform, trace);
        ASSERT_TRUE(javaVm.loadLibrary(libraryPath));
        runMain(javaVm);
        EXPECT_EQ(platform.lastThreadStackSize, 1048576u);
    }
    {
        JavaVm javaVm(platform, trace);
        ASSERT_TRUE(javaVm.loadLibrary(libraryPath));
        jvm.mainThreadStackSize = 64u << 20;  // from -Xss: the VM default is not asked
        runMain(javaVm);
        EXPECT_EQ(platform.lastThreadStackSize, 64u << 20);
    }
    platform.threadsFail = true;
    script.createCalls = 0;
    JavaVm javaVm(platform, trace);
    ASSERT_TRUE(javaVm.loadLibrary(libraryPath));
    EXPECT_FALSE(runMain(javaVm).called);
    EXPECT_EQ(script.createCalls, 1);
}

TEST_F(JvmHosting, HooksReachTheListenerOnlyWhenOneIsSet) {
    JavaVm javaVm(platform, trace);
    exitHook(3);  // outside service mode: nothing happens
    abortHook();
    RecordingListener listener;
    javaVm.setExitListener(&listener);
    exitHook(0);
    exitHook(-7);
    abortHook();
    EXPECT_EQ(listener.exits, (std::vector<std::int32_t>{0, -7}));
    EXPECT_EQ(listener.aborts, 1);
}

}  // namespace
}  // namespace kite
