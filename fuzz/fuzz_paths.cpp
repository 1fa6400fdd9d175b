// Fuzzes the canonical text of paths that a log or the registry gives. The
// first byte picks double-byte text; the rest is the path. Whatever the
// input, the result is terminated, within its buffer, and canonical: made
// again it does not change, and no name in it is empty, "." or "..".
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "engine/ownership.h"
#include "log/path_helpers.h"
#include "log/text_step.h"

static const char* DoubleByteNext(const char* at)
{
    if ((unsigned char)at[0] >= 0x81 && (unsigned char)at[0] <= 0xFE && at[1])
        return at + 2;
    return at[0] ? at + 1 : at;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    CharNextRule = (data[0] & 1) ? DoubleByteNext : nullptr;
    std::string path((const char*)data + 1, size - 1);
    path = path.substr(0, path.find('\0'));
    char out[PathBufferSize];
    std::memset(out, 0x55, sizeof out);
    if (!NormalizePathText(path.c_str(), out, sizeof out))
        return 0;
    size_t n = strnlen(out, sizeof out);
    if (n >= sizeof out)
        __builtin_trap();
    char again[PathBufferSize];
    if (!NormalizePathText(out, again, sizeof again) || std::strcmp(out, again) != 0)
        __builtin_trap();
    // Names: none empty (two separators in a row past a share's leading
    // pair), none "." or "..".
    const char* at = out + ((out[0] == '\\' && out[1] == '\\') ? 2 : 0);
    const char* name = at;
    for (;; at = NextChar(at)) {
        if (*at == '\\' || *at == 0) {
            size_t length = (size_t)(at - name);
            bool root = name == out + 3 && out[1] == ':' && *at == 0 && length == 0;
            if (!root && (length == 0 || (length == 1 && name[0] == '.') ||
                          (length == 2 && name[0] == '.' && name[1] == '.')))
                __builtin_trap();
            if (*at == 0)
                break;
            name = at + 1;
        }
    }
    // A folder lies within itself and within the root of its drive or share.
    if (!PathWithin(out, out))
        __builtin_trap();
    char share[PathBufferSize];
    ShareOfPath(out, share, sizeof share);
    if (share[0] && !PathWithin(out, share))
        __builtin_trap();
    return 0;
}
