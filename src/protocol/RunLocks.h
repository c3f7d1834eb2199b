#pragma once

// One setup run per folder. A start of its own (a double-click, a deployment
// tool) claims the folder's runner lock before its window shows, and holds it
// to its end; the runner it starts joins that claim. A start that finds the
// folder claimed ends at once: another start is at work there.
enum class RunnerLock {
    Taken,   // this process holds (or has joined) the folder's claim
    Busy,    // another start holds it (or one with more rights, which we may not open)
    Failed,  // the lock could not be made for another reason (another kind of object holds the name, ...)
};

// What creating the named mutex tells: whether a handle came back, and the
// error the call left.
RunnerLock RunnerLockFrom(bool created, unsigned long error);
// The same for the runner, whose waiting instance claimed the lock before it
// was started: a lock that exists is that claim while the waiting instance
// lives, since it has held the name from before the runner's start.
RunnerLock JoinedLockFrom(bool created, unsigned long error, bool waitingInstanceAlive);

// Where a loader's lock lives. Elevated and SYSTEM loaders meet in a private
// namespace that only processes with the Administrators group enabled and
// high integrity can create or open; a process with fewer rights can then
// neither take their lock first nor hold it. Where the system has no private
// namespaces (Windows XP, Wine), everyone meets under Global\.
enum class LockPlace { Global, Private, Failed };
// administrator: the Administrators group is enabled in the token;
// namespaces: the system can make boundary descriptors; namespaceError: why
// the private namespace could not be created or opened (0: it could).
LockPlace ChooseLockPlace(bool administrator, bool namespaces, unsigned long namespaceError);

// What taking the lock needs of the system, so that the flow can be tested
// against a fake.
class LockSystem {
public:
    virtual ~LockSystem() = default;
    // The Administrators group is enabled in the token (elevated, or SYSTEM).
    virtual bool RunsAsAdministrator() = 0;
    // Opens the administrators' private namespace, creating it first if need
    // be; namespaces: the system makes boundary descriptors. Returns why it
    // could not be opened (0: open).
    virtual unsigned long OpenAdminNamespace(bool& namespaces) = 0;
    // Creates (or opens) the folder's lock there; created: a handle came
    // back; returns the error the call left. The handle waits for KeepLock.
    virtual unsigned long CreateLock(bool inPrivateNamespace, bool& created) = 0;
    // Holds the lock last created to the process's end.
    virtual void KeepLock() = 0;
    // An elevated holder also holds the name under Global\, so that starts with
    // fewer rights defer to it; whoever else holds that name.
    virtual void HoldGlobalName() = 0;
};

struct LockTaking {
    LockPlace place;
    RunnerLock answer;
    unsigned long error;  // why it failed; 0 otherwise
};
// Chooses the lock's place, creates the lock there, reads the answer from
// answerFrom and keeps the lock when it is Taken. An elevated loader whose
// private namespace cannot be used creates nothing.
LockTaking TakeLockIn(LockSystem& system, RunnerLock (*answerFrom)(bool created, unsigned long error));

namespace RunLocks {

// The waiting instance's claim on its folder, held until the process ends.
RunnerLock TakeRunnerLock();
// The runner's share in its waiting instance's claim, held until it ends:
// the claim outlives a window closed while the setup program runs.
RunnerLock JoinRunnerLock();
// A message box naming the lock and why it could not be made (where somebody
// sees); returns the exit code for it.
unsigned long ReportRunnerLockFailure();
// Why the lock could not be made, after a failure.
unsigned long RunnerLockError();

}  // namespace RunLocks
