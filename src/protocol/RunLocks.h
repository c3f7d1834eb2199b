#pragma once

enum class InstanceLock {
    Taken,   // this process is the waiting instance and holds the lock
    Exists,  // a waiting instance holds it: this process is a runner
    Failed,  // the lock could not be made at all (another kind of object holds the name, ...)
};

// The two named locks that keep one start to one setup run. The instance
// lock is held only by the waiting instance, the runner lock by the one
// runner of the loader's folder; each lives as long as its process.
namespace RunLocks {

InstanceLock TakeInstanceLock();
// A message box naming the lock object and why it could not be made; returns
// the error code it names.
unsigned long ReportInstanceLockFailure();
bool TakeRunnerLock();

bool WaitingInstanceExists();
bool RunnerAtWork();

}  // namespace RunLocks
