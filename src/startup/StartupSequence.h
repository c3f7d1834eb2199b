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
    // Takes the instance lock, which only the waiting instance holds.
    virtual InstanceLock TakeInstanceLock() = 0;
    // Tells the user why the instance lock could not be taken; returns the
    // error code it names.
    virtual unsigned long ReportInstanceLockFailure() = 0;
    // Takes the folder's runner lock for the rest of the process.
    virtual RunnerLock TakeRunnerLock() = 0;
    // Why the runner lock could not be created, after a failure.
    virtual unsigned long RunnerLockError() = 0;
    // True while a waiting instance holds its lock.
    virtual bool WaitingInstanceExists() = 0;
    // Shows the waiting window modeless; false when that failed.
    virtual bool ShowWaitWindow() = 0;
    // Starts the setup program through the shell, owned by the hidden
    // window, and returns when its process has ended: with its exit code, or
    // with the shell's error code when it could not be started.
    virtual unsigned long RunSetupAndWait(const Text& target) = 0;
    // Leaves the marker in the loader's own folder.
    virtual void WriteCompletionMarker() = 0;
};

enum class StartupOutcome {
    ManifestMode,        // the argument text is the manifest switch; nothing else ran
    NoCandidate,         // no setup program beside the loader: end silently
    Waiting,             // the waiting window is up; the process lives in its events
    RunnerNoPrefix,      // runner with an unrecognised name: ends without a marker
    RunnerBusy,          // another runner of this folder is at work: ends starting nothing
    RunnerLockFailed,    // the runner lock could not be made: ends starting nothing, with the error
    RunnerFinished,      // runner done; marker written (or attempted) if a waiting instance was left
    InstanceLockFailed,  // the cause has been shown; nothing was started
    Failed,              // the owner or waiting window could not be created
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
