#include "WaitPoll.h"

#include "../runtime/process/ExitCodes.h"

bool ClosesNow(const WaitFacts& facts) {
    if (facts.runnerStarted) return facts.runnerEnded && (facts.recognisedPrefix || facts.unwatched);
    const MarkerState& marker = facts.marker;
    bool stale = facts.stale.present && marker.writeTime == facts.stale.writeTime;
    return facts.pollTick && marker.present && !stale;
}

unsigned long WaitingExitCode(const WaitEnd& end) {
    if (end.reason == CloseReason::RelaunchFailed) return ExitCode::OfFailure(end.relaunchError);
    if (end.runnerEnded) return end.runnerCode;
    switch (end.reason) {
    case CloseReason::UserExit:
        return ExitCode::kUserExit;
    case CloseReason::Poll:  // done, by the marker, from a runner the shell never gave back
    case CloseReason::Timeout:
    case CloseReason::RelaunchFailed:
        break;
    }
    return ExitCode::kTimeout;
}

bool WaitsForRunner(const WaitEnd& end) {
    return end.reason == CloseReason::Timeout && end.runnerStarted && !end.runnerEnded;
}
