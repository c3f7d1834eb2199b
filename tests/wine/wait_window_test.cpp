#include <gtest/gtest.h>

#include <stdio.h>

#include "../support/BmpPixel.h"
#include "runtime/forms/Form.h"
#include "runtime/platform/LazyFunction.h"
#include "runtime/platform/UniqueHandle.h"
#include "runtime/process/Kernel.h"
#include "shell/hw.h"
#include "waitwindow/DdeLink.h"
#include "waitwindow/LavaFrames.h"
#include "waitwindow/WaitPaint.h"
#include "win32_fixture.h"

namespace {

const COLORREF kWhite = 0xFFFFFF, kBlack = 0;

// The waiting window's surface painted into a 32-bit bitmap at 96 dpi.
class PaintedSurface : public ::testing::Test {
protected:
    void SetUp() override {
        layout_ = ScreenWaitLayout(96);
        width_ = layout_.client.right;
        height_ = layout_.client.bottom;
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width_;
        info.bmiHeader.biHeight = -height_;  // top-down
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&pixels_), nullptr, 0);
        ASSERT_NE(bitmap_, nullptr);
        old_ = SelectObject(dc_, bitmap_);
    }
    void TearDown() override {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    void Paint(int visibleFrame) {
        bool visible[kFrameCount] = {};
        visible[visibleFrame] = true;
        // Grey first, so that a pixel left unpainted shows.
        RECT all = {0, 0, width_, height_};
        FillRect(dc_, &all, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
        PaintWaitSurface(dc_, layout_, visible);
        GdiFlush();
    }
    COLORREF At(int x, int y) const { return pixels_[y * width_ + x] & 0xFFFFFF; }
    bool Dark(int x, int y) const {
        COLORREF c = At(x, y);
        return (c & 0xFF) + ((c >> 8) & 0xFF) + (c >> 16) < 3 * 128;
    }

    WaitLayout layout_;
    int width_ = 0, height_ = 0;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    uint32_t* pixels_ = nullptr;
};

}  // namespace

// At 96 dpi: 6 x 6 pixels at (-253, 40), left of the screen, and never shown.
TEST(OwnerWindow, IsASmallHiddenBorderlessWindowOffTheScreen) {
    ASSERT_TRUE(hw().Load());
    HWND window = hw().hWnd();
    RECT rect;
    ASSERT_TRUE(GetWindowRect(window, &rect));
    EXPECT_EQ(rect.left, -253);
    EXPECT_EQ(rect.top, 40);
    EXPECT_EQ(rect.right - rect.left, 6);
    EXPECT_EQ(rect.bottom - rect.top, 6);
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(GetWindowTextLengthA(window), 0);
    EXPECT_EQ(GetWindowLongA(window, GWL_STYLE) & (WS_CAPTION | WS_THICKFRAME | WS_BORDER), 0);
    EXPECT_NE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW, 0) << "no taskbar button";
    EXPECT_EQ(GetParent(window), nullptr);
    hw().Unload();
    EXPECT_FALSE(IsWindow(window));
}

TEST(LavaFrames, BuiltInFramesHaveTheirPictureSizes) {
    const int sizes[kFrameCount][2] = {{40, 64}, {40, 64}, {40, 64}, {40, 64}, {40, 64}, {74, 74}, {64, 40}, {74, 74}};
    for (int i = 0; i < kFrameCount; ++i) {
        EXPECT_EQ(LavaFrame(i).width, sizes[i][0]) << i;
        EXPECT_EQ(LavaFrame(i).height, sizes[i][1]) << i;
    }
}

TEST_F(PaintedSurface, EachFrameDrawnAtItsPlaceInsideABlackFrameOnWhite) {
    ASSERT_EQ(width_, 161);
    ASSERT_EQ(height_, 153);
    const PixelRect& label = layout_.labels[kPleaseWaitLabel];
    for (int frame = 0; frame < kFrameCount; ++frame) {
        SCOPED_TRACE(frame);
        Paint(frame);
        const PixelRect& r = layout_.lava[frame];
        const BmpPicture& picture = LavaFrame(frame);
        int wrong = 0;
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x) {
                bool edge = x == 0 || y == 0 || x == width_ - 1 || y == height_ - 1;
                COLORREF want;
                if (edge)
                    want = kBlack;
                else if (r.Contains(x, y))
                    want = BmpPixelRgb(picture, x - r.left, y - r.top);
                else if (label.Contains(x, y))
                    continue;  // the text, checked below
                else
                    want = kWhite;
                if (At(x, y) != want && wrong++ < 5) ADD_FAILURE() << x << "," << y << " is " << std::hex << At(x, y);
            }
        EXPECT_EQ(wrong, 0);
    }
}

TEST_F(PaintedSurface, MessageWrapsIntoCentredDarkLines) {
    Paint(0);
    const PixelRect& label = layout_.labels[kPleaseWaitLabel];
    int firstRow = -1, lastRow = -1, leftmost = width_, rightmost = -1, rows = 0;
    for (int y = label.top; y < label.bottom; ++y) {
        bool any = false;
        for (int x = label.left; x < label.right; ++x)
            if (Dark(x, y)) {
                any = true;
                leftmost = x < leftmost ? x : leftmost;
                rightmost = x > rightmost ? x : rightmost;
            }
        if (!any) continue;
        ++rows;
        if (firstRow < 0) firstRow = y;
        lastRow = y;
    }
    ASSERT_GT(rows, 0) << "no text drawn";
    // Wrapped at word boundaries: text in both halves of the label, with a gap between lines.
    EXPECT_LT(firstRow, label.top + 8);
    EXPECT_GT(lastRow, label.top + 16);
    EXPECT_LT(rows, lastRow - firstRow + 1) << "expected a blank row between the lines";
    // The wider line is centred in the label.
    EXPECT_NEAR(leftmost - label.left, label.right - 1 - rightmost, 3);
}

// ---------------------------------------------------------------------------

namespace {

// Serves the link from this thread while a client program asks it.
class DdeLinkSource : public Win32Folder {
protected:
    void TearDown() override {
        DdeLink::Stop();
        Win32Folder::TearDown();
    }

    // Runs the DDE client fixture and keeps this thread's messages flowing
    // until it ends; returns its exit code and leaves its answer in output.
    DWORD AskClient(const Text& arguments, Text& output) {
        Text command = Text("\"") + ProgramFolder() + "\\ddeclient.exe\" \"" + Path("answer.txt") + "\" " + arguments;
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        char* line = _strdup(command.c_str());
        BOOL started = CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process);
        free(line);
        if (!started) {
            ADD_FAILURE() << "cannot start " << command.c_str();
            return 99;
        }
        UniqueKernelHandle child(process.hProcess);
        CloseHandle(process.hThread);
        DWORD deadline = GetTickCount() + 120000;
        while (MsgWaitForMultipleObjects(1, &process.hProcess, FALSE, 500, QS_ALLINPUT) != WAIT_OBJECT_0) {
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
            if (static_cast<int>(GetTickCount() - deadline) > 0) {
                TerminateProcess(process.hProcess, 98);
                ADD_FAILURE() << "the client did not finish";
                break;
            }
        }
        DWORD code = 97;
        GetExitCodeProcess(process.hProcess, &code);
        output = ReadFile("answer.txt");
        return code;
    }
};

}  // namespace

TEST_F(DdeLinkSource, AnswersTheLabelsTextsOnTheTellMeTopic) {
    ASSERT_TRUE(DdeLink::Start("LoaderLinkTest"));
    Text output;
    EXPECT_EQ(AskClient("LoaderLinkTest TellMe lblPleaseWait lbldde", output), 0u) << output.c_str();
    EXPECT_STREQ(output.c_str(),
                 "lblPleaseWait=[Please wait while the installation procedure finishes...]\n"
                 "lbldde=[]\n");
}

TEST_F(DdeLinkSource, RefusesOtherItemsTopicsAndServicesAndEndsWithStop) {
    ASSERT_TRUE(DdeLink::Start("LoaderLinkTest"));
    Text output;
    EXPECT_EQ(AskClient("LoaderLinkTest TellMe Lava lblPleaseWait", output), 5u);
    EXPECT_STREQ(output.c_str(),
                 "Lava refused\nlblPleaseWait=[Please wait while the installation procedure finishes...]\n");
    EXPECT_EQ(AskClient("LoaderLinkTest Form1 lblPleaseWait", output), 4u) << output.c_str();
    EXPECT_EQ(AskClient("OtherService TellMe lblPleaseWait", output), 4u) << output.c_str();
    DdeLink::Stop();
    EXPECT_EQ(AskClient("LoaderLinkTest TellMe lblPleaseWait", output), 4u) << output.c_str();
}

// ---------------------------------------------------------------------------

// At the screen's own density (the Wine test runs it at 96 and 144 dpi): the
// message drawn unclipped in its label font stays inside the label, and the
// window paints exactly that. The default UI font alone wraps it into three
// lines of which the last is cut off.
TEST(MessageFont, WholeMessageDrawnInsideTheLabelAtTheScreensDensity) {
    // Wine 10, as Windows since Vista, shows a program that does not declare
    // itself DPI-aware 96 dpi and scales its window; declared, this one sees
    // the density set, as every program does where nothing scales (Wine 8, XP).
    LazyFunction<BOOL(WINAPI*)()> setDpiAware("user32.dll", "SetProcessDPIAware");
    if (auto declare = setDpiAware.Get()) declare();
    int dpi = Form::DotsPerInch();
    printf("at %d dpi\n", dpi);
    WaitLayout layout = ScreenWaitLayout(dpi);
    const PixelRect& label = layout.labels[kPleaseWaitLabel];
    int width = layout.client.right, height = layout.client.bottom;
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof info.bmiHeader, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    HDC dc = CreateCompatibleDC(nullptr);
    uint32_t *painted = nullptr, *whole = nullptr;
    HBITMAP surface = CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&painted), nullptr, 0);
    HBITMAP unclipped = CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&whole), nullptr, 0);
    ASSERT_TRUE(surface && unclipped);

    HGDIOBJ old = SelectObject(dc, surface);
    bool visible[kFrameCount] = {true};
    PaintWaitSurface(dc, layout, visible);
    SelectObject(dc, unclipped);
    RECT all = {0, 0, width, height}, rect = {label.left, label.top, label.right, label.bottom};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SelectObject(dc, MessageFont(dc, label));
    SetBkMode(dc, TRANSPARENT);
    DrawTextA(dc, kLabels[kPleaseWaitLabel].text, -1, &rect, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX | DT_NOCLIP);
    GdiFlush();
    SelectObject(dc, old);

    int inside = 0, outside = 0, differ = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint32_t pixel = whole[y * width + x] & 0xFFFFFF;
            bool in = label.Contains(x, y);
            if (pixel != 0xFFFFFF) ++(in ? inside : outside);
            if (in && pixel != (painted[y * width + x] & 0xFFFFFF)) ++differ;
        }
    EXPECT_GT(inside, 150) << "the message is drawn";
    EXPECT_EQ(outside, 0) << "text beyond the label's " << label.right - label.left << " x "
                          << label.bottom - label.top;
    EXPECT_EQ(differ, 0) << "the window paints the message in another font or place";
    DeleteObject(surface);
    DeleteObject(unclipped);
    DeleteDC(dc);
}

HANDLE g_timerEvent;
void CALLBACK SetTimerEvent(HWND, UINT, UINT_PTR, DWORD) { ::SetEvent(g_timerEvent); }

TEST(RunnerCodeWait, DispatchesTheTimerMessageThatEndsIt) {
    g_timerEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    UINT_PTR timer = ::SetTimer(nullptr, 0, 50, SetTimerEvent);
    EXPECT_TRUE(Kernel::WaitDispatching(g_timerEvent, 5000));
    ::KillTimer(nullptr, timer);
}
