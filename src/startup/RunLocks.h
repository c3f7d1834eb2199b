#pragma once
#include "StartupSequence.h"

// The two named locks that keep one start to one setup run. The instance
// lock is held only by the waiting instance, the runner lock by the one
// runner of the loader's folder; each lives as long as its process.
namespace RunLocks {

InstanceLock TakeInstanceLock();
// A message box naming the lock object and why it could not be made.
void ReportInstanceLockFailure();
bool TakeRunnerLock();

bool WaitingInstanceExists();
bool RunnerAtWork();

}  // namespace RunLocks
