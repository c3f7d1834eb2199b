#pragma once
#include <stdint.h>

#include "../runtime/forms/Form.h"
#include "../runtime/platform/UniqueHandle.h"
#include "Schedule.h"
#include "WaitLayout.h"
#include "WaitPoll.h"

// The waiting window: animates the hourglass, relaunches the loader once so
// that the second process runs the setup program, polls for the completion
// marker and ends the process when it closes.
class FrmWait : public Form {
public:
    FrmWait();
    // The shown window's events, until it ends the process or a request to
    // quit arrives from outside (then it returns). Its runner's end is one of
    // them: the window closes at once, not at the next tick.
    void RunUntilClosed();

private:
    void PrepareWindow();
    void Form_Load() override;
    void Form_Unload() override;
    void Form_MouseDown(int button, int shift, int x, int y);
    void Form_KeyPress(int16_t& KeyAscii);
    void Timer1_Timer();
    void CloseFor(CloseReason reason);
    unsigned long ExitCode() const;
    void SetAsideStaleMarker();
    bool RunnerEnded() const;
    bool DoneNow(bool pollTick) const;
    void SetLavaVisible(int index, bool visible);
    void Paint(HDC dc) override;
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    WaitLayout layout_;
    WaitClock clock_;
    bool Lava[kFrameCount];
    FormTimer Timer1;
    UniqueKernelHandle relaunched_;  // the runner this window started
    CloseReason closeReason_ = CloseReason::UserExit;
    unsigned long relaunchError_ = 0;
    MarkerState staleMarker_;
    bool recognisedPrefix_ = false;
};

FrmWait& frmWait();
