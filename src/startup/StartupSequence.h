#pragma once
#include "../runtime/Text.h"

// What start-up needs from the outside world. The Win32 loader implements it
// with the real platform; tests implement it with a recording fake.
class StartupWorld {
public:
    virtual ~StartupWorld() = default;
    virtual Text ArgumentText() = 0;
    virtual Text AppFolder() = 0;
    virtual Text LauncherName() = 0;
    virtual bool FileExists(const Text& path) = 0;
    virtual void Pause(unsigned milliseconds) = 0;
    // Loads the hidden owner window; false when that failed.
    virtual bool LoadOwnerWindow() = 0;
    virtual bool PreviousInstance() = 0;
    // Shows the waiting window modeless; false when that failed.
    virtual bool ShowWaitWindow() = 0;
    // Starts the setup program through the shell, owned by the hidden
    // window, and returns when its process has ended.
    virtual void RunSetupAndWait(const Text& target) = 0;
    virtual void WriteCompletionMarker(const Text& appFolder) = 0;
};

enum class StartupOutcome {
    ManifestMode,     // the argument text is the manifest switch; nothing else ran
    NoCandidate,      // no setup program beside the loader: end silently
    Waiting,          // the waiting window is up; the process lives in its events
    RunnerNoPrefix,   // runner with an unrecognised name: ends without a marker
    RunnerFinished,   // runner done, marker written (or attempted)
    Failed,           // the owner or waiting window could not be created
};

constexpr unsigned kStartupPauseMs = 200;

// The start-up decisions, in order: the process ends (or, for the waiting
// role, goes on in the window's events) with the outcome returned.
StartupOutcome RunStartupSequence(StartupWorld& world);
