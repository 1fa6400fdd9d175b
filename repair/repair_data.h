// The repair data of a file line (what follows the '|'): the recorded date,
// time, size and CRC-32 of the file, and the texts the repair builds from it.
#pragma once
#include <cstdint>

#include "ui/text_format.h"

// The repair data's expected values. Date and Time are in the DOS form the
// file system's time stamps are compared in.
struct RepairFields {
    uint16_t Date;
    uint16_t Time;
    int64_t Size;
    uint32_t Crc;
};

// Shorter texts carry no repair data.
enum { RepairDataMinimum = 21 };

// Reads text into out. Returns 0, or 1 when text is too short to be repair
// data (out is then all 0). A field whose place lies past the end reads as 0.
int32_t ParseRepairData(const char* text, RepairFields* out);

// The text after the third '|' (the size and CRC fields as written), or the
// end of text when there are fewer bars.
const char* RepairDataTail(const char* text);

// One line of a restore list: path|D0|T0|tail CR LF, into out (size bytes).
// Returns the length, or -1 when it does not fit (nothing is to be written).
int32_t FormatRestoreLine(char* out, int32_t size, const char* path, uint16_t date, uint16_t time,
                          const char* tail);

// The recorded date and time as shown in the newer-file question: the text
// before the first '|' followed by the text between the first and second.
void RecordedStampText(char* out, int32_t size, const char* repairData);

// Year of a DOS date with the two-digit rule: below 60 is 20xx, else 19xx.
int32_t DosYear(uint16_t date);
// " MM-DD-YYYY  HH:MM:SS " of a DOS date and time.
void CurrentStampText(char* out, int32_t size, uint16_t date, uint16_t time);
// "MM-DD-YYYY | HH:MM:SS | size" as the "Source: " line records an installer.
void InstallerAttributesText(char* out, int32_t size, uint16_t date, uint16_t time, int64_t length);

// Splits a "Source: " text into the installer's path (up to the first '|',
// one trailing space dropped) and its attributes (after the '|', leading
// spaces skipped; empty when there is no '|').
void SplitSourceText(const char* source, char* path, int32_t pathSize, char* attributes,
                     int32_t attributesSize);
// The attributes as the installer prompt shows them: every '|' becomes '/'.
void PromptAttributesText(char* out, int32_t size, const char* attributes);
