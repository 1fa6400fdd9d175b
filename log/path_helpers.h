// Path helpers: short or long form of every component of a path, existence
// test, file name part, and a character search that never splits a
// double-byte character. They work in place on the caller's buffers.
#pragma once
#include <cstdint>

enum { ToShort = 0, ToLong = 1 };
enum { PathBufferSize = 260 };

// What the helpers need to know from the file system. The Win32 build
// answers for real; the native tests answer from a table.
struct PathSystem {
    // First entry matching pattern (which may hold wildcards): its long name
    // (256 bytes) and its short name (14 bytes, empty when the file system
    // keeps none). Returns 1 when an entry was found, else 0.
    int32_t (*FindFirstEntry)(const char* pattern, char* longName, char* shortName);
    // The process's current directory into buffer; returns its length, 0 on failure.
    int32_t (*CurrentDirectory)(char* buffer, int32_t size);
    // The attributes of path, or -1 when it names nothing that can be reached.
    int32_t (*FileAttributes)(const char* path);
};
extern const PathSystem* PathSystemInUse;

// Replaces each component after the root by its short (ToShort) or long
// (ToLong) name. path is a buffer of PathBufferSize bytes.
void ConvertPathNames(char* path, int32_t mode);
// The same for a buffer of size bytes: a component whose new name would not
// fit stays as it is.
void ConvertPathNamesBounded(char* path, int32_t size, int32_t mode);
// Puts the current directory and a backslash in front of path (size bytes);
// leaves it alone when the directory cannot be read.
void PrefixCurrentDirectory(char* path, int32_t size);
// -1 when the path names neither a file nor a folder, else 0.
int32_t PathMissing(const char* path);
// The character after the last backslash, or the start of the text. Whole
// characters: a second byte of 0x5C is not a backslash.
char* FileNamePart(char* path);
const char* FileNamePart(const char* path);
// The last backslash, stepping whole characters; null when there is none.
char* LastBackslash(char* path);
// Non-zero when the last character of path is a backslash.
int32_t EndsWithBackslash(const char* path);
// The first occurrence of the ASCII character c, stepping whole characters; null if none.
char* FindCharMb(char* text, char c);
const char* FindCharMb(const char* text, char c);
// Non-zero when text holds '*' or '?' (whole characters).
int32_t HasWildcards(const char* text);
// The canonical text of an absolute path, without asking the file system:
// backslashes only and never two in a row (a share keeps its two leading
// ones), "." and ".." resolved (never above the root), the trailing dots and
// spaces of every name dropped, no trailing backslash but a drive root's
// ("C:\"). Returns 1, or 0 when path is not absolute (a drive letter, ':'
// and '\', or a share), is a device name, or does not fit in size bytes.
int32_t NormalizePathText(const char* path, char* out, int32_t size);
// Bounded copy: at most size - 1 bytes and always a terminator (size > 0).
// A null from copies as an empty text; to and from may overlap.
void CopyText(char* to, const char* from, int32_t size);
// Bounded append in the same way.
void AppendText(char* to, const char* from, int32_t size);
// Non-zero when path ends in the extension ext (a dot and ASCII letters, as
// ".HLP"), without regard to case. The dot is never the second byte of a
// double-byte character and ASCII letters after it are characters of their
// own, so the last bytes tell it without a walk through the text.
int32_t HasExtension(const char* path, const char* ext);
