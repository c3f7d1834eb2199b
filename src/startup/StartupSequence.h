#pragma once
#include "../protocol/RunLocks.h"
#include "../runtime/text/CodePage.h"
#include "../runtime/text/Text.h"

// What start-up needs from the outside world. The Win32 loader implements it
// with the real platform; tests implement it with a recording fake.
class StartupWorld {
public:
    virtual ~StartupWorld() = default;
    virtual Text ArgumentText() = 0;
    virtual Text AppFolder() = 0;
    virtual Text LauncherName() = 0;
    // How the ANSI code page splits the launcher name into characters.
    virtual CharacterWidths AnsiWidths() = 0;
    virtual bool FileExists(const Text& path) = 0;
    virtual void Pause(unsigned milliseconds) = 0;
    // Loads the hidden owner window; false when that failed.
    virtual bool LoadOwnerWindow() = 0;
    // True when a waiting instance of this loader started this process: it
    // is that instance's runner. Any other start waits in a window of its own.
    virtual bool StartedByWaitingInstance() = 0;
    // The waiting instance claims the folder for its run, for the rest of
    // the process.
    virtual RunnerLock TakeRunnerLock() = 0;
    // Tells the user why the claim could not be made (where somebody sees);
    // returns the exit code for it.
    virtual unsigned long ReportRunnerLockFailure() = 0;
    // The runner joins its waiting instance's claim.
    virtual RunnerLock JoinRunnerLock() = 0;
    // Why the runner could not join, after a failure.
    virtual unsigned long RunnerLockError() = 0;
    // True while the waiting instance that started this runner lives.
    virtual bool WaitingInstanceExists() = 0;
    // Shows the waiting window modeless; false when that failed.
    virtual bool ShowWaitWindow() = 0;
    // Starts the setup program through the shell, owned by the hidden
    // window, and returns when its process has ended: with its exit code, or
    // with the shell's error code when it could not be started. With
    // wholeTree, only once every process it started has ended too (or, where
    // someone sees, at the waiting window's timeout), with its own code still.
    virtual unsigned long RunSetupAndWait(const Text& target, bool wholeTree) = 0;
    // Leaves the marker in the loader's own folder.
    virtual void WriteCompletionMarker() = 0;
};

enum class StartupOutcome {
    ManifestMode,      // the argument text is the manifest switch; nothing else ran
    NoCandidate,       // no setup program beside the loader: end silently
    Waiting,           // the waiting window is up; the process lives in its events
    Busy,              // another start is at work on this folder: ends starting nothing
    LockFailed,        // the folder's lock could not be made; the cause has been shown
    RunnerNoPrefix,    // runner with an unrecognised name: ends without a marker
    RunnerLockFailed,  // the runner could not join its lock: ends starting nothing, with the error
    RunnerFinished,    // runner done; marker written (or attempted) if a waiting instance was left
    Failed,            // the owner or waiting window could not be created
};

struct StartupEnd {
    StartupOutcome outcome;
    // What the process ends with; the manifest mode, the waiting window and
    // an untrapped failure decide their own.
    unsigned long exitCode = 0;
};

constexpr unsigned kStartupPauseMs = 200;

// The start-up decisions, in order: the process ends (or, for the waiting
// role, goes on in the window's events) with the outcome returned.
StartupEnd RunStartupSequence(StartupWorld& world);
