#pragma once

enum class InstanceLock {
    Taken,   // this process is the waiting instance and holds the lock
    Exists,  // a waiting instance holds it: this process is a runner
    Failed,  // the lock could not be made at all (another kind of object holds the name, ...)
};

enum class RunnerLock {
    Taken,   // this process is the folder's one runner
    Busy,    // another runner holds it (or one with more rights, which we may not open)
    Failed,  // the lock could not be made for another reason (another kind of object holds the name, ...)
};

// What creating a named mutex tells: whether a handle came back, and the
// error the call left.
InstanceLock InstanceLockFrom(bool created, unsigned long error);
RunnerLock RunnerLockFrom(bool created, unsigned long error);
// What opening one tells: whether somebody holds it.
bool LockHeldFrom(bool opened, unsigned long error);

// The two named locks that keep one start to one setup run. The instance
// lock is held only by the waiting instance, the runner lock by the one
// runner of the loader's folder; each lives as long as its process.
namespace RunLocks {

InstanceLock TakeInstanceLock();
// Lets go of the instance lock before the process ends: a later start then
// waits in a window of its own, and no runner writes a marker for this one.
void ReleaseInstanceLock();
// A message box naming the lock object and why it could not be made; returns
// the error code it names.
unsigned long ReportInstanceLockFailure();
RunnerLock TakeRunnerLock();
// Why the runner lock could not be made, when TakeRunnerLock failed.
unsigned long RunnerLockError();

bool WaitingInstanceExists();
bool RunnerAtWork();

}  // namespace RunLocks
