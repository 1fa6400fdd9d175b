// The status report for a software-distribution system: the built-in
// template (or the settings file's), its placeholders and their values.
#pragma once
#include <cstdint>

enum { StatusReportSize = 16384 };

extern const char BuiltInReportTemplate[];

// The eight values of the placeholders %1% to %8%.
struct ReportValues {
    const char* text[8];
};

// Turns every '^' of a settings-file template into CR LF, in place, within
// size bytes (what would not fit is cut off).
void ExpandReportLineBreaks(char* text, int32_t size);
// Replaces every placeholder of text (size bytes) with its value, scanning on
// after each inserted value so that a '%' inside a value is never expanded.
void FillReportPlaceholders(char* text, int32_t size, const ReportValues* values);
// "%02d/%02d/%02d %d:%02d": month, day, year modulo 100, hour, minute.
void FormatReportDate(char* out, int32_t size, int month, int day, int year, int hour, int minute);

// The name the report goes under: the file-name part of the logged name
// (after its last '\\', '/' or ':'), so that the report stays in the
// Windows folder whatever the log says. Null when no usable name is left
// (nothing but dots and spaces, which name a folder).
const char* ReportFileName(const char* logged);

// Writes the report of this run when the log names a report file.
struct RunOutcome;
void WriteStatusReport(const RunOutcome& outcome);
