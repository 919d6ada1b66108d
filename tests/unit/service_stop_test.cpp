// The service's life around main: the order of its status reports and how a
// stop ends the Java application, against a scripted VM that records the
// Java calls a stop makes. The fake platform runs a stop thread at once.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_platform.h"
#include "fake_service_control.h"
#include "jvm/jvm_interface.h"
#include "service/service_host.h"

namespace kite {
namespace {

using testing::FakePlatform;
using testing::FakeServiceControl;

// The scripted VM: what a stop thread called in Java, in order.
struct JavaWorld {
    bool hasStop = false;
    bool exceptionPending = false;
    std::vector<std::string> calls;
};
JavaWorld world;

int mainClassTag = 0, systemTag = 0, stopTag = 0, exitTag = 0;

jclass JNICALL findClass(JNIEnv*, const char* name) {
    if (std::string(name) == "java/lang/System") return reinterpret_cast<jclass>(&systemTag);
    return std::string(name) == "app/Main" ? reinterpret_cast<jclass>(&mainClassTag) : nullptr;
}
jmethodID JNICALL getStaticMethodId(JNIEnv*, jclass type, const char* name, const char* signature) {
    const std::string method = name + std::string(signature);
    if (type == reinterpret_cast<jclass>(&systemTag) && method == "exit(I)V") {
        return reinterpret_cast<jmethodID>(&exitTag);
    }
    if (type == reinterpret_cast<jclass>(&mainClassTag) && method == "stop()V" && world.hasStop) {
        return reinterpret_cast<jmethodID>(&stopTag);
    }
    world.exceptionPending = true;  // NoSuchMethodError
    return nullptr;
}
void JNICALL callStaticVoidMethodA(JNIEnv*, jclass, jmethodID method, const jvalue* arguments) {
    world.calls.push_back(method == reinterpret_cast<jmethodID>(&stopTag)
                              ? "stop"
                              : "System.exit(" + std::to_string(arguments[0].i) + ")");
}
jthrowable JNICALL exceptionOccurred(JNIEnv*) {
    return world.exceptionPending ? reinterpret_cast<jthrowable>(&stopTag) : nullptr;
}
void JNICALL exceptionDescribe(JNIEnv*) {
    world.calls.push_back("describe");
    world.exceptionPending = false;
}
void JNICALL exceptionClear(JNIEnv*) { world.exceptionPending = false; }

JNINativeInterface_ scriptedFunctions = [] {
    JNINativeInterface_ functions{};
    functions.FindClass = findClass;
    functions.GetStaticMethodID = getStaticMethodId;
    functions.CallStaticVoidMethodA = callStaticVoidMethodA;
    functions.ExceptionOccurred = exceptionOccurred;
    functions.ExceptionDescribe = exceptionDescribe;
    functions.ExceptionClear = exceptionClear;
    return functions;
}();
JNIEnv scriptedEnv{&scriptedFunctions};

jint JNICALL attach(JavaVM*, void** env, void*) {
    *env = &scriptedEnv;
    return JNI_OK;
}
jint JNICALL detach(JavaVM*) { return JNI_OK; }
jint JNICALL destroy(JavaVM*) { return JNI_OK; }
JNIInvokeInterface_ scriptedInvoke = [] {
    JNIInvokeInterface_ functions{};
    functions.AttachCurrentThread = attach;
    functions.DetachCurrentThread = detach;
    functions.DestroyJavaVM = destroy;
    return functions;
}();
JavaVM scriptedVm{&scriptedInvoke};

jint JNICALL create(JavaVM** vm, void** env, void*) {
    *vm = &scriptedVm;
    *env = &scriptedEnv;
    return JNI_OK;
}

jint JNICALL defaultArgs(void*) { return JNI_ERR; }

// The host and adapter of one service over the scripted VM; launch plays
// the launch's run (the VM made before it is called).
struct Service {
    explicit Service(std::function<std::int32_t(const MainEvents&)> script) : launch(std::move(script)) {
        world = JavaWorld{};
        platform.libraries[u"c:\\java\\bin\\server\\jvm.dll"] = &library;
        platform.symbols[{&library, "JNI_CreateJavaVM"}] = reinterpret_cast<void*>(&create);
        platform.symbols[{&library, "JNI_GetDefaultJavaVMInitArgs"}] = reinterpret_cast<void*>(&defaultArgs);
        std::vector<std::string> options;
        EXPECT_TRUE(javaVm.loadLibrary(u"C:\\Java\\bin\\server\\jvm.dll") && javaVm.create(options));
        settings.mainClass = u"app/Main";
        host.setApplication(&adapter);
    }
    std::vector<std::uint32_t> states() const {
        std::vector<std::uint32_t> result;
        for (const ServiceStatus& report : control.reports) result.push_back(report.currentState);
        return result;
    }

    std::function<std::int32_t(const MainEvents&)> launch;
    int library = 0;
    FakePlatform platform{OsStyle::Windows};
    Trace trace{platform, platform};
    JavaVm javaVm{platform, trace};
    LaunchSettings settings;
    FakeServiceControl control;
    ServiceHost host{control};
    ServiceAdapter adapter{host, platform, javaVm, settings,
                           [this](const WideStringList&, const std::vector<std::string>&, const MainEvents& events) {
                               return launch(events);
                           }};
};

TEST(ServiceLife, RunningOnlyOnceMainStartsAndNoStopPendingWhileTheVmLivesOn) {
    std::vector<std::uint32_t> beforeMain, afterMainReturned;
    Service service([&](const MainEvents& events) {
        beforeMain = service.states();
        events.starting();
        events.returned(false);
        // The launch now waits in DestroyJavaVM for the threads main left running.
        afterMainReturned = service.states();
        return 0;
    });
    EXPECT_EQ(service.host.runDispatcher(), 0);
    EXPECT_EQ(beforeMain, std::vector<std::uint32_t>{kServiceStartPending});
    EXPECT_EQ(afterMainReturned, (std::vector<std::uint32_t>{kServiceStartPending, kServiceRunning}));
    EXPECT_EQ(service.states(), (std::vector<std::uint32_t>{kServiceStartPending, kServiceRunning, kServiceStopped}));
    EXPECT_EQ(service.control.reports.back().win32ExitCode, 0u);
    EXPECT_TRUE(world.calls.empty());
}

TEST(ServiceLife, AStopCallsStopOrEndsTheVmWithSystemExit) {
    struct Case {
        bool hasStop;
        bool mainThrew;
        bool beforeMain;  // the stop comes while the VM is being made
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {true, false, false, {"stop"}},
        // Without stop() the shutdown hooks run through System.exit, with 0 ...
        {false, false, false, {"System.exit(0)"}},
        // ... and with 1 once main has thrown: a stop does not turn a failure into success.
        {false, true, false, {"System.exit(1)"}},
        // A stop during the start waits for main and is then carried out; the
        // service is never reported running.
        {false, false, true, {"System.exit(0)"}},
        {true, false, true, {"stop"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.hasStop << c.mainThrew << c.beforeMain);
        std::vector<std::string> callsBeforeMain;
        Service service([&](const MainEvents& events) {
            if (c.beforeMain) service.control.sendControl(kServiceControlStop);
            callsBeforeMain = world.calls;
            events.starting();
            if (!c.beforeMain) {
                events.returned(c.mainThrew);
                service.control.sendControl(kServiceControlStop);
            }
            return 0;
        });
        world.hasStop = c.hasStop;
        service.host.runDispatcher();
        EXPECT_TRUE(callsBeforeMain.empty());
        EXPECT_EQ(world.calls, c.calls);
        const std::vector<std::uint32_t> expected =
            c.beforeMain ? std::vector<std::uint32_t>{kServiceStartPending, kServiceStopPending, kServiceStopped}
                         : std::vector<std::uint32_t>{kServiceStartPending, kServiceRunning, kServiceStopPending,
                                                      kServiceStopped};
        EXPECT_EQ(service.states(), expected);
    }
}

TEST(ServiceLife, AStopDuringAStartThatEndsWithoutMainCallsNothingAndKeepsTheFailure) {
    Service service([&](const MainEvents&) {
        service.control.sendControl(kServiceControlStop);
        return -1;  // the VM could not be made, say
    });
    EXPECT_EQ(service.host.runDispatcher(), -1);
    EXPECT_TRUE(world.calls.empty());
    EXPECT_EQ(service.control.reports.back().currentState, kServiceStopped);
    EXPECT_EQ(service.control.reports.back().serviceSpecificExitCode, 0xFFFFFFFFu);
}

}  // namespace
}  // namespace kite
