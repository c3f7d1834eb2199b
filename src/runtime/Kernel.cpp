#include "Kernel.h"

#include "LazyFunction.h"

namespace {

LazyFunction<decltype(&::Sleep)> g_sleep("kernel32.dll", "Sleep");
LazyFunction<decltype(&::ReleaseCapture)> g_releaseCapture("user32.dll", "ReleaseCapture");
LazyFunction<decltype(&::SendMessageA)> g_sendMessage("user32.dll", "SendMessageA");

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

}  // namespace Kernel
