#include "ui/log_progress.h"

int32_t LogBytesTotal;
int32_t LogBytesRead;
