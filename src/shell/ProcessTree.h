#pragma once
#include <stdint.h>

#include "../protocol/TreeWait.h"
#include "../runtime/platform/UniqueHandle.h"
#include "../runtime/platform/Win32.h"

// The job that gathers a setup program and every process it or its
// descendants start, so that a WAIT run ends only with the whole install.
// The runner alone holds it, unnamed: no other program can open it by name.
// It limits nothing but lets a child that asks break away
// (JOB_OBJECT_LIMIT_BREAKAWAY_OK), and closing it ends nothing.
class SetupTree {
public:
    // Makes the job and its completion port when the whole tree is asked
    // for; otherwise (or where the system makes none) the run waits for the
    // setup program alone.
    explicit SetupTree(bool wholeTreeAsked);
    SetupTree(const SetupTree&) = delete;
    SetupTree& operator=(const SetupTree&) = delete;

    // Puts a process into the job before it runs its first instruction: the
    // setup program while it is suspended, or the runner itself
    // (runnerItself) before a shell start, whose children then join too.
    // A refused assignment leaves the run waiting for the setup program alone.
    TreeWay Join(HANDLE process, bool runnerItself);

    // Once the setup program has ended: returns when no process of the
    // tree is left but the runner, or where someone sees, at the waiting
    // window's timeout. Messages sent to this thread are answered meanwhile.
    // Returns at once when the run waits for the setup program alone.
    void WaitForRest();

    // The job's ActiveProcesses; 0 without a job.
    uint32_t ActiveProcesses() const;

private:
    bool asked_;
    TreeWay way_ = TreeWay::SetupOnly;
    uint32_t ownMembers_ = 0;
    DWORD made_;  // when the runner began its run, a moment after its creation
    UniqueKernelHandle job_, port_;
};
