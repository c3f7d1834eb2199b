#include <gtest/gtest.h>

#include "protocol/TreeWait.h"
#include "waitwindow/WaitPoll.h"

TEST(WaitPoll, ItsOwnRunnersEndClosesAtOnceAndAMarkerCountsOnlyWithoutOne) {
    // ownRunner: 0 none came back, 1 at work, 2 ended.
    const struct {
        int ownRunner;
        bool pollTick, marker, staleMarker, recognisedPrefix, unwatched, closes;
        const char* why;
    } rows[] = {
        {2, false, false, false, true, false, true, "ended: closes between polls too"},
        {1, true, true, false, true, false, false, "a marker while its runner is at work is not the end"},
        {1, true, false, false, true, true, false, "unseen, it still waits for its runner"},
        {2, false, false, false, true, true, true, "unseen: within a tick, not at the next 20 s poll"},
        {2, true, false, false, false, false, false, "an unrecognised name ran nothing: the user closes it"},
        {2, false, false, false, false, true, true, "where nobody sees, nobody would close it"},
        {0, true, true, false, true, false, true, "no runner of its own: the marker tells"},
        {0, false, true, false, true, false, false, "... at the schedule's polls only"},
        {0, true, true, true, true, false, false, "the marker left from before the window came up"},
        {0, true, false, false, true, true, false, "unseen, without a marker nothing tells the end"},
    };
    for (const auto& row : rows) {
        WaitFacts facts;
        facts.runnerStarted = row.ownRunner != 0;
        facts.runnerEnded = row.ownRunner == 2;
        facts.pollTick = row.pollTick;
        facts.marker = {row.marker, 500};
        facts.stale = {row.staleMarker, 500};
        facts.recognisedPrefix = row.recognisedPrefix;
        facts.unwatched = row.unwatched;
        EXPECT_EQ(ClosesNow(facts), row.closes) << row.why;
    }
    WaitFacts rewritten;
    rewritten.pollTick = true;
    rewritten.marker = {true, 501};
    rewritten.stale = {true, 500};
    EXPECT_TRUE(ClosesNow(rewritten)) << "a runner wrote the stale marker again";
}

TEST(WaitPoll, TheWaitingInstanceEndsWithItsRunnersCodeAndOutwaitsOnlyTheTimeout) {
    auto exitCode = [](CloseReason reason, bool runnerEnded) {
        WaitEnd end;
        end.reason = reason;
        end.runnerEnded = runnerEnded;
        end.runnerCode = 3010;
        end.relaunchError = 2;
        return WaitingExitCode(end);
    };
    for (CloseReason reason : {CloseReason::Poll, CloseReason::UserExit, CloseReason::Timeout})
        EXPECT_EQ(exitCode(reason, true), 3010u) << static_cast<int>(reason);
    EXPECT_EQ(exitCode(CloseReason::UserExit, false), 1602u);
    EXPECT_EQ(exitCode(CloseReason::Timeout, false), 1460u);
    EXPECT_EQ(exitCode(CloseReason::Poll, false), 1460u);  // the marker came from a runner the shell never gave back
    EXPECT_EQ(exitCode(CloseReason::RelaunchFailed, false), 2u);
    EXPECT_EQ(WaitingExitCode(WaitEnd{CloseReason::RelaunchFailed}), 31u)
        << "a failure with no code is still no success";
    auto waits = [](CloseReason reason, bool started, bool ended) {
        return WaitsForRunner({reason, 0, started, ended});
    };
    EXPECT_TRUE(waits(CloseReason::Timeout, true, false)) << "the setup program outlives the window, not the wait";
    EXPECT_FALSE(waits(CloseReason::Timeout, true, true));
    EXPECT_FALSE(waits(CloseReason::Timeout, false, false)) << "no process came back to wait for";
    for (CloseReason reason : {CloseReason::Poll, CloseReason::UserExit, CloseReason::RelaunchFailed})
        EXPECT_FALSE(waits(reason, true, false)) << static_cast<int>(reason);
}

TEST(TreeWait, TheJobDecidesTheEndAndASeenWindowsTimeoutBoundsTheRest) {
    EXPECT_EQ(ChooseTreeWay(true, true, true), TreeWay::WholeTree);
    EXPECT_EQ(ChooseTreeWay(true, true, false), TreeWay::SetupOnly) << "refused (Windows 7 in an outer job)";
    EXPECT_EQ(ChooseTreeWay(false, true, true), TreeWay::SetupOnly) << "the other prefixes";
    // Active processes (a nested job's too), and the runner's own membership after a shell start.
    const TreeFacts ended[] = {{1, 1}, {0, 0}}, going[] = {{2, 1}, {1, 0}};
    for (const TreeFacts& facts : ended) EXPECT_TRUE(TreeEnded(facts)) << facts.activeProcesses;
    for (const TreeFacts& facts : going) EXPECT_FALSE(TreeEnded(facts)) << facts.activeProcesses;
    EXPECT_EQ(RestWaitMs(true, 999999999), kNoLimit) << "unseen: no time limit";
    EXPECT_EQ(RestWaitMs(false, 495000), 1000u) << "the window's 498 s, 2 s after it made the runner";
    EXPECT_EQ(RestWaitMs(false, 999999), 0u) << "the setup program has ended: its code, at once";
}
