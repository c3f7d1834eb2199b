#pragma once
#include "Schedule.h"

// The waiting window's elements as its definition places them (in twips),
// and where they land in pixels at a given screen density. Kept free of
// windows so that the geometry and the hit test run in native tests.

constexpr int kWaitWidthTwips = 2415;
constexpr int kWaitHeightTwips = 2295;
constexpr int kBorderCount = 4;

// Half-open: left and top inside, right and bottom just outside.
struct PixelRect {
    int left, top, right, bottom;
    bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};

struct PictureSize {
    int width, height;
};

struct LabelDefinition {
    const char* name;  // also the DDE item that reports its text
    const char* text;
    int leftTwips, topTwips, widthTwips, heightTwips;
};

enum { kPleaseWaitLabel, kDdeLabel, kLabelCount };
extern const LabelDefinition kLabels[kLabelCount];

// The label named name (letter case ignored, as DDE item names are), or null.
const LabelDefinition* FindLabel(const char* name);

struct WaitLayout {
    PixelRect client;
    PixelRect lava[kFrameCount];  // each frame at its picture's own pixel size
    PixelRect labels[kLabelCount];
    PixelRect border[kBorderCount];  // the pixels each line covers, clipped to the client
};

WaitLayout ComputeWaitLayout(int dpi, const PictureSize (&pictures)[kFrameCount]);

// The area every frame shares; repainting it is enough to switch frames.
PixelRect FrameArea(const WaitLayout& layout);

// True when a press at (x, y) lands on an element that takes mouse input (a
// visible frame or a label). Those have no handler, so the press does
// nothing; any other press, on the background or a line, moves the window.
bool PressTakenByElement(const WaitLayout& layout, const bool (&lavaVisible)[kFrameCount], int x, int y);
