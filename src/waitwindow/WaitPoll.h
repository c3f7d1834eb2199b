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
};

// True when the window should close: a fresh marker, or else the relaunched
// process has ended with no runner left at work, so no marker is coming
// (an unwritable folder, or a runner that deferred to one now finished).
bool ClosesAtPoll(const PollFacts& facts);
