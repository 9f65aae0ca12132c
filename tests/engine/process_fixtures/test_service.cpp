// qservice.exe: a Windows service that does nothing but run until it is
// stopped, for the tests that ask the service control manager about a real
// service. The name it registers under is its first service argument or
// "QuillonTestService".
#include <windows.h>

namespace {

SERVICE_STATUS_HANDLE status_handle = nullptr;
HANDLE stop_event = nullptr;
SERVICE_STATUS status{};

void report(DWORD state)
{
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    status.dwWin32ExitCode = NO_ERROR;
    SetServiceStatus(status_handle, &status);
}

DWORD WINAPI control_handler(DWORD control, DWORD, LPVOID, LPVOID)
{
    if (control == SERVICE_CONTROL_STOP) {
        report(SERVICE_STOP_PENDING);
        SetEvent(stop_event);
    }
    return NO_ERROR;
}

void WINAPI service_main(DWORD argc, LPWSTR* argv)
{
    const wchar_t* name = argc > 0 ? argv[0] : L"QuillonTestService";
    status_handle = RegisterServiceCtrlHandlerExW(name, control_handler, nullptr);
    if (status_handle == nullptr)
        return;
    stop_event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    report(SERVICE_RUNNING);
    WaitForSingleObject(stop_event, INFINITE);
    CloseHandle(stop_event);
    report(SERVICE_STOPPED);
}

} // namespace

int wmain()
{
    wchar_t name[] = L"QuillonTestService";
    SERVICE_TABLE_ENTRYW table[] = {{name, service_main}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherW(table) ? 0 : 1;
}
