#include "RunLocks.h"

#include "../runtime/files/HeldFile.h"
#include "../runtime/platform/Err.h"
#include "../runtime/platform/LazyFunction.h"
#include "../runtime/platform/UniqueHandle.h"
#include "../runtime/platform/WideText.h"
#include "../runtime/process/App.h"
#include "../runtime/process/ExitCodes.h"
#include "../runtime/text/ProcessText.h"
#include "WaitingParent.h"

namespace {

// Held until the process ends, so that later starts see them.
UniqueKernelHandle g_runnerLock;
// An elevated loader's hold on the name under Global\ as well, so that the
// starts with fewer rights defer to it; it never waits on that name itself.
UniqueKernelHandle g_sharedLock;
UniqueKernelHandle g_namespace;
DWORD g_runnerLockError = 0;
LockPlace g_place = LockPlace::Global;  // where the lock was taken, for the report

LazyFunction<BOOL(WINAPI*)(HANDLE, PSID, PBOOL)> g_checkTokenMembership("advapi32.dll", "CheckTokenMembership");
LazyFunction<HANDLE(WINAPI*)(LPCWSTR, ULONG)> g_createBoundary("kernel32.dll", "CreateBoundaryDescriptorW");
LazyFunction<BOOL(WINAPI*)(HANDLE*, PSID)> g_addSid("kernel32.dll", "AddSIDToBoundaryDescriptor");
LazyFunction<BOOL(WINAPI*)(HANDLE*, PSID)> g_addLabel("kernel32.dll", "AddIntegrityLabelToBoundaryDescriptor");
LazyFunction<VOID(WINAPI*)(HANDLE)> g_deleteBoundary("kernel32.dll", "DeleteBoundaryDescriptor");
LazyFunction<HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LPVOID, LPCWSTR)> g_createNamespace("kernel32.dll",
                                                                                        "CreatePrivateNamespaceW");
LazyFunction<HANDLE(WINAPI*)(LPVOID, LPCWSTR)> g_openNamespace("kernel32.dll", "OpenPrivateNamespaceW");
LazyFunction<BOOL(WINAPI*)(LPCWSTR, DWORD, PSECURITY_DESCRIPTOR*, PULONG)> g_stringToDescriptor(
    "advapi32.dll", "ConvertStringSecurityDescriptorToSecurityDescriptorW");

constexpr DWORD kSddlRevision = 1;  // SDDL_REVISION_1

// A well-known SID of one sub-authority below authority, on the heap.
struct Sid {
    Sid(BYTE authority, DWORD first, DWORD second = 0) {
        SID_IDENTIFIER_AUTHORITY id = {{0, 0, 0, 0, 0, authority}};
        if (!::AllocateAndInitializeSid(&id, second ? 2 : 1, first, second, 0, 0, 0, 0, 0, 0, &sid)) sid = nullptr;
    }
    ~Sid() {
        if (sid) ::FreeSid(sid);
    }
    Sid(const Sid&) = delete;
    Sid& operator=(const Sid&) = delete;
    PSID sid = nullptr;
};

// BUILTIN\Administrators, enabled in this token: an elevated administrator,
// or SYSTEM.
bool RunsAsAdministrator() {
    auto checkTokenMembership = g_checkTokenMembership.Get();
    Sid administrators(5, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS);
    BOOL member = FALSE;
    return checkTokenMembership && administrators.sid && checkTokenMembership(nullptr, administrators.sid, &member) &&
           member;
}

// The namespace whose boundary is the Administrators group at high
// integrity, open to SYSTEM and Administrators alone. Where the system makes
// no boundary descriptor (Wine's is a stub, and its next call one that ends
// the process), nothing else is tried: supported stays false.
unsigned long OpenAdminNamespace(bool& supported) {
    auto createBoundary = g_createBoundary.Get();
    WideText alias{Text(kPrivateNamespaceAlias)};
    HANDLE boundary = createBoundary ? createBoundary(alias.c_str(), 0) : nullptr;
    supported = boundary != nullptr;
    if (!supported) return 0;
    auto addSid = g_addSid.Get();
    auto addLabel = g_addLabel.Get();  // Windows 7 on: without it the group alone bounds it
    auto createNamespace = g_createNamespace.Get();
    auto openNamespace = g_openNamespace.Get();
    auto stringToDescriptor = g_stringToDescriptor.Get();
    Sid administrators(5, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS);
    Sid high(16, SECURITY_MANDATORY_HIGH_RID);
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, nullptr, FALSE};
    DWORD error = ERROR_PROC_NOT_FOUND;
    if (addSid && createNamespace && openNamespace && stringToDescriptor && administrators.sid && high.sid &&
        addSid(&boundary, administrators.sid) && (!addLabel || addLabel(&boundary, high.sid)) &&
        stringToDescriptor(L"D:P(A;;GA;;;SY)(A;;GA;;;BA)", kSddlRevision, &attributes.lpSecurityDescriptor, nullptr)) {
        // The last holder may close it between a create that finds it and the open.
        for (int attempt = 0; attempt < 3 && !g_namespace.Valid(); ++attempt) {
            g_namespace.Reset(createNamespace(&attributes, boundary, alias.c_str()));
            error = g_namespace.Valid() ? 0 : ::GetLastError();
            if (error == ERROR_ALREADY_EXISTS) g_namespace.Reset(openNamespace(boundary, alias.c_str()));
            if (g_namespace.Valid()) error = 0;
        }
        ::LocalFree(attributes.lpSecurityDescriptor);
    } else if (::GetLastError()) {
        error = ::GetLastError();
    }
    if (auto deleteBoundary = g_deleteBoundary.Get()) deleteBoundary(boundary);
    return error;
}

// The folder's identity, read from the held folder, or from one open for its
// attributes where another process holds it sharing nothing: it names the
// folder however it was reached, and whoever holds it. Only a folder whose
// identity cannot be read falls back to the hash of its long path.
Text RunnerName(bool inPrivateNamespace) {
    FolderIdentity identity;
    HANDLE folder = App::KnownFolder();
    if (folder != INVALID_HANDLE_VALUE && ReadFileIdentity(folder, identity))
        return RunnerObjectName(identity, inPrivateNamespace);
    return RunnerObjectName(App::ExecutablePath(), inPrivateNamespace);
}

// The system's side of taking the lock; the lock it creates closes with it
// unless kept.
class Win32LockSystem : public LockSystem {
public:
    bool RunsAsAdministrator() override { return ::RunsAsAdministrator(); }
    unsigned long OpenAdminNamespace(bool& namespaces) override { return ::OpenAdminNamespace(namespaces); }
    unsigned long CreateLock(bool inPrivateNamespace, bool& created) override {
        lock_.Reset(::CreateMutexA(nullptr, FALSE, RunnerName(inPrivateNamespace).c_str()));
        DWORD error = ::GetLastError();
        created = lock_.Valid();
        return error;
    }
    void KeepLock() override { g_runnerLock.Reset(lock_.Release()); }
    void HoldGlobalName() override { g_sharedLock.Reset(::CreateMutexA(nullptr, FALSE, RunnerName(false).c_str())); }

private:
    UniqueKernelHandle lock_;
};

RunnerLock TakeWhereItLives(RunnerLock (*answerFrom)(bool created, unsigned long error)) {
    Win32LockSystem system;
    LockTaking taking = TakeLockIn(system, answerFrom);
    g_place = taking.place;
    g_runnerLockError = taking.error;
    return taking.answer;
}

}  // namespace

namespace RunLocks {

RunnerLock TakeRunnerLock() { return TakeWhereItLives(RunnerLockFrom); }

RunnerLock JoinRunnerLock() {
    // Asked after the lock is made: alive then, it held the name throughout.
    return TakeWhereItLives(
        [](bool created, unsigned long error) { return JoinedLockFrom(created, error, WaitingParent::Alive()); });
}

unsigned long ReportRunnerLockFailure() {
    bool inPrivate = g_place != LockPlace::Global;
    Err::RaiseSystem(g_runnerLockError, Text("The installation cannot start: its lock object \"") +
                                            RunnerName(inPrivate) + "\" cannot be created");
    App::ShowMessage(Err::Description());
    return ExitCode::OfFailure(Err::Number());
}

unsigned long RunnerLockError() { return g_runnerLockError; }

}  // namespace RunLocks
