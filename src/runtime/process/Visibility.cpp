#include "Visibility.h"

bool SomebodyCanSee(const StationFacts& facts) {
    if (facts.flagsKnown && !facts.stationVisible) return false;
    // Since NT 6 services alone run in session 0; users sign in from session 1 on.
    return facts.ntMajorVersion < 6 || !facts.sessionKnown || facts.sessionId != 0;
}
