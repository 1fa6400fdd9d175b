#include "engine/ownership.h"

#include <cstring>

#include "log/path_helpers.h"
#include "log/text_step.h"

const char* OwnReasonText(int32_t reason)
{
    switch (reason) {
    case OwnedByLog:
        return "";
    case ReasonRegistryRoot:
        return "the root of a registry hive";
    case ReasonTopLevelKey:
        return "a key of one component under a root";
    case ReasonSharedKey:
        return "a key the system or other programs share";
    case ReasonHoldsSharedKey:
        return "holds a key the system or other programs share";
    case ReasonSystemClass:
        return "one of the system's own classes or file types";
    case ReasonSystemValue:
        return "a value of the system's own configuration";
    case ReasonForeignService:
        return "its program is none of the log's files and lies in no folder the log made";
    case ReasonSystemIni:
        return "an INI file the system keeps";
    case ReasonOutsideProduct:
        return "outside the log's folder and the folders the log made";
    case ReasonKeptFolder:
        return "a folder the system or a user keeps, or one that holds one";
    case ReasonForeignShare:
        return "on a network share the log does not lie on";
    case ReasonUnresolved:
        return "its real location cannot be told";
    case ReasonSystemFile:
        return "a file of the system's";
    case ReasonHive:
        return "a registry hive file";
    }
    return "not the product's";
}

bool PathWithin(const char* path, const char* folder)
{
    int32_t n = (int32_t)strlen(folder);
    if (n == 0 || (int32_t)strlen(path) < n)
        return false;
    if (CompareNoCaseN(path, folder, n) != 0)
        return false;
    // Equal over the folder's length: the folder itself, a folder that ends
    // in a backslash (a drive root), or a name below it. The byte after the
    // prefix starts a character, the prefix having matched whole characters.
    return path[n] == 0 || path[n] == '\\' || folder[n - 1] == '\\';
}

bool IsOrHoldsKeptFolder(const char* canonical, const FolderEvidence* evidence)
{
    // A drive root, or a name too short to be a folder, holds everything.
    if (strlen(canonical) <= 3)
        return true;
    for (int32_t i = 0; i < evidence->keptCount; i++) {
        if (PathWithin(evidence->kept[i], canonical))
            return true;
    }
    return false;
}

void ShareOfPath(const char* canonical, char* out, int32_t size)
{
    if (size <= 0)
        return;
    out[0] = 0;
    if (canonical[0] != '\\' || canonical[1] != '\\')
        return;
    // Two names after the leading backslashes: the server and the share.
    const char* at = canonical + 2;
    int32_t names = 0;
    while (*at) {
        if (*at == '\\') {
            names++;
            if (names == 2)
                break;
        }
        at = NextChar(at);
    }
    int32_t length = (int32_t)(at - canonical);
    if (length >= size)
        return;
    memcpy(out, canonical, (size_t)length);
    out[length] = 0;
}

int32_t FolderRemovalReason(const char* canonical, bool whole, const FolderEvidence* evidence)
{
    if (canonical[0] == '\\' && canonical[1] == '\\') {
        char share[PathBufferSize];
        ShareOfPath(canonical, share, sizeof share);
        if (!share[0] || !evidence->logShare || !evidence->logShare[0] ||
            CompareNoCase(share, evidence->logShare) != 0)
            return ReasonForeignShare;
        // The share's root holds all of it.
        if (CompareNoCase(share, canonical) == 0)
            return ReasonKeptFolder;
    }
    if (IsOrHoldsKeptFolder(canonical, evidence))
        return ReasonKeptFolder;
    if (!whole)
        return OwnedByLog;
    for (int32_t i = 0; i < evidence->productCount; i++) {
        if (PathWithin(canonical, evidence->product[i]))
            return OwnedByLog;
    }
    return ReasonOutsideProduct;
}
