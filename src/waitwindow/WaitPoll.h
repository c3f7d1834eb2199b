#pragma once
#include <stdint.h>

// What the waiting window decides at a poll, kept free of windows so that
// every combination can be tested. frmWait gathers the facts.

// The completion marker as the window sees it.
struct MarkerState {
    bool present = false;
    uint64_t writeTime = 0;  // last-write time, when present
};

struct WaitFacts {
    bool runnerStarted = false;  // the shell gave back the process this window started
    bool runnerEnded = false;    // ... and it has ended
    bool pollTick = false;       // the schedule polls on this tick
    MarkerState marker;          // read on poll ticks only
    // The marker still there after the window's start-up clean-up (one that
    // could not be deleted). No runner of this window wrote it, so it closes
    // nothing unless it is written again.
    MarkerState stale;
    bool recognisedPrefix = false;  // the launcher name selects a setup program
    bool unwatched = false;         // nobody can see the window, nor close it
};

// True when the window should close on this tick. Its own runner's end
// closes it at once, in any phase of the schedule: the process it started
// is the truth, and a marker written by anyone else while that runner is at
// work changes nothing. Without a recognised prefix that runner ran nothing,
// and the window stays for the user to close, where one sees it. Only a
// window whose runner the shell never gave back has nothing but the marker,
// at the schedule's polls.
bool ClosesNow(const WaitFacts& facts);

// What closed the waiting window.
enum class CloseReason {
    UserExit,        // X, Escape, or a request to close from outside
    Poll,            // the runner ended, or (with no runner of its own) a poll found the marker
    Timeout,         // the last tick of the schedule
    RelaunchFailed,  // the runner could not be started
};

struct WaitEnd {
    CloseReason reason = CloseReason::UserExit;
    unsigned long relaunchError = 0;  // with RelaunchFailed
    bool runnerStarted = false;       // the shell gave back the relaunched process
    bool runnerEnded = false;         // the relaunched process has ended
    unsigned long runnerCode = 0;     // its exit code, when it has
};

// The waiting instance ends with its runner's code once that has ended: the
// setup program's own, or why the runner ran none. Before then the reason
// for closing is all it can tell.
unsigned long WaitingExitCode(const WaitEnd& end);

// Whether the closed window's process waits, with no window and no time
// limit, for its runner before it ends with WaitingExitCode; else it ends at
// once. Only the timeout leaves a runner at work: what waits on the process
// must learn how the setup program ended, not that the window gave up. The
// person who closed the window chose to stop waiting.
bool WaitsForRunner(const WaitEnd& end);
