#include "StartupSequence.h"

#include "../protocol/LauncherName.h"

StartupOutcome RunStartupSequence(StartupWorld& world) {
    Text launcherName = world.LauncherName();
    CharacterWidths widths = world.AnsiWidths();
    if (IsManifestSwitch(world.ArgumentText(), launcherName, widths)) return StartupOutcome::ManifestMode;

    Text appFolder = world.AppFolder();
    CandidatePaths candidates = BuildCandidatePaths(appFolder, launcherName, widths);
    bool anyExists = false;
    for (const Text& path : candidates.path) {
        if (world.FileExists(path)) anyExists = true;  // every candidate is tested
    }
    if (!anyExists) return StartupOutcome::NoCandidate;

    world.Pause(kStartupPauseMs);
    if (!world.LoadOwnerWindow()) return StartupOutcome::Failed;

    switch (world.TakeInstanceLock()) {
    case InstanceLock::Taken:
        return world.ShowWaitWindow() ? StartupOutcome::Waiting : StartupOutcome::Failed;
    case InstanceLock::Failed:
        // Never a waiting instance without the lock: each start would take
        // itself for the first one and relaunch itself again.
        world.ReportInstanceLockFailure();
        return StartupOutcome::InstanceLockFailed;
    case InstanceLock::Exists:
        break;
    }

    Text target;
    if (!SelectTargetPath(launcherName, candidates, target)) return StartupOutcome::RunnerNoPrefix;
    // One runner per folder: two installers at once can break the installation.
    if (!world.TakeRunnerLock()) return StartupOutcome::RunnerBusy;
    if (world.FileExists(target)) world.RunSetupAndWait(target);
    // A window closed meanwhile leaves nobody to read the marker or delete it.
    if (world.WaitingInstanceExists()) world.WriteCompletionMarker(appFolder);
    return StartupOutcome::RunnerFinished;
}
