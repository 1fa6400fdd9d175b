// KTSRVEXE.EXE: a self-registering program for the tests. /REGSERVER and
// /UNREGSERVER write and remove its registration; any other run is only
// recorded, so it also serves as a program to run at uninstall time.
#include "record.h"

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; i++) {
        if (lstrcmpiA(argv[i], "/REGSERVER") == 0) {
            RecordCall("/REGSERVER");
            return SetRegistered(1) == ERROR_SUCCESS ? 0 : 1;
        }
        if (lstrcmpiA(argv[i], "/UNREGSERVER") == 0) {
            RecordCall("/UNREGSERVER");
            SetRegistered(0);
            return 0;
        }
    }
    RecordCall("run");
    return 0;
}
