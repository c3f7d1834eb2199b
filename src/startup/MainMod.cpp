#include "MainMod.h"

#include "../binding/ModBinding.h"
#include "../manifest/ModManifest.h"
#include "../protocol/CompletionMarker.h"
#include "../protocol/LauncherName.h"
#include "../protocol/RunLocks.h"
#include "../protocol/WaitingParent.h"
#include "../runtime/platform/Err.h"
#include "../runtime/platform/LazyFunction.h"
#include "../runtime/process/App.h"
#include "../runtime/process/ExitCodes.h"
#include "../runtime/process/Kernel.h"
#include "../runtime/process/ProcessLocation.h"
#include "../runtime/text/ProcessText.h"
#include "../shell/ModShell.h"
#include "../shell/hw.h"
#include "../waitwindow/frmWait.h"
#include "StartupSequence.h"

namespace {

class Win32Startup : public StartupWorld {
public:
    Text ArgumentText() override { return App::ArgumentText(); }
    Text AppFolder() override { return App::Path(); }
    Text LauncherName() override { return App::EXEName(); }
    CharacterWidths AnsiWidths() override { return App::AnsiWidths(); }
    bool FileExists(const Text& path) override { return ModShell::FileExists(path) != kFalse; }
    void Pause(unsigned milliseconds) override { Kernel::Sleep(milliseconds); }
    bool LoadOwnerWindow() override { return hw().Load(); }
    bool StartedByWaitingInstance() override { return WaitingParent::StartedUs(); }
    RunnerLock TakeRunnerLock() override { return RunLocks::TakeRunnerLock(); }
    unsigned long ReportRunnerLockFailure() override { return RunLocks::ReportRunnerLockFailure(); }
    RunnerLock JoinRunnerLock() override { return RunLocks::JoinRunnerLock(); }
    unsigned long RunnerLockError() override { return RunLocks::RunnerLockError(); }
    bool WaitingInstanceExists() override { return WaitingParent::Alive(); }
    bool ShowWaitWindow() override { return frmWait().Show(); }
    unsigned long RunSetupAndWait(const Text& target, bool wholeTree) override {
        return ModBinding::RunSetupAndWait(target, hw().hWnd(), wholeTree);
    }
    void WriteCompletionMarker() override { ::WriteCompletionMarker(OwnFolderNow()); }
};

// A folder the ANSI calls cannot reach is worth a message only when something
// was asked of us: a setup program lies beside us, or the packaging switch was
// given. Otherwise the end stays as silent as any start with nothing to run.
[[noreturn]] void RefuseUnusableFolder() {
    ModulePath self;
    if (SplitModulePath(App::ExecutablePath(), self)) {
        CharacterWidths utf8(kCodePageUtf8, nullptr, 0);  // the path here is UTF-8
        bool asked = IsManifestSwitch(App::ArgumentText(), self.baseName, utf8);
        CandidatePaths candidates = BuildCandidatePaths(self.folder, self.baseName, utf8);
        for (const Text& path : candidates.path) asked = asked || Utf8FileExists(path);
        if (asked) {
            ShowUtf8Message(App::Refusal(), App::kTitle);
            App::EndProcess(App::RefusalCode());
        }
    }
    App::EndProcess(ExitCode::kFileNotFound);
}

}  // namespace

namespace MainMod {

void Main() {
    RestrictDllSearchToSystem();
    // A path the system cannot report whole names no setup program we could trust.
    if (!App::Initialise()) App::EndProcess(ExitCode::kBadPathname);
    if (!App::Refusal().empty()) RefuseUnusableFolder();
    // Held for the process's whole life: nobody may put another program under
    // our name, which an elevated waiting instance would start unasked, nor
    // move the folder where the runner finds its setup program and both
    // meet at the marker.
    App::HoldExecutable();
    // Before the pause: the parent may end meanwhile, and its id go to another process.
    WaitingParent::Capture();
    if (unsigned long refused = ModBinding::CheckOwnFile()) App::EndProcess(refused);

    Win32Startup world;
    StartupEnd end = RunStartupSequence(world);
    switch (end.outcome) {
    case StartupOutcome::ManifestMode:
        ModManifest::RunManifestMode();
    case StartupOutcome::Waiting:
        frmWait().RunUntilClosed();
        return;
    case StartupOutcome::Failed:
        ReportUntrappedFailure();
    case StartupOutcome::NoCandidate:
    case StartupOutcome::Busy:
    case StartupOutcome::LockFailed:
    case StartupOutcome::RunnerNoPrefix:
    case StartupOutcome::RunnerLockFailed:
    case StartupOutcome::RunnerFinished:
        break;
    }
    App::EndProcess(end.exitCode);
}

}  // namespace MainMod
