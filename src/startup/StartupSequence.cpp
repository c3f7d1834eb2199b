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

    Text target;
    bool recognised = SelectTargetPath(launcherName, candidates, target);
    if (!world.StartedByWaitingInstance()) {
        // One setup run per folder: two installers at once can break the
        // installation. A name that selects nothing claims nothing: it runs nothing.
        switch (recognised ? world.TakeRunnerLock() : RunnerLock::Taken) {
        case RunnerLock::Busy:
            return {StartupOutcome::Busy, ExitCode::kAlreadyRunning};
        case RunnerLock::Failed:
            // Never a window without the claim: it would run a second setup beside the first.
            return {StartupOutcome::LockFailed, world.ReportRunnerLockFailure()};
        case RunnerLock::Taken:
            break;
        }
        return {world.ShowWaitWindow() ? StartupOutcome::Waiting : StartupOutcome::Failed};
    }

    // Without a recognised prefix there is nothing this runner could run.
    if (!recognised) return {StartupOutcome::RunnerNoPrefix, ExitCode::kFileNotFound};
    switch (world.JoinRunnerLock()) {
    case RunnerLock::Busy:
        return {StartupOutcome::Busy, ExitCode::kAlreadyRunning};
    case RunnerLock::Failed:
        // Not another runner's doing: 1618 would send the tool into retries that cannot help.
        return {StartupOutcome::RunnerLockFailed, ExitCode::OfFailure(world.RunnerLockError())};
    case RunnerLock::Taken:
        break;
    }
    bool wholeTree = WaitsForWholeTree(launcherName);
    unsigned long exitCode =
        world.FileExists(target) ? world.RunSetupAndWait(target, wholeTree) : ExitCode::kFileNotFound;
    // A window closed meanwhile leaves nobody to read the marker or delete it.
    if (world.WaitingInstanceExists()) world.WriteCompletionMarker();
    return {StartupOutcome::RunnerFinished, exitCode};
}
