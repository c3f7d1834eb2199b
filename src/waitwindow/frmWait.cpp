#include "frmWait.h"

#include "../binding/ModBinding.h"
#include "../protocol/CompletionMarker.h"
#include "../protocol/LauncherName.h"
#include "../runtime/platform/Err.h"
#include "../runtime/process/App.h"
#include "../runtime/process/Kernel.h"
#include "../shell/ModShell.h"
#include "../shell/hw.h"
#include "DdeLink.h"
#include "Transparant.h"
#include "WaitPaint.h"
#include "WindowsVersion.h"

namespace {

constexpr const char* kCaption = "Please wait...";
constexpr unsigned kTickMs = 250;
constexpr int16_t kOpacity = 244;
constexpr int16_t kHighestTranslucentVersion = 5;
constexpr DWORD kPauseBeforeEndMs = 100;
constexpr UINT_PTR kTimer1Id = 1;

const FormDefinition kWaitDefinition = {
    "SetupLoaderWait", kCaption, 0, 0, kWaitWidthTwips, kWaitHeightTwips, true, RGB(255, 255, 255), 1,
};

bool IsClosingKey(int16_t key) { return key == 'X' || key == 'x' || key == 27; }

MarkerState ReadMarker() {
    MarkerState marker;
    marker.present = CompletionMarkerTime(OwnFolderNow(), marker.writeTime);
    return marker;
}

}  // namespace

FrmWait::FrmWait()
    : Form(kWaitDefinition), layout_(ScreenWaitLayout(DotsPerInch())), Lava{true}, Timer1(*this, kTimer1Id) {}

FrmWait& frmWait() {
    static FrmWait window;
    return window;
}

void FrmWait::SetLavaVisible(int index, bool visible) {
    if (Lava[index] == visible) return;
    Lava[index] = visible;
    // Only the frames' area changes; it is repainted whole, off-screen first.
    PixelRect area = FrameArea(layout_);
    RECT rect = {area.left, area.top, area.right, area.bottom};
    if (hWnd()) ::InvalidateRect(hWnd(), &rect, FALSE);
}

void FrmWait::PrepareWindow() {
    SetCaption(kCaption);
    clock_.Counter = 0;
    clock_.ImgCount = 0;
    clock_.unwatched = !Kernel::WindowStationVisible();
    for (int i = 1; i < kFrameCount; ++i) SetLavaVisible(i, false);
    Timer1.SetEnabled(true);
    Timer1.SetInterval(kTickMs);
    SetHeightTwips(kWaitHeightTwips);
    SetWidthTwips(kWaitWidthTwips);
}

void FrmWait::Form_Load() {
    DdeLink::Start(App::EXEName());  // the window works on without it
    SetAsideStaleMarker();
    PrepareWindow();
    if (GetWindowsVersion() > kHighestTranslucentVersion) return;
    MakeTransparent(hWnd(), kOpacity);  // the window simply stays opaque if this fails
}

void FrmWait::SetAsideStaleMarker() {
    Text target;
    recognisedPrefix_ =
        SelectTargetPath(App::EXEName(), BuildCandidatePaths(App::Path(), App::EXEName(), App::AnsiWidths()), target);
    // This window holds the folder's claim and has no runner yet: a marker
    // here is left from an earlier run. One that stays (it cannot be
    // deleted) is remembered and counts only once rewritten.
    DeleteCompletionMarker(OwnFolderNow());
    Err::Clear();
    staleMarker_ = ReadMarker();
}

bool FrmWait::RunnerEnded() const {
    return relaunched_.Valid() && ::WaitForSingleObject(relaunched_.Get(), 0) == WAIT_OBJECT_0;
}

bool FrmWait::DoneNow(bool pollTick) const {
    WaitFacts facts;
    facts.runnerStarted = relaunched_.Valid();
    facts.runnerEnded = RunnerEnded();
    facts.pollTick = pollTick;
    // Only a window without a runner of its own reads the marker.
    if (pollTick && !facts.runnerStarted) facts.marker = ReadMarker();
    facts.stale = staleMarker_;
    facts.recognisedPrefix = recognisedPrefix_;
    facts.unwatched = clock_.unwatched;
    return ClosesNow(facts);
}

void FrmWait::Form_Unload() {
    // Every step runs whatever the one before did; nothing is reported.
    Err::Clear();
    WaitEnd end;
    end.reason = closeReason_;
    end.runnerStarted = relaunched_.Valid();
    end.runnerEnded = RunnerEnded();
    DeleteCompletionMarker(OwnFolderNow());
    hw().Unload();
    DdeLink::Stop();
    Kernel::Sleep(kPauseBeforeEndMs);
    if (WaitsForRunner(end)) {
        // The window closes as it would; the process stays for the runner's
        // code, and clears the marker that runner leaves for it.
        ::DestroyWindow(hWnd());
        Kernel::WaitDispatching(relaunched_.Get(), INFINITE);
        DeleteCompletionMarker(OwnFolderNow());
    }
    App::EndProcess(ExitCode());
}

unsigned long FrmWait::ExitCode() const {
    WaitEnd end;
    end.reason = closeReason_;
    end.relaunchError = relaunchError_;
    DWORD code = 0;
    end.runnerEnded = RunnerEnded() && ::GetExitCodeProcess(relaunched_.Get(), &code);
    end.runnerCode = code;
    return WaitingExitCode(end);
}

void FrmWait::CloseFor(CloseReason reason) {
    closeReason_ = reason;
    Timer1.SetEnabled(false);
    Unload();
}

void FrmWait::Form_MouseDown(int, int, int, int) {
    // Let the system move the borderless window as if its title bar were held.
    Kernel::ReleaseCapture();
    Kernel::SendMessageA(hWnd(), WM_NCLBUTTONDOWN, HTCAPTION, 0);
}

void FrmWait::Form_KeyPress(int16_t& KeyAscii) {
    if (IsClosingKey(KeyAscii)) Unload();
}

void FrmWait::Timer1_Timer() {
    Tick tick = AdvanceClock(clock_);
    for (int i = 0; i < kFrameCount; ++i) SetLavaVisible(i, i == tick.frame);

    Err::Clear();
    switch (tick.action) {
    case TickAction::Relaunch:
        relaunched_.Reset(ModBinding::Relaunch(relaunchError_));
        // The runner's hidden window owns the setup program's prompts (elevation
        // among them), which may come to the front only with this process's leave.
        Kernel::AllowForeground(relaunched_.Get());
        // No runner is coming: nothing is left to wait for.
        if (relaunchError_) CloseFor(CloseReason::RelaunchFailed);
        break;
    case TickAction::Timeout:
        CloseFor(CloseReason::Timeout);
        break;
    case TickAction::Poll:
    case TickAction::None:
        if (DoneNow(tick.action == TickAction::Poll)) CloseFor(CloseReason::Poll);
        break;
    }
}

void FrmWait::RunUntilClosed() {
    bool watchRunner = true;  // until its end has been seen: a window that stays for the user must not spin
    for (;;) {
        // Drained before each wait, which wakes only for what came after the last look.
        MSG message;
        while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) return;
            ::TranslateMessage(&message);
            ::DispatchMessageA(&message);
        }
        HANDLE runner = relaunched_.Get();
        DWORD count = watchRunner && runner ? 1 : 0;
        if (::MsgWaitForMultipleObjects(count, &runner, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 && count) {
            watchRunner = false;
            if (DoneNow(false)) CloseFor(CloseReason::Poll);
        }
    }
}

void FrmWait::Paint(HDC dc) { PaintWaitSurface(dc, layout_, Lava); }

bool FrmWait::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
    case WM_TIMER:
        if (wParam != kTimer1Id) return false;
        Timer1_Timer();
        result = 0;
        return true;
    case WM_CHAR: {
        int16_t key = static_cast<int16_t>(wParam);
        Form_KeyPress(key);
        result = 0;
        return true;
    }
    case WM_ERASEBKGND:
        result = 1;  // the paint covers every pixel
        return true;
    case WM_LBUTTONDOWN: {
        // Only the left button moves the window: a move begun by another
        // button would follow the pointer until the next click. The frames and
        // labels take presses but have no handler of their own.
        int x = static_cast<short>(LOWORD(lParam)), y = static_cast<short>(HIWORD(lParam));
        if (!PressTakenByElement(layout_, Lava, x, y)) Form_MouseDown(static_cast<int>(wParam), 0, x, y);
        result = 0;
        return true;
    }
    default:
        return Form::HandleMessage(message, wParam, lParam, result);
    }
}
