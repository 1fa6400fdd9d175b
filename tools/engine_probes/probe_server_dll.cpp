// A self-registering module: each entry records the current folder it was
// called in.
#include "probe_record.h"

static HMODULE Self;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        Self = instance;
    return TRUE;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllRegisterServer()
{
    ProbeRecordDirectory(Self, "Registered");
    return S_OK;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllUnregisterServer()
{
    ProbeRecordDirectory(Self, "Unregistered");
    return S_OK;
}
