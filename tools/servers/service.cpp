// KTSVC.EXE: a service the service manager can start and stop. It records
// its start and its stop.
#include "record.h"

static SERVICE_STATUS_HANDLE StatusHandle;
static SERVICE_STATUS Status;
static HANDLE StopEvent;

static void Report(DWORD state)
{
    Status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    Status.dwCurrentState = state;
    Status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    SetServiceStatus(StatusHandle, &Status);
}

static DWORD WINAPI Handler(DWORD control, DWORD, void*, void*)
{
    if (control == SERVICE_CONTROL_STOP || control == SERVICE_CONTROL_SHUTDOWN) {
        Report(SERVICE_STOP_PENDING);
        SetEvent(StopEvent);
    }
    return NO_ERROR;
}

static void WINAPI ServiceMain(DWORD, char**)
{
    StatusHandle = RegisterServiceCtrlHandlerExA("", Handler, nullptr);
    if (!StatusHandle)
        return;
    StopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    Report(SERVICE_RUNNING);
    RecordCall("service start");
    WaitForSingleObject(StopEvent, INFINITE);
    RecordCall("service stop");
    Report(SERVICE_STOPPED);
}

int main()
{
    char name[] = "";
    SERVICE_TABLE_ENTRYA table[] = {{name, ServiceMain}, {nullptr, nullptr}};
    if (!StartServiceCtrlDispatcherA(table)) {
        RecordCall("not a service");
        return 1;
    }
    return 0;
}
