#include "TreeWait.h"

TreeWay ChooseTreeWay(bool wholeTreeAsked, bool jobMade, bool assigned) {
    return wholeTreeAsked && jobMade && assigned ? TreeWay::WholeTree : TreeWay::SetupOnly;
}

bool TreeEnded(const TreeFacts& facts) { return facts.zeroReported || facts.activeProcesses <= facts.ownMembers; }

uint32_t RestWaitMs(bool unwatched, uint64_t runnerAgeMs) {
    if (unwatched) return kNoLimit;
    return runnerAgeMs >= kRunnerReachesTimeoutMs ? 0 : static_cast<uint32_t>(kRunnerReachesTimeoutMs - runnerAgeMs);
}
