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

// The folder's identity, read once: it names the folder however it was reached.
Text RunnerName() {
    static Text name;
    if (!name.empty()) return name;
    UniqueFileHandle folder(::CreateFileA(App::Path().c_str(), FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION information;
    // Some network servers give every file the index 0: that names no folder.
    if (folder.Valid() && ::GetFileInformationByHandle(folder.Get(), &information) &&
        (information.nFileIndexHigh | information.nFileIndexLow) != 0) {
        FolderIdentity identity;
        identity.volumeSerial = information.dwVolumeSerialNumber;
        identity.fileIndex = (static_cast<uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
        name = RunnerObjectName(identity);
    } else {
        name = RunnerObjectName(App::ExecutablePath());
    }
    return name;
}

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
