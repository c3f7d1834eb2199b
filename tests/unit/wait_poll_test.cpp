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
    facts.recognisedPrefix = true;
    facts.relaunchEnded = false;
    EXPECT_FALSE(ClosesAtPoll(facts)) << "before the relaunched process is up, no runner is at work either";
}

TEST(WaitPoll, TheWaitingInstanceEndsWithItsRunnersCodeOnceThatHasEnded) {
    struct Case {
        CloseReason reason;
        bool runnerEnded;
        unsigned long expected;
    } cases[] = {
        {CloseReason::Poll, true, 3010},         {CloseReason::UserExit, true, 3010},
        {CloseReason::Timeout, true, 3010},      {CloseReason::UserExit, false, 1602},
        {CloseReason::Timeout, false, 1460},     {CloseReason::Poll, false, 1460},
        {CloseReason::RelaunchFailed, false, 2},
    };
    for (const Case& c : cases) {
        WaitEnd end;
        end.reason = c.reason;
        end.runnerEnded = c.runnerEnded;
        end.runnerCode = 3010;
        end.relaunchError = 2;
        EXPECT_EQ(WaitingExitCode(end), c.expected) << static_cast<int>(c.reason) << " " << c.runnerEnded;
    }
}
