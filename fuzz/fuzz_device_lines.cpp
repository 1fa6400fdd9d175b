// SYSTEM.INI device-line edit: any bytes in, never a write past the room it
// asks for, and without a match the same bytes out.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "engine/device_lines.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    uint32_t length = (uint32_t)size;
    uint32_t room = DeviceEditCapacity(length);
    char* out = (char*)malloc(room ? room : 1);
    uint32_t changed = 0;
    uint32_t n = CommentOutDeviceLines((const char*)data, length, "VXD1.386",
                                       "C:\\WINDOWS\\SYSTEM\\VXD1.386", out, &changed);
    if (n > room || n != length + changed)
        abort();
    if (!changed && memcmp(out, data, size) != 0)
        abort();
    free(out);
    return 0;
}
