#pragma once
#include <stdint.h>

// What the waiting window decides at a poll, kept free of windows so that
// every combination can be tested. frmWait gathers the facts.

// The completion marker as the window sees it.
struct MarkerState {
    bool present = false;
    uint64_t writeTime = 0;  // last-write time, when present
};

struct PollFacts {
    MarkerState marker;
    // The marker still there after the window's start-up clean-up (one that
    // could not be deleted, or left while a runner was at work). No runner of
    // this window wrote it, so it closes nothing unless it is written again.
    MarkerState stale;
    bool relaunchEnded = false;     // the process this window started has ended
    bool runnerAtWork = false;      // some runner of this folder holds its lock
    bool recognisedPrefix = false;  // the launcher name selects a setup program
    bool unwatched = false;         // nobody can see the window, nor close it
};

// True when the window should close: a fresh marker, or else the relaunched
// process has ended with no runner left at work, so no marker is coming
// (an unwritable folder, or a runner that deferred to one now finished).
// Where nobody sees the window, that ended relaunch closes it in any case:
// no hand will, and no time limit does.
bool ClosesAtPoll(const PollFacts& facts);

// What closed the waiting window.
enum class CloseReason {
    UserExit,        // X, Escape, or a request to close from outside
    Poll,            // a poll found the run done
    Timeout,         // the last tick of the schedule
    RelaunchFailed,  // the runner could not be started
};

struct WaitEnd {
    CloseReason reason = CloseReason::UserExit;
    unsigned long relaunchError = 0;  // with RelaunchFailed
    bool runnerStarted = false;       // the shell gave back the relaunched process
    bool runnerEnded = false;         // the relaunched process has ended (after a short wait at a poll)
    unsigned long runnerCode = 0;     // its exit code, when it has
};

// How long the closing window waits for its runner's code: a runner ends
// right after it leaves the marker, so after a poll that found it that code
// is worth a short wait; after any other close it is read only if there.
unsigned long RunnerEndWaitMs(CloseReason reason);

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
