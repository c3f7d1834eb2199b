#pragma once
#include <stdint.h>

// The waiting window's clock, kept free of windows so that every one of its
// ticks can be walked through in a test.

constexpr int kFrameCount = 8;
constexpr int16_t kRelaunchAt = 1;
constexpr int16_t kTimeoutAt = 250;

enum class TickAction { None, Relaunch, Poll, Timeout };

// What the window does while Counter holds this value.
TickAction ActionFor(int16_t counter);

struct WaitClock {
    int16_t ImgCount = 0;  // the frame that the next tick shows
    int16_t Counter = 0;   // completed frame cycles, plus one after the relaunch
    // Nobody can see the window: nobody waits on it either, only the program
    // that started it, for the setup program's own code. There the timeout
    // never comes; the last 20-second cycle of polls repeats in its place.
    bool unwatched = false;
};

struct Tick {
    int frame;  // the one frame visible after this tick
    TickAction action;
};

// One tick: shows the next frame, advances the counters, and says what the
// schedule asks for. A relaunch also moves Counter on by one, so it happens
// on exactly one tick.
Tick AdvanceClock(WaitClock& clock);
