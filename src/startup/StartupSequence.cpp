#include "StartupSequence.h"

#include "LauncherName.h"

StartupOutcome RunStartupSequence(StartupWorld& world) {
    Text launcherName = world.LauncherName();
    if (IsManifestSwitch(world.ArgumentText(), launcherName)) return StartupOutcome::ManifestMode;

    Text appFolder = world.AppFolder();
    CandidatePaths candidates = BuildCandidatePaths(appFolder, launcherName);
    bool anyExists = false;
    for (const Text& path : candidates.path) {
        if (world.FileExists(path)) anyExists = true;  // every candidate is tested
    }
    if (!anyExists) return StartupOutcome::NoCandidate;

    world.Pause(kStartupPauseMs);
    if (!world.LoadOwnerWindow()) return StartupOutcome::Failed;

    if (!world.PreviousInstance()) {
        return world.ShowWaitWindow() ? StartupOutcome::Waiting : StartupOutcome::Failed;
    }

    Text target;
    if (!SelectTargetPath(launcherName, candidates, target)) return StartupOutcome::RunnerNoPrefix;
    if (world.FileExists(target)) world.RunSetupAndWait(target);
    world.WriteCompletionMarker(appFolder);
    return StartupOutcome::RunnerFinished;
}
