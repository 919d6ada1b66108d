#include "platform/win32/win32_service_control.h"

#include <windows.h>

#include <vector>

#include "platform/win32/module_file_name.h"
#include "platform/win32/win32_handles.h"

namespace kite {

namespace {

// The service manager calls the entry points without context: one service per process.
ServiceCallbacks* activeCallbacks = nullptr;
SERVICE_STATUS_HANDLE statusHandle = nullptr;
CRITICAL_SECTION statusLock;

// How often a start-pending report is repeated; well within its wait hint.
constexpr DWORD kStartProgressInterval = 2000;

void WINAPI controlHandler(DWORD code) {
    if (activeCallbacks != nullptr) activeCallbacks->control(code);
}

void WINAPI serviceMain(DWORD count, LPWSTR* values) {
    WideStringList arguments;
    for (DWORD i = 0; i < count; ++i) arguments.append(fromWide(values[i]));
    if (activeCallbacks != nullptr) activeCallbacks->serviceMain(arguments);
}

}  // namespace

Win32ServiceControl::Win32ServiceControl() { InitializeCriticalSection(&statusLock); }

Win32ServiceControl::~Win32ServiceControl() { DeleteCriticalSection(&statusLock); }

std::int32_t Win32ServiceControl::runDispatcher(ServiceCallbacks& callbacks) {
    activeCallbacks = &callbacks;
    wchar_t emptyName[] = L"";
    // The empty name is accepted because the service runs in a process of its own.
    SERVICE_TABLE_ENTRYW table[] = {{emptyName, serviceMain}, {nullptr, nullptr}};
    const std::int32_t result =
        StartServiceCtrlDispatcherW(table) ? 0 : static_cast<std::int32_t>(GetLastError());
    endStartProgress();
    activeCallbacks = nullptr;
    return result;
}

DWORD WINAPI Win32ServiceControl::startProgress(void* self) {
    auto* control = static_cast<Win32ServiceControl*>(self);
    while (WaitForSingleObject(control->startSettled_.get(), kStartProgressInterval) == WAIT_TIMEOUT) {
        EnterCriticalSection(&statusLock);
        const bool pending = control->lastReport_.dwCurrentState == SERVICE_START_PENDING;
        if (pending) {
            ++control->lastReport_.dwCheckPoint;
            SetServiceStatus(statusHandle, &control->lastReport_);
        }
        LeaveCriticalSection(&statusLock);
        if (!pending) break;
    }
    return 0;
}

void Win32ServiceControl::endStartProgress() {
    if (startSettled_.valid()) SetEvent(startSettled_.get());
    if (progressThread_.valid()) WaitForSingleObject(progressThread_.get(), INFINITE);
    progressThread_.reset();
    startSettled_.reset();
}

bool Win32ServiceControl::registerHandler() {
    statusHandle = RegisterServiceCtrlHandlerW(L"", controlHandler);
    return statusHandle != nullptr;
}

bool Win32ServiceControl::reportStatus(const ServiceStatus& status) {
    SERVICE_STATUS record{status.serviceType,   status.currentState,        status.controlsAccepted,
                          status.win32ExitCode, status.serviceSpecificExitCode, status.checkPoint,
                          status.waitHint};
    EnterCriticalSection(&statusLock);
    lastReport_ = record;
    const bool reported = SetServiceStatus(statusHandle, &record) != 0;
    if (record.dwCurrentState == SERVICE_START_PENDING) {
        // A slow VM start must not run out the wait hint: a thread repeats the
        // report with the next checkpoint until the state changes.
        if (reported && !progressThread_.valid()) {
            startSettled_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
            if (startSettled_.valid()) {
                progressThread_.reset(CreateThread(nullptr, 0, startProgress, this, 0, nullptr));
            }
        }
    } else if (startSettled_.valid()) {
        SetEvent(startSettled_.get());
    }
    LeaveCriticalSection(&statusLock);
    return reported;
}

void Win32ServiceControl::logError(const WideString& line) {
    // The event source is the executable's file name without its extension.
    std::wstring name;
    if (!moduleFileName(name)) return;
    name.erase(0, name.find_last_of(L"\\/") + 1);
    if (const std::size_t dot = name.rfind(L'.'); dot != std::wstring::npos && dot > 0) name.erase(dot);
    HANDLE source = RegisterEventSourceW(nullptr, name.c_str());
    if (source == nullptr) return;
    LPCWSTR strings[] = {wide(line)};
    ReportEventW(source, EVENTLOG_ERROR_TYPE, 0, 1, nullptr, 1, 0, strings, nullptr);
    DeregisterEventSource(source);
}

void Win32ServiceControl::serialized(const std::function<void()>& action) {
    EnterCriticalSection(&statusLock);
    action();
    LeaveCriticalSection(&statusLock);
}

}  // namespace kite
