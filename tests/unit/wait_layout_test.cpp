#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "../support/BmpPixel.h"
#include "waitwindow/BmpPicture.h"
#include "waitwindow/WaitLayout.h"

namespace {

const PictureSize kPictureSizes[kFrameCount] = {{40, 64}, {40, 64}, {40, 64}, {40, 64},
                                                {40, 64}, {74, 74}, {64, 40}, {74, 74}};

WaitLayout At96() { return ComputeWaitLayout(96, kPictureSizes); }

void ExpectRect(const PixelRect& r, int left, int top, int width, int height) {
    EXPECT_EQ(r.left, left);
    EXPECT_EQ(r.top, top);
    EXPECT_EQ(r.right - r.left, width);
    EXPECT_EQ(r.bottom - r.top, height);
}

bool OnBorder(const WaitLayout& layout, int x, int y) {
    for (const PixelRect& line : layout.border)
        if (line.Contains(x, y)) return true;
    return false;
}

struct Visible {
    bool frames[kFrameCount] = {};
    explicit Visible(int frame) { frames[frame] = true; }
};

}  // namespace

TEST(WaitLayout, ElementsInPixelsAt96Dpi) {
    WaitLayout layout = At96();
    ExpectRect(layout.client, 0, 0, 161, 153);
    for (int i = 0; i <= 4; ++i) ExpectRect(layout.lava[i], 64, 24, 40, 64);
    ExpectRect(layout.lava[5], 44, 20, 74, 74);
    ExpectRect(layout.lava[6], 52, 36, 64, 40);
    ExpectRect(layout.lava[7], 44, 20, 74, 74);
    ExpectRect(layout.labels[kPleaseWaitLabel], 4, 104, 153, 33);
    ExpectRect(layout.labels[kDdeLabel], 120, 16, 41, 17);
}

TEST(WaitLayout, FramesShareTheirCentres) {
    WaitLayout layout = At96();
    for (int i = 0; i < kFrameCount; ++i) {
        const PixelRect& r = layout.lava[i];
        bool tilted = i == 5 || i == 7;
        EXPECT_EQ(r.left + r.right, 2 * (tilted ? 81 : 84)) << "frame " << i;
        EXPECT_EQ(r.top + r.bottom, 2 * (tilted ? 57 : 56)) << "frame " << i;
    }
    PixelRect area = FrameArea(layout);
    ExpectRect(area, 44, 20, 74, 74);
}

TEST(WaitLayout, FramesKeepTheirPicturesPixelSizeAtOtherDensities) {
    WaitLayout layout = ComputeWaitLayout(120, kPictureSizes);
    ExpectRect(layout.client, 0, 0, 201, 191);
    ExpectRect(layout.lava[0], 80, 30, 40, 64);
    ExpectRect(layout.lava[6], 65, 45, 64, 40);
}

TEST(WaitLayout, BordersCoverExactlyTheOutermostPixels) {
    for (int dpi : {96, 120}) {
        SCOPED_TRACE(dpi);
        WaitLayout layout = ComputeWaitLayout(dpi, kPictureSizes);
        const PixelRect& c = layout.client;
        for (int y = c.top; y < c.bottom; ++y)
            for (int x = c.left; x < c.right; ++x) {
                bool outermost = x == 0 || y == 0 || x == c.right - 1 || y == c.bottom - 1;
                ASSERT_EQ(OnBorder(layout, x, y), outermost) << x << "," << y;
            }
    }
}

TEST(WaitLayout, BottomBorderRunsPastTheLeftEdgeAndIsClipped) {
    const PixelRect& bottom = At96().border[3];
    ExpectRect(bottom, 0, 152, 161, 1);
}

// Presses on the visible frame and the labels reach those elements and do
// nothing; presses anywhere else drag the window.
TEST(WaitLayout, OnlyPressesOutsideTheVisibleFrameAndTheLabelsDrag) {
    struct Press {
        int visibleFrame, x, y;
        bool taken;
        const char* where;
    };
    const Press presses[] = {
        {0, 84, 56, true, "hourglass centre"},
        {0, 64, 24, true, "frame corner"},
        {0, 103, 87, true, "opposite frame corner"},
        {6, 84, 56, true, "lying frame"},
        {0, 80, 120, true, "lblPleaseWait"},
        {0, 4, 104, true, "lblPleaseWait corner"},
        {0, 140, 20, true, "lblDDE, invisible"},
        {0, 160, 16, true, "right border at the top of lblDDE"},
        {0, 160, 32, true, "right border at the bottom of lblDDE"},
        {0, 20, 20, false, "background"},
        {0, 104, 56, false, "just right of the frame"},
        {0, 50, 90, false, "hidden tilted frame's area"},
        {6, 84, 30, false, "hidden upright frame's area"},
        {0, 0, 76, false, "left border"},
        {0, 80, 0, false, "top border"},
        {0, 80, 152, false, "bottom border"},
        {0, 160, 15, false, "right border above lblDDE"},
        {0, 160, 33, false, "right border below lblDDE"},
        {0, 80, 137, false, "just below lblPleaseWait"},
    };
    WaitLayout layout = At96();
    for (const Press& press : presses) {
        Visible visible(press.visibleFrame);
        EXPECT_EQ(PressTakenByElement(layout, visible.frames, press.x, press.y), press.taken) << press.where;
    }
}

TEST(WaitLabels, NamesAreDdeItemsWithTheirTexts) {
    const LabelDefinition* pleaseWait = FindLabel("lblPleaseWait");
    ASSERT_NE(pleaseWait, nullptr);
    EXPECT_STREQ(pleaseWait->text, "Please wait while the installation procedure finishes...");
    ASSERT_NE(FindLabel("LBLDDE"), nullptr) << "DDE item names ignore letter case";
    EXPECT_STREQ(FindLabel("lbldde")->text, "");
    EXPECT_EQ(FindLabel("lblPleaseWai"), nullptr);
    EXPECT_EQ(FindLabel("Lava"), nullptr);
    EXPECT_EQ(FindLabel(""), nullptr);
}

// ---------------------------------------------------------------------------

namespace {

std::vector<uint8_t> ReadFrameFile(int i) {
    std::ifstream f(std::string(ARTWORK_ROOT) + "/src/waitwindow/frames/lava" + std::to_string(i) + ".bmp",
                    std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

}  // namespace

TEST(BmpPicture, ReadsEachFrameAtItsOwnSize) {
    for (int i = 0; i < kFrameCount; ++i) {
        std::vector<uint8_t> file = ReadFrameFile(i);
        BmpPicture picture;
        ASSERT_TRUE(ReadBmp(file.data(), file.size(), picture)) << i;
        EXPECT_EQ(picture.width, kPictureSizes[i].width);
        EXPECT_EQ(picture.height, kPictureSizes[i].height);
        EXPECT_EQ(picture.info, file.data() + 14);
        EXPECT_EQ(BmpPixelRgb(picture, 0, 0), 0xFFFFFFu) << "white background";
    }
}

TEST(BmpPicture, PixelsAreCountedFromTheTop) {
    // 2 x 2, bottom-up rows of 8 bytes (6 + padding): bottom row blue, red; top row green, white.
    // clang-format off
    std::vector<uint8_t> file = {'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,  // file header
                                 40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0,
                                 16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                 255, 0, 0, 0, 0, 255, 0, 0,  // bottom row
                                 0, 255, 0, 255, 255, 255, 0, 0};  // top row
    // clang-format on
    BmpPicture picture;
    ASSERT_TRUE(ReadBmp(file.data(), file.size(), picture));
    EXPECT_EQ(BmpPixelRgb(picture, 0, 0), 0x00FF00u);
    EXPECT_EQ(BmpPixelRgb(picture, 1, 0), 0xFFFFFFu);
    EXPECT_EQ(BmpPixelRgb(picture, 0, 1), 0x0000FFu);
    EXPECT_EQ(BmpPixelRgb(picture, 1, 1), 0xFF0000u);

    file.pop_back();
    EXPECT_FALSE(ReadBmp(file.data(), file.size(), picture)) << "last row cut short";
}

TEST(BmpPicture, RejectsWhatTheDrawingCallWouldMisread) {
    std::vector<uint8_t> good = ReadFrameFile(0);
    BmpPicture picture;
    auto rejects = [&](size_t at, uint8_t value) {
        std::vector<uint8_t> bad = good;
        bad[at] = value;
        return !ReadBmp(bad.data(), bad.size(), picture);
    };
    EXPECT_TRUE(rejects(0, 'X')) << "signature";
    EXPECT_TRUE(rejects(14, 108)) << "other header size";
    EXPECT_TRUE(rejects(28, 8)) << "8 bits per pixel";
    EXPECT_TRUE(rejects(30, 1)) << "compressed";
    EXPECT_TRUE(rejects(25, 0xFF)) << "top-down (negative height)";
    EXPECT_TRUE(rejects(10, 0xFF)) << "pixels start past the end";
    EXPECT_FALSE(ReadBmp(good.data(), 40, picture)) << "truncated header";
    EXPECT_FALSE(ReadBmp(nullptr, 0, picture));
}
