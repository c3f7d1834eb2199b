#include "WindowsVersion.h"

int16_t VersionCode(bool callSucceeded, unsigned long platformId, unsigned long majorVersion) {
    const unsigned long kWindows9x = 1;
    const unsigned long kWindowsNt = 2;
    if (!callSucceeded) return 0;
    if (platformId == kWindows9x) return 4;
    if (platformId == kWindowsNt && majorVersion >= 3 && majorVersion <= 6) return static_cast<int16_t>(majorVersion);
    return 0;
}
