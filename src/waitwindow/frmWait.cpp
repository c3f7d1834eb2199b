#include "frmWait.h"

#include "../binding/ModBinding.h"
#include "../protocol/CompletionMarker.h"
#include "../protocol/RunLocks.h"
#include "../runtime/files/Files.h"
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
    // No runner of this window exists yet: a marker here is left from an
    // earlier run. One that stays (it cannot be deleted, or a runner at work
    // may still rewrite it) is remembered and counts only once rewritten.
    if (!RunLocks::RunnerAtWork()) DeleteCompletionMarker(OwnFolderNow());
    Err::Clear();
    staleMarker_ = ReadMarker();
}

bool FrmWait::MarkerOrRunnerSaysDone() const {
    PollFacts facts;
    facts.marker = ReadMarker();
    facts.stale = staleMarker_;
    facts.relaunchEnded = relaunched_.Valid() && ::WaitForSingleObject(relaunched_.Get(), 0) == WAIT_OBJECT_0;
    facts.runnerAtWork = RunLocks::RunnerAtWork();
    facts.recognisedPrefix = recognisedPrefix_;
    facts.unwatched = clock_.unwatched;
    return ClosesAtPoll(facts);
}

void FrmWait::Form_Unload() {
    // Every step runs whatever the one before did; nothing is reported.
    Err::Clear();
    bool outlived = LetGoForRunner();
    DeleteCompletionMarker(OwnFolderNow());
    Files::Close(kMarkerChannel);
    hw().Unload();
    DdeLink::Stop();
    Kernel::Sleep(kPauseBeforeEndMs);
    if (outlived) {
        // The window closes as it would; the process stays for the runner's code.
        ::DestroyWindow(hWnd());
        Kernel::WaitDispatching(relaunched_.Get(), INFINITE);
    }
    App::EndProcess(ExitCode());
}

bool FrmWait::LetGoForRunner() {
    WaitEnd end;
    end.reason = closeReason_;
    end.runnerStarted = relaunched_.Valid();
    end.runnerEnded = end.runnerStarted && ::WaitForSingleObject(relaunched_.Get(), 0) == WAIT_OBJECT_0;
    if (!WaitsForRunner(end)) return false;
    // Before the marker is deleted: a runner that finds no waiting instance
    // writes none, and a later start waits in a window of its own.
    RunLocks::ReleaseInstanceLock();
    return true;
}

unsigned long FrmWait::ExitCode() const {
    WaitEnd end;
    end.reason = closeReason_;
    end.relaunchError = relaunchError_;
    DWORD code = 0;
    // The window keeps its messages flowing meanwhile: it is still on screen.
    end.runnerEnded = relaunched_.Valid() &&
                      Kernel::WaitDispatching(relaunched_.Get(), RunnerEndWaitMs(closeReason_)) &&
                      ::GetExitCodeProcess(relaunched_.Get(), &code);
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
    case TickAction::Poll:
        if (MarkerOrRunnerSaysDone()) CloseFor(CloseReason::Poll);
        break;
    case TickAction::Timeout:
        CloseFor(CloseReason::Timeout);
        break;
    case TickAction::None:
        break;
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
