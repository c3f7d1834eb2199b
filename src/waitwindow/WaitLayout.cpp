#include "WaitLayout.h"

#include "../runtime/forms/Twips.h"
#include "../runtime/text/Text.h"

namespace {

struct TwipPoint {
    int x, y;
};

// Top-left corners; the sizes come from the pictures themselves.
const TwipPoint kLavaPositions[kFrameCount] = {
    {960, 360}, {960, 360}, {960, 360}, {960, 360}, {960, 360}, {660, 300}, {780, 540}, {660, 300},
};

struct TwipLine {
    TwipPoint from, to;
};

// Border(3) runs past the left edge to -120; the client area clips it.
const TwipLine kBorderLines[kBorderCount] = {
    {{0, 0}, {0, 2280}},
    {{2400, 0}, {2400, 2280}},
    {{0, 0}, {2400, 0}},
    {{2400, 2280}, {-120, 2280}},
};

int Min(int a, int b) { return a < b ? a : b; }
int Max(int a, int b) { return a > b ? a : b; }

PixelRect Intersect(const PixelRect& a, const PixelRect& b) {
    return {Max(a.left, b.left), Max(a.top, b.top), Min(a.right, b.right), Min(a.bottom, b.bottom)};
}

// A one-pixel line lights both its end pixels.
PixelRect LinePixels(const TwipLine& line, int dpi) {
    int x1 = TwipsToPixels(line.from.x, dpi), y1 = TwipsToPixels(line.from.y, dpi);
    int x2 = TwipsToPixels(line.to.x, dpi), y2 = TwipsToPixels(line.to.y, dpi);
    return {Min(x1, x2), Min(y1, y2), Max(x1, x2) + 1, Max(y1, y2) + 1};
}

}  // namespace

const LabelDefinition kLabels[kLabelCount] = {
    {"lblPleaseWait", "Please wait while the installation procedure finishes...", 60, 1560, 2295, 495},
    {"lblDDE", "", 1800, 240, 615, 255},
};

const LabelDefinition* FindLabel(const char* name) {
    Text wanted = Text(name).ToLowerAscii();
    for (const LabelDefinition& label : kLabels)
        if (Text(label.name).ToLowerAscii() == wanted) return &label;
    return nullptr;
}

WaitLayout ComputeWaitLayout(int dpi, const PictureSize (&pictures)[kFrameCount]) {
    WaitLayout layout;
    layout.client = {0, 0, TwipsToPixels(kWaitWidthTwips, dpi), TwipsToPixels(kWaitHeightTwips, dpi)};
    for (int i = 0; i < kFrameCount; ++i) {
        int left = TwipsToPixels(kLavaPositions[i].x, dpi), top = TwipsToPixels(kLavaPositions[i].y, dpi);
        layout.lava[i] = {left, top, left + pictures[i].width, top + pictures[i].height};
    }
    for (int i = 0; i < kLabelCount; ++i) {
        const LabelDefinition& label = kLabels[i];
        int left = TwipsToPixels(label.leftTwips, dpi), top = TwipsToPixels(label.topTwips, dpi);
        layout.labels[i] = {left, top, left + TwipsToPixels(label.widthTwips, dpi),
                            top + TwipsToPixels(label.heightTwips, dpi)};
    }
    for (int i = 0; i < kBorderCount; ++i)
        layout.border[i] = Intersect(LinePixels(kBorderLines[i], dpi), layout.client);
    return layout;
}

PixelRect FrameArea(const WaitLayout& layout) {
    PixelRect area = layout.lava[0];
    for (const PixelRect& r : layout.lava)
        area = {Min(area.left, r.left), Min(area.top, r.top), Max(area.right, r.right), Max(area.bottom, r.bottom)};
    return area;
}

bool PressTakenByElement(const WaitLayout& layout, const bool (&lavaVisible)[kFrameCount], int x, int y) {
    for (int i = 0; i < kFrameCount; ++i)
        if (lavaVisible[i] && layout.lava[i].Contains(x, y)) return true;
    for (const PixelRect& label : layout.labels)
        if (label.Contains(x, y)) return true;
    return false;
}
