// What the selection pages show: for each page 1 to 10 its heading and text
// messages, its rows (one per record, in list order) and the flag each row
// stands for. Page 10 joins three sources: the subsystem row (when the log
// names a subsystem), then the programs to run, then the services.
#pragma once
#include <cstdint>

enum { FirstSelectionPage = 1, LastSelectionPage = 10, PageFinal = 11, PageRollback = 12 };
enum { RowTextSize = 1024 };

// Number of rows of page (0 for pages that are not selection pages).
int32_t PageRowCount(int32_t page);
// Builds the text of row of page into out (size bytes, always terminated, a
// longer text is cut). Returns its length, or -1 when there is no such row.
int32_t FormatPageRow(int32_t page, int32_t row, char* out, int32_t size);
// The flag row of page stands for, or null when there is no such row.
int32_t* PageRowFlag(int32_t page, int32_t row);
// Message numbers of the page's heading and text (0 for other pages).
int32_t PageHeadingMessage(int32_t page);
int32_t PageTextMessage(int32_t page);
