#include "RunLocks.h"

#include "../runtime/platform/Err.h"
#include "../runtime/platform/LazyFunction.h"
#include "../runtime/platform/UniqueHandle.h"
#include "../runtime/platform/WideText.h"
#include "../runtime/process/App.h"
#include "../runtime/process/ExitCodes.h"
#include "../runtime/text/AnsiPath.h"
#include "../runtime/text/ProcessText.h"
#include "OwnFolder.h"

namespace {

// Held until the process ends, so that later starts see it.
UniqueKernelHandle g_instanceLock;
UniqueKernelHandle g_runnerLock;
DWORD g_instanceLockError = 0;
DWORD g_runnerLockError = 0;

// Named from the held file's final path, so that a start through a link, a
// subst or mapped drive or a short name meets the runner that its relaunch
// starts by that path; else from the long path as started.
Text InstanceName() {
    Text finalPath = App::FinalPath();
    return InstanceObjectName(finalPath.empty() ? App::ExecutablePath() : WithoutLongPathPrefix(finalPath));
}

// FILE_ID_INFO, which the XP-level headers lack: the volume and the 128-bit
// file id, low byte first.
struct FileIdInformation {
    ULONGLONG volumeSerial;
    BYTE fileId[16];
};
constexpr int kFileIdInfoClass = 18;  // FileIdInfo, from Windows 8 and Server 2012 on
LazyFunction<BOOL(WINAPI*)(HANDLE, int, void*, DWORD)> g_fileInformationEx("kernel32.dll",
                                                                           "GetFileInformationByHandleEx");

// The whole 128-bit id where the system and the file system tell it.
bool ReadFileId(HANDLE folder, FolderIdentity& identity) {
    auto fileInformationEx = g_fileInformationEx.Get();
    FileIdInformation information = {};
    if (!fileInformationEx || !fileInformationEx(folder, kFileIdInfoClass, &information, sizeof information))
        return false;
    identity.volumeSerial = information.volumeSerial;
    for (int i = 7; i >= 0; --i) {
        identity.fileIndex = (identity.fileIndex << 8) | information.fileId[i];
        identity.fileIdHigh = (identity.fileIdHigh << 8) | information.fileId[i + 8];
    }
    return (identity.fileIndex | identity.fileIdHigh) != 0;
}

// The folder's identity, read once: it names the folder however it was reached.
Text RunnerName() {
    static Text name;
    if (!name.empty()) return name;
    OwnFolder own = OwnFolderNow();
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    WideText wide(FolderToOpen(own.path));
    UniqueFileHandle folder(own.byFinalPath
                                ? ::CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES, share, nullptr, OPEN_EXISTING,
                                                FILE_FLAG_BACKUP_SEMANTICS, nullptr)
                                : ::CreateFileA(FolderToOpen(own.path).c_str(), FILE_READ_ATTRIBUTES, share, nullptr,
                                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    FolderIdentity identity;
    BY_HANDLE_FILE_INFORMATION information;
    // Some network servers give every file the index 0: that names no folder.
    if (folder.Valid() && ReadFileId(folder.Get(), identity)) {
        name = RunnerObjectName(identity);
    } else if (folder.Valid() && ::GetFileInformationByHandle(folder.Get(), &information) &&
               (information.nFileIndexHigh | information.nFileIndexLow) != 0) {
        identity = FolderIdentity();
        identity.volumeSerial = information.dwVolumeSerialNumber;
        identity.fileIndex = (static_cast<uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
        name = RunnerObjectName(identity);
    } else {
        name = RunnerObjectName(App::ExecutablePath());
    }
    return name;
}

// True while some process holds a mutex of that name.
bool Held(const Text& name) {
    UniqueKernelHandle probe(::OpenMutexA(SYNCHRONIZE, FALSE, name.c_str()));
    return LockHeldFrom(probe.Valid(), ::GetLastError());
}

}  // namespace

namespace RunLocks {

InstanceLock TakeInstanceLock() {
    // Named before the call: freeing a temporary could change the error it leaves.
    Text name = InstanceName();
    UniqueKernelHandle lock(::CreateMutexA(nullptr, FALSE, name.c_str()));
    DWORD error = ::GetLastError();
    InstanceLock answer = InstanceLockFrom(lock.Valid(), error);
    if (answer == InstanceLock::Failed) g_instanceLockError = error;
    // A runner lets go at once: the lock must vanish with the waiting instance.
    if (answer == InstanceLock::Taken) g_instanceLock.Reset(lock.Release());
    return answer;
}

void ReleaseInstanceLock() { g_instanceLock.Reset(); }

unsigned long ReportInstanceLockFailure() {
    Err::RaiseSystem(g_instanceLockError, Text("The installation cannot start: its lock object \"") + InstanceName() +
                                              "\" cannot be created");
    App::ShowMessage(Err::Description());
    return ExitCode::OfFailure(Err::Number());
}

RunnerLock TakeRunnerLock() {
    Text name = RunnerName();
    UniqueKernelHandle lock(::CreateMutexA(nullptr, FALSE, name.c_str()));
    DWORD error = ::GetLastError();
    RunnerLock answer = RunnerLockFrom(lock.Valid(), error);
    if (answer == RunnerLock::Failed) g_runnerLockError = error;
    if (answer == RunnerLock::Taken) g_runnerLock.Reset(lock.Release());
    return answer;
}

unsigned long RunnerLockError() { return g_runnerLockError; }

bool WaitingInstanceExists() { return Held(InstanceName()); }
bool RunnerAtWork() { return Held(RunnerName()); }

}  // namespace RunLocks
