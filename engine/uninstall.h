// The uninstall driver: undoes what the install log records, in fixed phases.
#pragma once

void RunUninstall(const char* logPath);
