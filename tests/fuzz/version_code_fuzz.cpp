// Input: the call's result, platform and major version as reported.
#include <string.h>

#include "waitwindow/WindowsVersion.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    uint32_t platform = 0, major = 0;
    if (size < 9) return 0;
    memcpy(&platform, data + 1, 4);
    memcpy(&major, data + 5, 4);
    int16_t code = VersionCode(data[0] & 1, platform, major);
    if (code != 0 && (code < 3 || code > 6)) __builtin_trap();
    return 0;
}
