#include "TreeWait.h"

TreeWay ChooseTreeWay(bool wholeTreeAsked, bool jobMade, bool assigned) {
    return wholeTreeAsked && jobMade && assigned ? TreeWay::WholeTree : TreeWay::SetupOnly;
}

bool TreeEnded(const TreeFacts& facts) { return facts.activeProcesses <= facts.ownMembers; }

uint32_t RestWaitMs(bool unwatched, uint32_t runMs) {
    if (unwatched) return kNoLimit;
    return runMs >= kRunnerReachesTimeoutMs ? 0 : kRunnerReachesTimeoutMs - runMs;
}
