#include "app/status_report.h"

#include <cstdio>
#include <cstring>

#include "log/text_step.h"

// Every line ends with CR LF, the last one too.
const char BuiltInReportTemplate[] = "START COMPONENT\r\n"
                                     "  NAME = \"WORKSTATION\"\r\n"
                                     "  START GROUP\r\n"
                                     "    NAME = \"ComponentID\"\r\n"
                                     "    ID = 1\r\n"
                                     "    CLASS = \"DMTF|ComponentID|1.0\"\r\n"
                                     "    START ATTRIBUTE\r\n"
                                     "      NAME = \"Manufacturer\"\r\n"
                                     "      ID = 1\r\n"
                                     "      ACCESS = READ-ONLY\r\n"
                                     "      STORAGE = SPECIFIC\r\n"
                                     "      TYPE = STRING(255)\r\n"
                                     "      VALUE = \"%1%\"\r\n"
                                     "    END ATTRIBUTE\r\n"
                                     "    START ATTRIBUTE\r\n"
                                     "      NAME = \"Product\"\r\n"
                                     "      ID = 2\r\n"
                                     "      ACCESS = READ-ONLY\r\n"
                                     "      STORAGE = SPECIFIC\r\n"
                                     "      TYPE = STRING(255)\r\n"
                                     "      VALUE = \"%2%\"\r\n"
                                     "    END ATTRIBUTE\r\n"
                                     "    START ATTRIBUTE\r\n"
                                     "      NAME = \"Version\"\r\n"
                                     "      ID = 3\r\n"
                                     "      ACCESS = READ-ONLY\r\n"
                                     "      STORAGE = SPECIFIC\r\n"
                                     "      TYPE = STRING(255)\r\n"
                                     "      VALUE = \"%3%\"\r\n"
                                     "    END ATTRIBUTE\r\n"
                                     "    START ATTRIBUTE\r\n"
                                     "      NAME = \"Serial Number\"\r\n"
                                     "      ID = 4\r\n"
                                     "      ACCESS = READ-ONLY\r\n"
                                     "      STORAGE = SPECIFIC\r\n"
                                     "      TYPE = STRING(255)\r\n"
                                     "      VALUE = \"%4%\"\r\n"
                                     "    END ATTRIBUTE\r\n"
                                     "    START ATTRIBUTE\r\n"
                                     "      NAME = \"%5%\"\r\n"
                                     "      ID = 5\r\n"
                                     "      ACCESS = READ-ONLY\r\n"
                                     "      STORAGE = SPECIFIC\r\n"
                                     "      TYPE = STRING(255)\r\n"
                                     "      VALUE = \"%6%\"\r\n"
                                     "    END ATTRIBUTE\r\n"
                                     "  END GROUP\r\n"
                                     "  START GROUP\r\n"
                                     "    NAME = \"%5%Status\"\r\n"
                                     "    ID = 2\r\n"
                                     "    CLASS = \"MICROSOFT|JOBSTATUS|1.0\"\r\n"
                                     "    START ATTRIBUTE\r\n"
                                     "      NAME = \"Status\"\r\n"
                                     "      ID = 1\r\n"
                                     "      ACCESS = READ-ONLY\r\n"
                                     "      STORAGE = SPECIFIC\r\n"
                                     "      TYPE = STRING(255)\r\n"
                                     "      VALUE = \"%7%\"\r\n"
                                     "    END ATTRIBUTE\r\n"
                                     "    START ATTRIBUTE\r\n"
                                     "      NAME = \"Description\"\r\n"
                                     "      ID = 2\r\n"
                                     "      ACCESS = READ-ONLY\r\n"
                                     "      STORAGE = SPECIFIC\r\n"
                                     "      TYPE = STRING(255)\r\n"
                                     "      VALUE = \"%8%\"\r\n"
                                     "    END ATTRIBUTE\r\n"
                                     "  END GROUP\r\n"
                                     "END COMPONENT\r\n";

void ExpandReportLineBreaks(char* text, int32_t size)
{
    static char expanded[StatusReportSize];
    if (size > StatusReportSize)
        size = StatusReportSize;
    int32_t out = 0;
    for (int32_t i = 0; i < size && text[i] && out < size - 1; i++) {
        if (text[i] != '^') {
            expanded[out++] = text[i];
            continue;
        }
        expanded[out++] = '\r';
        if (out < size - 1)
            expanded[out++] = '\n';
    }
    memcpy(text, expanded, (size_t)out);
    text[out] = 0;
}

void FillReportPlaceholders(char* text, int32_t size, const ReportValues* values)
{
    int32_t len = (int32_t)strnlen(text, (size_t)size - 1);
    text[len] = 0;
    int32_t i = 0;
    while (i + 2 < len) {
        if (!(text[i] == '%' && text[i + 1] >= '1' && text[i + 1] <= '8' && text[i + 2] == '%')) {
            i++;
            continue;
        }
        const char* value = values->text[text[i + 1] - '1'];
        if (!value)
            value = "";
        int32_t valueLen = (int32_t)strlen(value);
        int32_t rest = len - (i + 3);
        // What fits of the value and of the text after the placeholder.
        int32_t room = size - 1 - i;
        if (valueLen > room)
            valueLen = room;
        if (rest > room - valueLen)
            rest = room - valueLen;
        memmove(text + i + valueLen, text + i + 3, (size_t)rest);
        memcpy(text + i, value, (size_t)valueLen);
        len = i + valueLen + rest;
        text[len] = 0;
        i += valueLen;
    }
}

void FormatReportDate(char* out, int32_t size, int month, int day, int year, int hour, int minute)
{
    snprintf(out, (size_t)size, "%02d/%02d/%02d %d:%02d", month, day, year % 100, hour, minute);
}

const char* ReportFileName(const char* logged)
{
    const char* name = logged;
    for (const char* at = logged; *at; at = NextChar(at))
        if (*at == '\\' || *at == '/' || *at == ':')
            name = NextChar(at);
    // The system drops trailing dots and spaces: ". ." names the folder itself.
    for (const char* at = name; *at; at++)
        if (*at != '.' && *at != ' ')
            return name;
    return nullptr;
}
