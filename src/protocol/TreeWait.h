#pragma once
#include <stdint.h>

// The decisions of a run that waits for the whole process tree (the WAIT
// prefix), kept free of handles so that every case can be tested. The
// runner gathers the facts from its job.

// The waiting window's timeout after the window appears (tick 1992), and
// its relaunch after the same start (tick 8): the runner, created at the
// relaunch, reaches the window's timeout this long after its start (a little
// less, by its start-up pause, after it begins its run).
constexpr uint32_t kWindowTimeoutMs = 1992 * 250;
constexpr uint32_t kRelaunchAfterMs = 8 * 250;
constexpr uint32_t kRunnerReachesTimeoutMs = kWindowTimeoutMs - kRelaunchAfterMs;
constexpr uint32_t kNoLimit = 0xFFFFFFFF;  // INFINITE

// How the runner waits: for the tree, or (no job, or the assignment
// refused: Windows 7 and older inside another job answer ERROR_ACCESS_DENIED,
// since jobs nest only from Windows 8) for the setup program's process
// alone, as the other prefixes do. The runner never leaves a job it is in.
enum class TreeWay { WholeTree, SetupOnly };
TreeWay ChooseTreeWay(bool wholeTreeAsked, bool jobMade, bool assigned);

// What the runner knows of the tree once the setup program has ended.
struct TreeFacts {
    uint32_t activeProcesses = 0;  // the job's ActiveProcesses
    uint32_t ownMembers = 0;       // the runner itself, when it joined the job before a shell start
};
// True when no process of the tree is left but the runner itself. The count
// decides, and the port's messages only wake the wait: they are not
// guaranteed, and a job that the setup program nests in this one sends its
// own ACTIVE_PROCESS_ZERO here too.
bool TreeEnded(const TreeFacts& facts);

// How long the runner may still wait for the rest of the tree, in ms, once
// its setup program has ended: no limit where nobody sees (the deployment
// tool's own limit holds); where someone sees, until the window's timeout,
// when a long-lived program the install started (a tray icon, an app run at
// the end) must not keep the loader alive. runMs: since the runner began
// its run. The setup program's own code ends the run either way.
uint32_t RestWaitMs(bool unwatched, uint32_t runMs);
