#include "Transparant.h"

#include "../runtime/platform/Err.h"
#include "../runtime/platform/LazyFunction.h"

#ifndef WS_EX_LAYERED
#define WS_EX_LAYERED 0x00080000
#endif
#ifndef LWA_ALPHA
#define LWA_ALPHA 0x00000002
#endif

long MakeTransparent(HWND window, const int16_t& alpha) {
    // Bound at first call: systems without layered windows still start.
    static LazyFunction<LONG(WINAPI*)(HWND, int)> getWindowLong("user32.dll", "GetWindowLongA");
    static LazyFunction<LONG(WINAPI*)(HWND, int, LONG)> setWindowLong("user32.dll", "SetWindowLongA");
    static LazyFunction<BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD)> setLayeredWindowAttributes(
        "user32.dll", "SetLayeredWindowAttributes");

    // Each step that cannot be made is skipped; the status reports it.
    Err::Clear();
    if (!IsAlphaInRange(alpha)) return kTransparentAlphaOutOfRange;

    LONG style = 0;
    if (auto fn = getWindowLong.GetOrRaise()) style = fn(window, GWL_EXSTYLE);
    style |= WS_EX_LAYERED;
    if (auto fn = setWindowLong.GetOrRaise()) fn(window, GWL_EXSTYLE, style);
    if (auto fn = setLayeredWindowAttributes.GetOrRaise()) fn(window, 0, static_cast<BYTE>(alpha), LWA_ALPHA);
    return Err::Number() != 0 ? kTransparentFailed : kTransparentApplied;
}
