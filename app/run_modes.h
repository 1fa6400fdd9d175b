// The run's modes, as the wizard's mode page offers them and the drivers
// follow them.
#pragma once

enum { ModeAutomatic = 1000, ModeCustom = 1001, ModeRepair = 1009 };
