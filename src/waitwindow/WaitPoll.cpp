#include "WaitPoll.h"

bool ClosesAtPoll(const PollFacts& facts) {
    const MarkerState& marker = facts.marker;
    bool stale = facts.stale.present && marker.writeTime == facts.stale.writeTime;
    if (marker.present && !stale) return true;
    // Without a recognised prefix the runner ran nothing: the user closes the window.
    return facts.relaunchEnded && !facts.runnerAtWork && facts.recognisedPrefix;
}
