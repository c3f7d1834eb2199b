#include "Kernel.h"

#include "LazyFunction.h"

namespace {

LazyFunction<decltype(&::Sleep)> g_sleep("kernel32.dll", "Sleep");
LazyFunction<decltype(&::ReleaseCapture)> g_releaseCapture("user32.dll", "ReleaseCapture");
LazyFunction<decltype(&::SendMessageA)> g_sendMessage("user32.dll", "SendMessageA");
LazyFunction<decltype(&::GetProcessWindowStation)> g_processWindowStation("user32.dll", "GetProcessWindowStation");
LazyFunction<decltype(&::GetUserObjectInformationA)> g_userObjectInformation("user32.dll", "GetUserObjectInformationA");

}  // namespace

namespace Kernel {

bool Sleep(DWORD milliseconds) {
    auto fn = g_sleep.GetOrRaise();
    if (fn) fn(milliseconds);
    return fn != nullptr;
}

bool ReleaseCapture() {
    auto fn = g_releaseCapture.GetOrRaise();
    if (fn) fn();
    return fn != nullptr;
}

bool SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    auto fn = g_sendMessage.GetOrRaise();
    if (!fn) return false;
    LRESULT value = fn(window, message, wParam, lParam);
    if (result) *result = value;
    return true;
}

bool WindowStationVisible() {
    auto processWindowStation = g_processWindowStation.Get();
    auto userObjectInformation = g_userObjectInformation.Get();
    HWINSTA station = processWindowStation ? processWindowStation() : nullptr;
    USEROBJECTFLAGS flags = {};
    DWORD needed = 0;
    if (!station || !userObjectInformation || !userObjectInformation(station, UOI_FLAGS, &flags, sizeof flags, &needed))
        return true;
    return (flags.dwFlags & WSF_VISIBLE) != 0;
}

}  // namespace Kernel
