#include "ProcessTree.h"

#include "../runtime/platform/LazyFunction.h"
#include "../runtime/process/Kernel.h"

namespace {

LazyFunction<decltype(&::PeekMessageA)> g_peekMessage("user32.dll", "PeekMessageA");

// The port wakes the wait at each process's end; between its messages,
// which the system does not guarantee, the count is read this often, and
// messages sent to the runner's hidden window are answered.
constexpr DWORD kSliceMs = 50;

uint64_t Ticks(const FILETIME& time) {  // 100 ns units
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// How long ago this process was created, in ms, up to the bound that
// matters. No 64-bit division: its helper from libgcc would crash this
// linker, met after the link-time optimisation.
uint64_t OwnAgeMs() {
    FILETIME created, exited, kernel, user, now;
    if (!::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
    ::GetSystemTimeAsFileTime(&now);
    uint64_t start = Ticks(created), at = Ticks(now);
    uint64_t age = at > start ? at - start : 0;
    if (age >= kRunnerReachesTimeoutMs * 10000) return kRunnerReachesTimeoutMs;
    return static_cast<uint32_t>(age >> 4) / 625u;  // 10000 = 16 x 625; below 2^33 ticks here
}

}  // namespace

SetupTree::SetupTree(bool wholeTreeAsked) : asked_(wholeTreeAsked) {
    if (!asked_) return;
    job_.Reset(::CreateJobObjectA(nullptr, nullptr));
    if (!job_.Valid()) return;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_BREAKAWAY_OK;
    port_.Reset(::CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1));
    JOBOBJECT_ASSOCIATE_COMPLETION_PORT association = {job_.Get(), port_.Get()};
    bool set = ::SetInformationJobObject(job_.Get(), JobObjectExtendedLimitInformation, &limits, sizeof limits);
    // Without the port the count alone tells the end.
    if (port_.Valid())
        ::SetInformationJobObject(job_.Get(), JobObjectAssociateCompletionPortInformation, &association,
                                  sizeof association);
    // A job that would refuse a breakaway is no job to put a setup program in.
    if (!set) job_.Reset();
}

TreeWay SetupTree::Join(HANDLE process, bool runnerItself) {
    bool assigned = job_.Valid() && ::AssignProcessToJobObject(job_.Get(), process);
    way_ = ChooseTreeWay(asked_, job_.Valid(), assigned);
    if (way_ == TreeWay::WholeTree && runnerItself) ownMembers_ = 1;
    return way_;
}

uint32_t SetupTree::ActiveProcesses() const {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
    if (!job_.Valid() || !::QueryInformationJobObject(job_.Get(), JobObjectBasicAccountingInformation, &accounting,
                                                      sizeof accounting, nullptr))
        return 0;
    return accounting.ActiveProcesses;
}

void SetupTree::WaitForRest() {
    if (way_ != TreeWay::WholeTree) return;
    uint32_t limit = RestWaitMs(!Kernel::WindowStationVisible(), OwnAgeMs());
    DWORD start = ::GetTickCount();
    auto peekMessage = g_peekMessage.Get();
    TreeFacts facts;
    facts.ownMembers = ownMembers_;
    for (;;) {
        MSG message;
        if (peekMessage) peekMessage(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        facts.activeProcesses = ActiveProcesses();
        if (TreeEnded(facts)) return;
        DWORD spent = ::GetTickCount() - start;
        if (limit != kNoLimit && spent >= limit) return;
        DWORD slice = limit != kNoLimit && limit - spent < kSliceMs ? limit - spent : kSliceMs;
        DWORD what = 0;
        ULONG_PTR key = 0;
        LPOVERLAPPED detail = nullptr;
        if (!port_.Valid()) {
            ::Sleep(slice);
        } else if (::GetQueuedCompletionStatus(port_.Get(), &what, &key, &detail, slice) &&
                   what == JOB_OBJECT_MSG_ACTIVE_PROCESS_ZERO) {
            facts.zeroReported = true;
        }
    }
}
