#pragma once
#include <stdint.h>

// Declared as <windows.h> declares it, so the alpha rule builds natively too.
struct HWND__;
typedef HWND__* HWND;

// Status of MakeTransparent.
constexpr long kTransparentApplied = 0;
constexpr long kTransparentAlphaOutOfRange = 1;
constexpr long kTransparentFailed = 2;  // a platform function could not be called

constexpr bool IsAlphaInRange(int16_t alpha) { return alpha >= 0 && alpha <= 255; }

// Makes the window a layered window with a uniform opacity alpha (0-255).
long MakeTransparent(HWND window, const int16_t& alpha);
