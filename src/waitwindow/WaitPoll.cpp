#include "WaitPoll.h"

#include "../runtime/process/ExitCodes.h"

bool ClosesAtPoll(const PollFacts& facts) {
    const MarkerState& marker = facts.marker;
    bool stale = facts.stale.present && marker.writeTime == facts.stale.writeTime;
    if (marker.present && !stale) return true;
    // Without a recognised prefix the runner ran nothing: the user closes the window, where one sees it.
    return facts.relaunchEnded && !facts.runnerAtWork && (facts.recognisedPrefix || facts.unwatched);
}

unsigned long RunnerEndWaitMs(CloseReason reason) {
    constexpr unsigned long kRunnerEndWaitMs = 5000;
    return reason == CloseReason::Poll ? kRunnerEndWaitMs : 0;
}

unsigned long WaitingExitCode(const WaitEnd& end) {
    if (end.reason == CloseReason::RelaunchFailed) return ExitCode::OfFailure(end.relaunchError);
    if (end.runnerEnded) return end.runnerCode;
    switch (end.reason) {
    case CloseReason::UserExit:
        return ExitCode::kUserExit;
    case CloseReason::Poll:  // done, by the marker, but its code never came
    case CloseReason::Timeout:
    case CloseReason::RelaunchFailed:
        break;
    }
    return ExitCode::kTimeout;
}

bool WaitsForRunner(const WaitEnd& end) {
    return end.reason == CloseReason::Timeout && end.runnerStarted && !end.runnerEnded;
}
