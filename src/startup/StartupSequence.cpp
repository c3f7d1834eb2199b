#include "StartupSequence.h"

#include "../protocol/LauncherName.h"
#include "../runtime/process/ExitCodes.h"

StartupEnd RunStartupSequence(StartupWorld& world) {
    Text launcherName = world.LauncherName();
    CharacterWidths widths = world.AnsiWidths();
    if (IsManifestSwitch(world.ArgumentText(), launcherName, widths)) return {StartupOutcome::ManifestMode};

    Text appFolder = world.AppFolder();
    CandidatePaths candidates = BuildCandidatePaths(appFolder, launcherName, widths);
    bool anyExists = false;
    for (const Text& path : candidates.path) {
        if (world.FileExists(path)) anyExists = true;  // every candidate is tested
    }
    if (!anyExists) return {StartupOutcome::NoCandidate, ExitCode::kFileNotFound};

    world.Pause(kStartupPauseMs);
    if (!world.LoadOwnerWindow()) return {StartupOutcome::Failed};

    switch (world.TakeInstanceLock()) {
    case InstanceLock::Taken:
        return {world.ShowWaitWindow() ? StartupOutcome::Waiting : StartupOutcome::Failed};
    case InstanceLock::Failed:
        // Never a waiting instance without the lock: each start would take
        // itself for the first one and relaunch itself again.
        return {StartupOutcome::InstanceLockFailed, world.ReportInstanceLockFailure()};
    case InstanceLock::Exists:
        break;
    }

    Text target;
    // Without a recognised prefix there is nothing this runner could run.
    if (!SelectTargetPath(launcherName, candidates, target))
        return {StartupOutcome::RunnerNoPrefix, ExitCode::kFileNotFound};
    // One runner per folder: two installers at once can break the installation.
    switch (world.TakeRunnerLock()) {
    case RunnerLock::Busy:
        return {StartupOutcome::RunnerBusy, ExitCode::kAlreadyRunning};
    case RunnerLock::Failed:
        // Not another runner's doing: 1618 would send the tool into retries that cannot help.
        return {StartupOutcome::RunnerLockFailed, ExitCode::OfFailure(world.RunnerLockError())};
    case RunnerLock::Taken:
        break;
    }
    unsigned long exitCode = world.FileExists(target) ? world.RunSetupAndWait(target) : ExitCode::kFileNotFound;
    // A window closed meanwhile leaves nobody to read the marker or delete it.
    if (world.WaitingInstanceExists()) world.WriteCompletionMarker();
    return {StartupOutcome::RunnerFinished, exitCode};
}
