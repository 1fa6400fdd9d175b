// How far the log reader has come: bytes read against the log's size. The
// reader writes them; the start-up window's bar shows them.
#pragma once
#include <cstdint>

extern int32_t LogBytesTotal;
extern int32_t LogBytesRead;
