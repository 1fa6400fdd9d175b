// The repair driver: checks every logged file, writes every logged registry
// value again, registers self-registering files again, and has the
// installer re-extract what is damaged.
#pragma once

void RunRepair();
