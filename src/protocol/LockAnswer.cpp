#include "RunLocks.h"

namespace {

constexpr unsigned long kErrorAccessDenied = 5;
constexpr unsigned long kErrorAlreadyExists = 183;

}  // namespace

// A lock we may not open is held all the same: by a process with more rights
// (an elevated waiting instance or runner).
InstanceLock InstanceLockFrom(bool created, unsigned long error) {
    if (!created) return error == kErrorAccessDenied ? InstanceLock::Exists : InstanceLock::Failed;
    return error == kErrorAlreadyExists ? InstanceLock::Exists : InstanceLock::Taken;
}

bool LockHeldFrom(bool opened, unsigned long error) { return opened || error == kErrorAccessDenied; }

RunnerLock RunnerLockFrom(bool created, unsigned long error) {
    if (!created) return error == kErrorAccessDenied ? RunnerLock::Busy : RunnerLock::Failed;
    return error == kErrorAlreadyExists ? RunnerLock::Busy : RunnerLock::Taken;
}
