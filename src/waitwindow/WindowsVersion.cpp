#include "WindowsVersion.h"

#include "../runtime/platform/LazyFunction.h"

int16_t GetWindowsVersion() {
    static LazyFunction<BOOL(WINAPI*)(OSVERSIONINFOA*)> getVersionEx("kernel32.dll", "GetVersionExA");
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    auto fn = getVersionEx.GetOrRaise();
    BOOL returned = fn ? fn(&info) : FALSE;
    return VersionCode(returned == 1, info.dwPlatformId, info.dwMajorVersion);
}
