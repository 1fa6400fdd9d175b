// The system's own answers to the log reader's questions.
#pragma once
#include "log/reader_host.h"

extern const ReaderHost Win32ReaderHost;
