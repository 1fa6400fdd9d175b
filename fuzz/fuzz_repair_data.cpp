// Repair data, link information, source lines and check references: any
// bytes in, every copy bounded, and the texts made from them always end
// inside their buffers. The input's first byte chooses the code page rule.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/shortcut_check.h"
#include "log/text_step.h"
#include "repair/link_info.h"
#include "repair/repair_data.h"

static const char* DoubleByteNext(const char* at)
{
    if (!*at)
        return at;
    unsigned char c = (unsigned char)*at;
    if (c >= 0x81 && c <= 0xFE && at[1])
        return at + 2;
    return at + 1;
}

static void CheckTerminated(const char* buffer, size_t size)
{
    if (!memchr(buffer, 0, size))
        abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    CharNextRule = (data[0] & 1) ? DoubleByteNext : nullptr;
    std::string text((const char*)data + 1, size - 1);
    const char* t = text.c_str();

    RepairFields fields;
    if (ParseRepairData(t, &fields) != 0 && (fields.Date || fields.Size || fields.Crc))
        abort();
    const char* tail = RepairDataTail(t);
    if (tail < t || tail > t + strlen(t))
        abort();
    char line[512];
    int32_t n = FormatRestoreLine(line, sizeof line, t, fields.Date, fields.Time, tail);
    if (n >= (int32_t)sizeof line || (n >= 0 && (int32_t)strlen(line) != n))
        abort();
    char small[24];
    RecordedStampText(small, sizeof small, t);
    CheckTerminated(small, sizeof small);
    CurrentStampText(small, sizeof small, fields.Date, fields.Time);
    CheckTerminated(small, sizeof small);
    char path[260], attributes[256], shown[256];
    SplitSourceText(t, path, sizeof path, attributes, sizeof attributes);
    PromptAttributesText(shown, sizeof shown, attributes);
    if (strchr(shown, '|') && !CharNextRule)
        abort();
    const char* texts[3] = {t, path, attributes};
    char message[64];
    FormatWithTexts(message, sizeof message, t, texts, 3);
    CheckTerminated(message, sizeof message);

    LinkFields link;
    ParseLinkInfo(t, &link);
    if ((link.ShowCommand & ~7) != 0 || (link.Hotkey && !(link.Hotkey & 0xFF)))
        abort();
    CheckTerminated(link.Arguments, sizeof link.Arguments);

    RegistryReference reference;
    if (ParseRegistryReference(t, &reference)) {
        CheckTerminated(reference.Subkey, sizeof reference.Subkey);
        if (reference.ValueName < t || reference.ValueName > t + strlen(t))
            abort();
    }
    char key[RepairKeyNameSize];
    FormatRepairKeyName(key, sizeof key, t);
    CheckTerminated(key, sizeof key);
    CharNextRule = nullptr;
    return 0;
}
