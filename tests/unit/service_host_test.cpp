#include <gtest/gtest.h>

#include "fake_platform.h"
#include "fake_service_control.h"
#include "launcher/launcher.h"
#include "platform/posix/posix_service_control.h"
#include "service/service_host.h"

#include <atomic>
#include <csignal>

namespace kite {
namespace {

using testing::FakePlatform;
using testing::FakeServiceControl;

// An application whose run delivers the controls a test wants while it "runs".
class ScriptedApplication : public ServiceApplication {
public:
    explicit ScriptedApplication(std::function<void()> whileRunning = {}) : whileRunning_(std::move(whileRunning)) {}
    std::int32_t run(const WideStringList& arguments) override {
        runArguments = arguments;
        ++runs;
        if (whileRunning_) whileRunning_();
        return -1;
    }
    void requestStop() override { ++stops; }
    WideStringList runArguments;
    int runs = 0;
    int stops = 0;

private:
    std::function<void()> whileRunning_;
};

TEST(ServiceHost, ReportsStartPendingThenRunningOnceMainStartsThenStopped) {
    for (bool mainStarts : {true, false}) {
        FakeServiceControl control;
        ServiceHost host(control);
        ScriptedApplication application([&] {
            if (mainStarts) host.reportRunning();
        });
        host.setApplication(&application);
        // The application's exit code is the dispatcher's result.
        EXPECT_EQ(host.runDispatcher(), -1);
        ASSERT_EQ(control.reports.size(), mainStarts ? 3u : 2u);
        // Start pending while the VM is made: stops are taken already.
        const ServiceStatus& starting = control.reports[0];
        EXPECT_EQ(starting.serviceType, 0x10u);
        EXPECT_EQ(starting.currentState, kServiceStartPending);
        EXPECT_EQ(starting.controlsAccepted, 5u);
        EXPECT_EQ(starting.checkPoint, 1u);
        EXPECT_EQ(starting.waitHint, ServiceHost::kStartWaitHint);
        if (mainStarts) {
            const ServiceStatus& running = control.reports[1];
            EXPECT_EQ(running.currentState, kServiceRunning);
            EXPECT_EQ(running.controlsAccepted, 5u);
            EXPECT_EQ(running.checkPoint, 0u);
            EXPECT_EQ(running.waitHint, 0u);
        }
        // A failed run is reported as a service-specific error carrying its
        // exit code; the start's wait hint is gone.
        const ServiceStatus& stopped = control.reports.back();
        EXPECT_EQ(stopped.currentState, kServiceStopped);
        EXPECT_EQ(stopped.win32ExitCode, 1066u);
        EXPECT_EQ(stopped.serviceSpecificExitCode, 0xFFFFFFFFu);
        EXPECT_EQ(stopped.waitHint, 0u);
        EXPECT_EQ(application.runArguments, (WideStringList{u"KiteService"}));
    }
}

TEST(ServiceHost, AFailedStartIsReportedStoppedWithItsCodeAndRunsNothing) {
    FakeServiceControl control;
    ServiceHost host(control);
    ScriptedApplication application;
    host.setApplication(&application);
    host.setStartFailure(-1);
    EXPECT_EQ(host.runDispatcher(), -1);
    ASSERT_EQ(control.reports.size(), 1u);
    EXPECT_EQ(control.reports[0].serviceType, 0x10u);
    EXPECT_EQ(control.reports[0].currentState, kServiceStopped);
    EXPECT_EQ(control.reports[0].win32ExitCode, 1066u);
    EXPECT_EQ(control.reports[0].serviceSpecificExitCode, 0xFFFFFFFFu);
    EXPECT_EQ(application.runs, 0);
}

TEST(ServiceHost, StopAndShutdownReportStopPendingBeforeStopping) {
    for (std::uint32_t code : {kServiceControlStop, kServiceControlShutdown}) {
        FakeServiceControl control;
        ServiceHost host(control);
        // The stop comes during the start: main starting later reports no running state.
        ScriptedApplication application([&] {
            control.sendControl(code);
            host.reportRunning();
            control.sendControl(kServiceControlInterrogate);
        });
        host.setApplication(&application);
        host.runDispatcher();
        ASSERT_EQ(control.reports.size(), 4u);
        EXPECT_EQ(control.reports[1].currentState, kServiceStopPending);
        EXPECT_EQ(control.reports[1].waitHint, 3000u);
        // Interrogate re-reports the record unchanged; the wait hint stays in later reports.
        EXPECT_EQ(control.reports[2].currentState, kServiceStopPending);
        EXPECT_EQ(control.reports[3].currentState, kServiceStopped);
        EXPECT_EQ(control.reports[3].waitHint, 3000u);
        EXPECT_EQ(application.stops, 1);
    }
}

TEST(ServiceHost, FailuresStopTheSequenceWhereTheyHappen) {
    {  // Registration fails: nothing is reported, the application never runs, the process ends with -1.
        FakeServiceControl control;
        control.registrationFails = true;
        ServiceHost host(control);
        ScriptedApplication application;
        host.setApplication(&application);
        EXPECT_EQ(host.runDispatcher(), -1);
        EXPECT_TRUE(control.reports.empty());
        EXPECT_EQ(application.runs, 0);
    }
    {  // The first report fails: the application does not run.
        FakeServiceControl control;
        control.failReportNumber = 0;
        ServiceHost host(control);
        ScriptedApplication application;
        host.setApplication(&application);
        host.runDispatcher();
        EXPECT_EQ(application.runs, 0);
    }
    {  // The stop-pending report fails: the stop is not started.
        FakeServiceControl control;
        control.failReportNumber = 1;
        ServiceHost host(control);
        ScriptedApplication application([&] { control.sendControl(kServiceControlStop); });
        host.setApplication(&application);
        host.runDispatcher();
        EXPECT_EQ(application.stops, 0);
    }
    {  // Started from a console: the dispatcher's error is the result.
        FakeServiceControl control;
        control.dispatcherError = 1063;
        ServiceHost host(control);
        EXPECT_EQ(host.runDispatcher(), 1063);
    }
}

// A service adapter over a launch that records what it was run with and
// fails without a VM.
struct Adapted {
    explicit Adapted(OsStyle style) : platform(style) {}
    FakePlatform platform;
    Trace trace{platform, platform};
    JavaVm javaVm{platform, trace};
    LaunchSettings settings;
    FakeServiceControl control;
    ServiceHost host{control};
    WideStringList arguments;
    std::vector<std::string> leadingOptions;
    ServiceAdapter adapter{host, platform, javaVm, settings,
                           [this](const WideStringList& passed, const std::vector<std::string>& options,
                                  const MainEvents&) {
                               arguments = passed;
                               leadingOptions = options;
                               return -1;
                           }};
};

TEST(ServiceAdapter, AppendsStartArgumentsAndReportsStoppedWithTheExitCode) {
    for (bool omit : {false, true}) {
        Adapted a(OsStyle::Windows);
        a.settings.service.omitServiceName = omit;
        a.adapter.run({u"KiteService", u"-p", u""});
        const WideStringList expected = omit ? WideStringList{u"-p", u""} : WideStringList{u"KiteService", u"-p", u""};
        EXPECT_EQ(a.arguments, expected);
        EXPECT_TRUE(a.leadingOptions.empty());
        FakeServiceControl& control = a.control;
        ServiceAdapter& adapter = a.adapter;

        adapter.onVmExit(0);
        ASSERT_EQ(control.reports.size(), 1u);
        EXPECT_EQ(control.reports[0].currentState, kServiceStopped);
        EXPECT_EQ(control.reports[0].win32ExitCode, 0u);
        // A non-zero System.exit is reported as a service-specific error.
        adapter.onVmExit(3);
        ASSERT_EQ(control.reports.size(), 2u);
        EXPECT_EQ(control.reports[1].currentState, kServiceStopped);
        EXPECT_EQ(control.reports[1].win32ExitCode, 1066u);
        EXPECT_EQ(control.reports[1].serviceSpecificExitCode, 3u);
    }
}

// The event log call: in service mode every error line also reaches the service log.
TEST(ServiceAdapter, ErrorLinesGoToTheServiceLogInServiceModeOnly) {
    for (bool service : {false, true}) {
        Adapted a(OsStyle::Windows);
        a.settings.service.serviceMode = service;
        setErrorLog(&a.adapter);
        printMessage(a.platform, MessageId::MainClassMissing, {});
        setErrorLog(nullptr);
        ASSERT_EQ(a.control.loggedLines.size(), service ? 1u : 0u);
        if (service) {
            EXPECT_EQ(testing::utf8(a.control.loggedLines[0]), a.platform.stdoutText);
        }
    }
}

// A service whose runtime is missing: no dialog, the message on the console
// and in the service log, and the failure reported to the service manager.
TEST(ServiceAdapter, AStartWithoutARuntimeIsLoggedAndReportedAsFailed) {
    for (const char* type : {"service", "Service"}) {
        FakePlatform platform;
        platform.addFile(u"C:\\App\\app.ini",
                         std::string("[Java Runtime Environment]\r\nMain Class=App\r\n[Application]\r\n"
                                     "Application Type=") + type + "\r\n");
        FakeServiceControl control;
        EXPECT_EQ(launcherMain(platform, control), -1);
        const bool service = type == std::string("service");
        EXPECT_EQ(platform.dialogCalls, service ? 0 : 1);
        if (!service) {
            // Outside service mode only the dialog speaks (it could not be shown here).
            EXPECT_EQ(platform.stdoutText, "");
            EXPECT_TRUE(control.reports.empty());
            EXPECT_TRUE(control.loggedLines.empty());
            continue;
        }
        const std::string line =
            "Error: Die Java-Laufzeitumgebung (JRE) wurde nicht gefunden. Bitte downloaden und installieren Sie "
            "eine JRE (neueste Version) von: https://adoptium.net/ \n";
        EXPECT_EQ(platform.stdoutText, line);
        ASSERT_EQ(control.loggedLines.size(), 1u);
        EXPECT_EQ(testing::utf8(control.loggedLines[0]), line);
        ASSERT_EQ(control.reports.size(), 1u);
        EXPECT_EQ(control.reports[0].currentState, kServiceStopped);
        EXPECT_EQ(control.reports[0].win32ExitCode, 1066u);
        EXPECT_EQ(control.reports[0].serviceSpecificExitCode, 0xFFFFFFFFu);
    }
}

TEST(ServiceAdapter, ALinuxServiceKeepsItsStopSignalsFromTheVm) {
    Adapted a(OsStyle::Posix);
    a.adapter.run({});
    EXPECT_EQ(a.leadingOptions, std::vector<std::string>{"-Xrs"});
}

// A stop signal that comes before the service's first report is kept and
// delivered as the stop control once it has reported start pending or running.
TEST(PosixServiceControl, StopSignalBeforeTheFirstReportIsDeliveredAfterIt) {
    struct Callbacks : ServiceCallbacks {
        Callbacks(PosixServiceControl& control, std::uint32_t state) : serviceControl(control), state(state) {}
        void serviceMain(const WideStringList& arguments) override {
            name = arguments;
            std::raise(SIGTERM);
            serviceControl.registerHandler();
            ServiceStatus first;
            first.currentState = state;
            serviceControl.reportStatus(first);
        }
        void control(std::uint32_t code) override {
            if (code == kServiceControlStop) ++stops;
        }
        PosixServiceControl& serviceControl;
        std::uint32_t state;
        WideStringList name;
        std::atomic<int> stops{0};
    };
    for (std::uint32_t state : {kServiceStartPending, kServiceRunning}) {
        PosixServiceControl control("/opt/app/svc");
        Callbacks callbacks(control, state);
        EXPECT_EQ(control.runDispatcher(callbacks), 0);
        EXPECT_EQ(callbacks.stops, 1);
        EXPECT_EQ(callbacks.name, WideStringList{u"svc"});
    }
}

}  // namespace
}  // namespace kite
