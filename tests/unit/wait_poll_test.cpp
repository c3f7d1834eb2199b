#include <gtest/gtest.h>

#include "waitwindow/WaitPoll.h"

namespace {

PollFacts RunnerStillWorking() {
    PollFacts facts;
    facts.recognisedPrefix = true;
    facts.relaunchEnded = false;
    facts.runnerAtWork = true;
    return facts;
}

}  // namespace

TEST(WaitPoll, AFreshMarkerClosesButTheRememberedStaleOneDoesNot) {
    PollFacts facts = RunnerStillWorking();
    EXPECT_FALSE(ClosesAtPoll(facts));
    facts.marker = {true, 500};
    EXPECT_TRUE(ClosesAtPoll(facts));
    facts.stale = {true, 500};
    EXPECT_FALSE(ClosesAtPoll(facts)) << "the marker left from before the window came up";
    facts.marker.writeTime = 501;
    EXPECT_TRUE(ClosesAtPoll(facts)) << "a runner wrote it again";
}

TEST(WaitPoll, WithoutAMarkerOnlyAnEndedRelaunchWithNoRunnerAtWorkCloses) {
    PollFacts facts = RunnerStillWorking();
    facts.relaunchEnded = true;
    EXPECT_FALSE(ClosesAtPoll(facts)) << "the relaunch deferred to a runner still at work";
    facts.runnerAtWork = false;
    EXPECT_TRUE(ClosesAtPoll(facts)) << "the runner could leave no marker";
    facts.recognisedPrefix = false;
    EXPECT_FALSE(ClosesAtPoll(facts)) << "an unrecognised name ran nothing";
    facts.unwatched = true;
    EXPECT_TRUE(ClosesAtPoll(facts)) << "where nobody sees, nobody would close it";
    facts.recognisedPrefix = true;
    facts.relaunchEnded = false;
    EXPECT_FALSE(ClosesAtPoll(facts)) << "before the relaunched process is up, no runner is at work either";
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
    EXPECT_EQ(exitCode(CloseReason::Poll, false), 1460u);  // the marker came, the runner's code did not
    EXPECT_EQ(exitCode(CloseReason::RelaunchFailed, false), 2u);
    EXPECT_EQ(WaitingExitCode(WaitEnd{CloseReason::RelaunchFailed}), 31u)
        << "a failure with no code is still no success";
    EXPECT_EQ(RunnerEndWaitMs(CloseReason::Poll), 5000u) << "the marker came: the runner ends right after";
    auto waits = [](CloseReason reason, bool started, bool ended) {
        return WaitsForRunner({reason, 0, started, ended});
    };
    EXPECT_TRUE(waits(CloseReason::Timeout, true, false)) << "the setup program outlives the window, not the wait";
    EXPECT_FALSE(waits(CloseReason::Timeout, true, true));
    EXPECT_FALSE(waits(CloseReason::Timeout, false, false)) << "no process came back to wait for";
    for (CloseReason reason : {CloseReason::Poll, CloseReason::UserExit, CloseReason::RelaunchFailed})
        EXPECT_FALSE(waits(reason, true, false)) << static_cast<int>(reason);
}
