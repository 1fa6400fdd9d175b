// A service program that runs until it is told to stop.
#include <windows.h>

static SERVICE_STATUS_HANDLE StatusHandle;
static HANDLE StopEvent;

static void Report(DWORD state)
{
    SERVICE_STATUS status;
    ZeroMemory(&status, sizeof(status));
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    SetServiceStatus(StatusHandle, &status);
}

static DWORD WINAPI Control(DWORD control, DWORD, LPVOID, LPVOID)
{
    if (control == SERVICE_CONTROL_STOP) {
        Report(SERVICE_STOP_PENDING);
        SetEvent(StopEvent);
    }
    return NO_ERROR;
}

static void WINAPI ServiceMain(DWORD argc, LPSTR* argv)
{
    StatusHandle = RegisterServiceCtrlHandlerExA(argc ? argv[0] : "", Control, nullptr);
    if (!StatusHandle)
        return;
    StopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    Report(SERVICE_RUNNING);
    WaitForSingleObject(StopEvent, 120000);
    Report(SERVICE_STOPPED);
}

int main()
{
    char name[] = "";
    SERVICE_TABLE_ENTRYA table[] = {{name, ServiceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherA(table) ? 0 : 1;
}
