#include "RunLocks.h"

#include "../runtime/App.h"
#include "../runtime/Err.h"
#include "../runtime/ExitCodes.h"
#include "../runtime/ProcessText.h"
#include "../runtime/UniqueHandle.h"

namespace {

// Held until the process ends, so that later starts see it.
UniqueKernelHandle g_instanceLock;
UniqueKernelHandle g_runnerLock;
DWORD g_instanceLockError = 0;

Text InstanceName() { return InstanceObjectName(App::ExecutablePath()); }
Text RunnerName() { return RunnerObjectName(App::ExecutablePath()); }

// True while some process holds a mutex of that name. A name we may not open
// is held by somebody all the same.
bool Held(const Text& name) {
    UniqueKernelHandle probe(::OpenMutexA(SYNCHRONIZE, FALSE, name.c_str()));
    return probe.Valid() || ::GetLastError() == ERROR_ACCESS_DENIED;
}

}  // namespace

namespace RunLocks {

InstanceLock TakeInstanceLock() {
    // Named before the call: freeing a temporary could change the error it leaves.
    Text name = InstanceName();
    UniqueKernelHandle lock(::CreateMutexA(nullptr, FALSE, name.c_str()));
    DWORD error = ::GetLastError();
    // A lock we may not open is held all the same: by a waiting instance
    // with more rights (elevated), whose runner this start becomes.
    if (!lock.Valid() && error == ERROR_ACCESS_DENIED) return InstanceLock::Exists;
    if (!lock.Valid()) {
        g_instanceLockError = error;
        return InstanceLock::Failed;
    }
    // A runner lets go at once: the lock must vanish with the waiting instance.
    if (error == ERROR_ALREADY_EXISTS) return InstanceLock::Exists;
    g_instanceLock.Reset(lock.Release());
    return InstanceLock::Taken;
}

unsigned long ReportInstanceLockFailure() {
    Err::RaiseSystem(g_instanceLockError, Text("The installation cannot start: its lock object \"") + InstanceName() +
                                              "\" cannot be created");
    App::ShowMessage(Err::Description());
    return ExitCode::OfFailure(Err::Number());
}

bool TakeRunnerLock() {
    Text name = RunnerName();
    UniqueKernelHandle lock(::CreateMutexA(nullptr, FALSE, name.c_str()));
    bool taken = lock.Valid() && ::GetLastError() != ERROR_ALREADY_EXISTS;
    if (taken) g_runnerLock.Reset(lock.Release());
    return taken;
}

bool WaitingInstanceExists() { return Held(InstanceName()); }
bool RunnerAtWork() { return Held(RunnerName()); }

}  // namespace RunLocks
