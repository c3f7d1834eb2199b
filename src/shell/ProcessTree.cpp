#include "ProcessTree.h"

#include "../runtime/process/Kernel.h"

namespace {

// The port wakes the wait at each process's end (and ACTIVE_PROCESS_ZERO);
// between its messages, which the system does not guarantee, the count is
// read this often, and messages sent to the runner's hidden window are answered.
constexpr DWORD kSliceMs = 50;

}  // namespace

SetupTree::SetupTree(bool wholeTreeAsked) : asked_(wholeTreeAsked), made_(::GetTickCount()) {
    if (!asked_) return;
    job_.Reset(::CreateJobObjectA(nullptr, nullptr));
    if (!job_.Valid()) return;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_BREAKAWAY_OK;
    port_.Reset(::CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1));
    JOBOBJECT_ASSOCIATE_COMPLETION_PORT association = {job_.Get(), port_.Get()};
    // A job that would refuse a breakaway is no job to put a setup program in;
    // one without its port could only be polled. Either way: no job.
    if (!port_.Valid() ||
        !::SetInformationJobObject(job_.Get(), JobObjectExtendedLimitInformation, &limits, sizeof limits) ||
        !::SetInformationJobObject(job_.Get(), JobObjectAssociateCompletionPortInformation, &association,
                                   sizeof association))
        job_.Reset();
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
    uint32_t limit = RestWaitMs(!Kernel::WindowStationVisible(), ::GetTickCount() - made_);
    DWORD start = ::GetTickCount();
    TreeFacts facts;
    facts.ownMembers = ownMembers_;
    for (;;) {
        MSG message;
        ::PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        facts.activeProcesses = ActiveProcesses();
        if (TreeEnded(facts)) return;
        DWORD spent = ::GetTickCount() - start;
        if (limit != kNoLimit && spent >= limit) return;
        DWORD slice = limit != kNoLimit && limit - spent < kSliceMs ? limit - spent : kSliceMs;
        DWORD what = 0;
        ULONG_PTR key = 0;
        LPOVERLAPPED detail = nullptr;
        ::GetQueuedCompletionStatus(port_.Get(), &what, &key, &detail, slice);
    }
}
