#include "Schedule.h"

#include "../protocol/TreeWait.h"

// The runner of a whole-tree wait bounds its wait by these ticks (of 250 ms).
static_assert(kWindowTimeoutMs == kFrameCount * (kTimeoutAt - 1) * 250u, "the timeout's tick");
static_assert(kRelaunchAfterMs == kFrameCount * kRelaunchAt * 250u, "the relaunch's tick");

namespace {

// Counter steps from the last poll window back to where the timeout stood: 20 s.
constexpr int16_t kUnwatchedCycle = 10;

}  // namespace

TickAction ActionFor(int16_t counter) {
    if (counter == kRelaunchAt) return TickAction::Relaunch;
    if (counter == kTimeoutAt) return TickAction::Timeout;
    // Poll often while a fast setup is likely to finish, then ever less often.
    if (counter >= 2 && counter <= 10) return TickAction::Poll;
    if (counter >= 12 && counter <= 28 && counter % 2 == 0) return TickAction::Poll;
    if (counter >= 30 && counter <= 95 && counter % 5 == 0) return TickAction::Poll;
    if (counter >= 100 && counter <= 240 && counter % 10 == 0) return TickAction::Poll;
    return TickAction::None;
}

Tick AdvanceClock(WaitClock& clock) {
    Tick tick;
    tick.frame = clock.ImgCount;
    clock.ImgCount = static_cast<int16_t>(clock.ImgCount + 1);
    if (clock.ImgCount >= kFrameCount) {
        clock.ImgCount = 0;
        clock.Counter = static_cast<int16_t>(clock.Counter + 1);
    }
    if (clock.unwatched && clock.Counter == kTimeoutAt) clock.Counter = kTimeoutAt - kUnwatchedCycle;
    tick.action = ActionFor(clock.Counter);
    if (tick.action == TickAction::Relaunch) clock.Counter = static_cast<int16_t>(clock.Counter + 1);
    return tick;
}
