// KTSRVDLL.DLL: a self-registering library for the tests.
#include "record.h"

extern "C" HRESULT __stdcall DllRegisterServer()
{
    RecordCall("DllRegisterServer");
    return SetRegistered(1) == ERROR_SUCCESS ? S_OK : E_FAIL;
}

extern "C" HRESULT __stdcall DllUnregisterServer()
{
    RecordCall("DllUnregisterServer");
    SetRegistered(0);
    return S_OK;
}
