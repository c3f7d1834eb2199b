#pragma once
#include "../runtime/Win32.h"
#include "WaitLayout.h"

// The layout at the screen's density, with the built-in frames' own sizes.
WaitLayout ScreenWaitLayout(int dotsPerInch);

// Draws the whole waiting window: white background, the visible frames, the
// labels' text in the default GUI font and the black border lines. It draws
// off-screen first and copies the result at once, so frame switches do not
// flicker.
void PaintWaitSurface(HDC target, const WaitLayout& layout, const bool (&lavaVisible)[kFrameCount]);
