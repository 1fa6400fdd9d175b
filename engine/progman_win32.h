// The DDE conversation with Program Manager, for the driver and the tests.
#pragma once
#include <windows.h>
#include <ddeml.h>

#include "engine/progman.h"

// 0 until OpenProgramManager has initialised DDE.
extern DWORD DdeInstance;
// The conversation with the "PROGMAN" service, or none.
extern HCONV ProgmanConversation;

// Lets the next OpenProgramManager read the groups again (tests only; a run
// reads them once).
void ResetProgramManager();
