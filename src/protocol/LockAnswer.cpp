#include "RunLocks.h"
#include "WaitingParent.h"

namespace {

constexpr unsigned long kErrorAccessDenied = 5;
constexpr unsigned long kErrorAlreadyExists = 183;

}  // namespace

// A lock we may not open is held all the same: by a process with more rights.
RunnerLock RunnerLockFrom(bool created, unsigned long error) {
    if (!created) return error == kErrorAccessDenied ? RunnerLock::Busy : RunnerLock::Failed;
    return error == kErrorAlreadyExists ? RunnerLock::Busy : RunnerLock::Taken;
}

RunnerLock JoinedLockFrom(bool created, unsigned long error, bool waitingInstanceAlive) {
    RunnerLock answer = RunnerLockFrom(created, error);
    return answer == RunnerLock::Busy && created && waitingInstanceAlive ? RunnerLock::Taken : answer;
}

LockPlace ChooseLockPlace(bool administrator, bool namespaces, unsigned long namespaceError) {
    if (!administrator || !namespaces) return LockPlace::Global;
    // Under Global\ anyone could take an elevated start's lock first.
    return namespaceError == 0 ? LockPlace::Private : LockPlace::Failed;
}

LockTaking TakeLockIn(LockSystem& system, RunnerLock (*answerFrom)(bool created, unsigned long error)) {
    bool administrator = system.RunsAsAdministrator();
    bool namespaces = false;
    unsigned long error = administrator ? system.OpenAdminNamespace(namespaces) : 0;
    LockPlace place = ChooseLockPlace(administrator, namespaces, error);
    if (place == LockPlace::Failed) return {place, RunnerLock::Failed, error};
    bool inPrivate = place == LockPlace::Private;
    bool created = false;
    error = system.CreateLock(inPrivate, created);
    RunnerLock answer = answerFrom(created, error);
    if (answer == RunnerLock::Taken) {
        system.KeepLock();
        if (inPrivate) system.HoldGlobalName();
    }
    return {place, answer, answer == RunnerLock::Failed ? error : 0};
}

bool StartedByWaitingInstance(const ParentFacts& facts) {
    return facts.opened && facts.createdFirst && facts.sameImage && facts.sameFolder;
}
