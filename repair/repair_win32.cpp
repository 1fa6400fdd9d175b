// Placeholder until the repair driver lands: a repair run changes nothing.
#include "repair/repair.h"

void RunRepair()
{
}
