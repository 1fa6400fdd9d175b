#include "engine/engine_env.h"

#include <shlobj.h>

#include "app/run_state.h"

void NotifyShellPath(long event, const char* path)
{
    if (NewShell && ShChangeNotifyProc)
        ShChangeNotifyProc(event, SHCNF_PATHA, path, nullptr);
}
