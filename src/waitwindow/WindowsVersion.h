#pragma once
#include <stdint.h>

// The reported system version reduced to a small code: 4 for the Windows 9x
// family, the major version 3 to 6 for NT systems, and 0 for anything else
// or when the version call fails.
int16_t VersionCode(bool callSucceeded, unsigned long platformId, unsigned long majorVersion);

// The version code of the running system.
int16_t GetWindowsVersion();
