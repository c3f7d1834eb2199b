#include <gtest/gtest.h>

#include <vector>

#include "waitwindow/Schedule.h"

namespace {

constexpr int kLastTick = 1992;

// What each tick of a fresh clock does, ticks 1..1992 at index 1..1992.
std::vector<Tick> WalkAllTicks() {
    WaitClock clock;
    std::vector<Tick> ticks(1);
    for (int n = 1; n <= kLastTick; ++n) ticks.push_back(AdvanceClock(clock));
    return ticks;
}

std::vector<int> TicksWith(const std::vector<Tick>& ticks, TickAction action) {
    std::vector<int> found;
    for (size_t n = 1; n < ticks.size(); ++n)
        if (ticks[n].action == action) found.push_back(static_cast<int>(n));
    return found;
}

bool Polls(const std::vector<Tick>& ticks, int from, int to) {
    for (int n = from; n <= to; ++n)
        if (ticks[n].action != TickAction::Poll) return false;
    return true;
}

bool Idle(const std::vector<Tick>& ticks, int from, int to) {
    for (int n = from; n <= to; ++n)
        if (ticks[n].action != TickAction::None) return false;
    return true;
}

}  // namespace

TEST(WaitSchedule, RelaunchesOnceOnTickEightAndTimesOutOnTick1992) {
    std::vector<Tick> ticks = WalkAllTicks();
    EXPECT_EQ(TicksWith(ticks, TickAction::Relaunch), std::vector<int>{8});
    EXPECT_EQ(TicksWith(ticks, TickAction::Timeout), std::vector<int>{kLastTick});
    EXPECT_TRUE(Idle(ticks, 1, 7));
}

TEST(WaitSchedule, Polls375TimesFromTickNineToTick1919) {
    std::vector<int> polls = TicksWith(WalkAllTicks(), TickAction::Poll);
    ASSERT_EQ(polls.size(), 375u);
    EXPECT_EQ(polls.front(), 9);
    EXPECT_EQ(polls.back(), 1919);
}

TEST(WaitSchedule, PollWindowsGrowApartAsTheWaitGoesOn) {
    std::vector<Tick> ticks = WalkAllTicks();
    EXPECT_TRUE(Polls(ticks, 9, 79)) << "continuous polling";
    EXPECT_TRUE(Idle(ticks, 80, 87));
    EXPECT_TRUE(Polls(ticks, 88, 95)) << "every 4 s";
    EXPECT_TRUE(Idle(ticks, 96, 103));
    EXPECT_TRUE(Polls(ticks, 216, 223));
    EXPECT_TRUE(Idle(ticks, 224, 231));
    EXPECT_TRUE(Polls(ticks, 232, 239)) << "every 10 s";
    EXPECT_TRUE(Idle(ticks, 240, 271));
    EXPECT_TRUE(Polls(ticks, 752, 759));
    EXPECT_TRUE(Idle(ticks, 760, 791));
    EXPECT_TRUE(Polls(ticks, 792, 799)) << "every 20 s";
    EXPECT_TRUE(Idle(ticks, 800, 871));
    EXPECT_TRUE(Polls(ticks, 1912, 1919));
    EXPECT_TRUE(Idle(ticks, 1920, 1991));
}

TEST(WaitSchedule, TickNShowsFrameNMinusOneModEight) {
    std::vector<Tick> ticks = WalkAllTicks();
    for (int n = 1; n <= kLastTick; ++n) ASSERT_EQ(ticks[n].frame, (n - 1) % 8) << "tick " << n;
}

TEST(WaitSchedule, CounterTakesTheRelaunchStepThenFollowsTheCycles) {
    WaitClock clock;
    for (int n = 1; n <= 7; ++n) AdvanceClock(clock);
    EXPECT_EQ(clock.Counter, 0);
    AdvanceClock(clock);
    EXPECT_EQ(clock.Counter, 2) << "tick 8 reaches 1, relaunches and moves on";
    for (int n = 9; n <= kLastTick; ++n) {
        AdvanceClock(clock);
        ASSERT_EQ(clock.Counter, n / 8 + 1) << "tick " << n;
    }
    EXPECT_EQ(clock.Counter, kTimeoutAt);
}

TEST(WaitSchedule, ActionsByCounterValue) {
    EXPECT_EQ(ActionFor(0), TickAction::None);
    EXPECT_EQ(ActionFor(1), TickAction::Relaunch);
    for (int16_t c : {2, 10, 12, 28, 30, 35, 95, 100, 110, 240}) EXPECT_EQ(ActionFor(c), TickAction::Poll) << c;
    for (int16_t c : {11, 13, 29, 31, 96, 99, 105, 241, 249, 251, 32767, -1})
        EXPECT_EQ(ActionFor(c), TickAction::None) << c;
    EXPECT_EQ(ActionFor(250), TickAction::Timeout);
}

TEST(WaitSchedule, WhereNobodySeesTheLastPollCycleRepeatsInPlaceOfTheTimeout) {
    std::vector<Tick> watched = WalkAllTicks();
    WaitClock clock{0, 0, true};
    for (int n = 1; n < 4 * kLastTick; ++n)
        ASSERT_EQ(AdvanceClock(clock).action, n < kLastTick              ? watched[n].action
                                              : (n - kLastTick) % 80 < 8 ? TickAction::Poll
                                                                         : TickAction::None)
            << n;
}
