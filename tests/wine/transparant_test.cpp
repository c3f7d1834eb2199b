#include <gtest/gtest.h>

#include "runtime/platform/Win32.h"
#include "waitwindow/Transparant.h"
#include "waitwindow/WindowsVersion.h"

namespace {

// A plain top-level window with a tool-window style to see that other bits survive.
class TopLevelWindow : public ::testing::Test {
protected:
    void SetUp() override {
        window_ = CreateWindowExA(WS_EX_TOOLWINDOW, "STATIC", "translucency", WS_POPUP, 0, 0, 40, 40, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(window_, nullptr);
    }
    void TearDown() override { DestroyWindow(window_); }
    LONG ExStyle() const { return GetWindowLongA(window_, GWL_EXSTYLE); }

    HWND window_ = nullptr;
};

}  // namespace

TEST_F(TopLevelWindow, AlphaOutsideTheByteRangeLeavesTheWindowAlone) {
    LONG before = ExStyle();
    ASSERT_EQ(before & WS_EX_LAYERED, 0);
    for (int16_t alpha : {int16_t(-1), int16_t(256), int16_t(-32768)}) {
        EXPECT_EQ(MakeTransparent(window_, alpha), kTransparentAlphaOutOfRange) << alpha;
        EXPECT_EQ(ExStyle(), before) << alpha;
    }
}

TEST_F(TopLevelWindow, AlphaInRangeMakesALayeredWindowWithThatOpacity) {
    const int16_t alpha = 244;
    EXPECT_EQ(MakeTransparent(window_, alpha), kTransparentApplied);
    EXPECT_EQ(alpha, 244);
    EXPECT_NE(ExStyle() & WS_EX_LAYERED, 0);
    EXPECT_NE(ExStyle() & WS_EX_TOOLWINDOW, 0) << "the other style bits stay";
    BYTE applied = 0;
    DWORD flags = 0;
    ASSERT_TRUE(GetLayeredWindowAttributes(window_, nullptr, &applied, &flags));
    EXPECT_EQ(applied, 244);
    EXPECT_EQ(flags, static_cast<DWORD>(LWA_ALPHA));
}

TEST_F(TopLevelWindow, ZeroAnd255AreAcceptedAsTheyStand) {
    for (int16_t alpha : {int16_t(0), int16_t(255)}) {
        EXPECT_EQ(MakeTransparent(window_, alpha), kTransparentApplied) << alpha;
        BYTE applied = 1;
        ASSERT_TRUE(GetLayeredWindowAttributes(window_, nullptr, &applied, nullptr));
        EXPECT_EQ(applied, alpha);
    }
}

// The tests run with Wine's default version, Windows 7 (NT 6.1).
TEST(WindowsVersion, Windows7ReportsSix) { EXPECT_EQ(GetWindowsVersion(), 6); }
