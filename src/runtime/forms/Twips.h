#pragma once

// Window geometry is kept in twips, 1/1440 inch: 15 twips a pixel at 96 dpi.
constexpr int kTwipsPerInch = 1440;

constexpr int TwipsToPixels(int twips, int dotsPerInch) {
    // Floor division, so that negative positions (off-screen) stay exact too.
    return (twips * dotsPerInch - ((twips * dotsPerInch) % kTwipsPerInch + kTwipsPerInch) % kTwipsPerInch) /
           kTwipsPerInch;
}
