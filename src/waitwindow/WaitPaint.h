#pragma once
#include "../runtime/platform/Win32.h"
#include "WaitLayout.h"

// The layout at the screen's density, with the built-in frames' own sizes.
WaitLayout ScreenWaitLayout(int dotsPerInch);

// The font the labels' text is drawn in: the default UI font, made smaller
// until the message fits the label (wrapped at word boundaries). Owned here.
HFONT MessageFont(HDC dc, const PixelRect& label);

// Draws the whole waiting window: white background, the visible frames, the
// labels' text in MessageFont and the black border lines. It draws
// off-screen first and copies the result at once, so frame switches do not
// flicker.
void PaintWaitSurface(HDC target, const WaitLayout& layout, const bool (&lavaVisible)[kFrameCount]);
