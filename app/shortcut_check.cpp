#include "app/shortcut_check.h"

#include <cstdio>
#include <cstring>

#include "log/path_helpers.h"
#include "log/text_step.h"

int32_t FormatRepairKeyName(char* out, int32_t size, const char* longLogPath)
{
    static const char prefix[] = "Software\\Ketra Solutions\\Ketra Installation System\\Repair\\";
    int n = std::snprintf(out, (size_t)size, "%s%s", prefix, longLogPath);
    // A cut name would be another installation's key.
    if (n < 0 || n >= size) {
        if (size > 0)
            out[0] = 0;
        return 1;
    }
    for (char* p = FindCharMb(out + sizeof prefix - 1, '\\'); p; p = FindCharMb(p + 1, '\\'))
        *p = '/';
    return 0;
}

int32_t ParseRegistryReference(const char* name, RegistryReference* out)
{
    const char* p = name;
    int32_t root = 0;
    bool negative = false;
    out->Subkey[0] = 0;
    out->ValueName = "";
    while (*p == ' ')
        p++;
    if (*p == '-' || *p == '+')
        negative = *p++ == '-';
    while (*p >= '0' && *p <= '9') {
        if (root < 100000)
            root = root * 10 + (*p - '0');
        p++;
    }
    out->Root = negative ? -root : root;
    if (*p == '\\')
        p++;
    // The first double backslash ends the subkey; whole characters, so a
    // trail byte is never half of one.
    const char* split = nullptr;
    for (const char* at = p; *at; at = NextChar(at)) {
        if (at[0] == '\\' && at[1] == '\\') {
            split = at;
            break;
        }
    }
    if (!split)
        return 0;
    size_t length = (size_t)(split - p);
    if (length >= sizeof out->Subkey)
        length = sizeof out->Subkey - 1;
    std::memcpy(out->Subkey, p, length);
    out->Subkey[length] = 0;
    out->ValueName = split + 2;
    return 1;
}
