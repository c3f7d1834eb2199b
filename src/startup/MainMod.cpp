#include "MainMod.h"

#include "../binding/ModBinding.h"
#include "../manifest/ModManifest.h"
#include "../protocol/CompletionMarker.h"
#include "../protocol/LauncherName.h"
#include "../protocol/RunLocks.h"
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

constexpr long kShowNoActivate = 4;  // the setup program shows without taking the focus

class Win32Startup : public StartupWorld {
public:
    Text ArgumentText() override { return App::ArgumentText(); }
    Text AppFolder() override { return App::Path(); }
    Text LauncherName() override { return App::EXEName(); }
    CharacterWidths AnsiWidths() override { return App::AnsiWidths(); }
    bool FileExists(const Text& path) override { return ModShell::FileExists(path) != kFalse; }
    void Pause(unsigned milliseconds) override { Kernel::Sleep(milliseconds); }
    bool LoadOwnerWindow() override { return hw().Load(); }
    InstanceLock TakeInstanceLock() override { return RunLocks::TakeInstanceLock(); }
    unsigned long ReportInstanceLockFailure() override { return RunLocks::ReportInstanceLockFailure(); }
    RunnerLock TakeRunnerLock() override { return RunLocks::TakeRunnerLock(); }
    unsigned long RunnerLockError() override { return RunLocks::RunnerLockError(); }
    bool WaitingInstanceExists() override { return RunLocks::WaitingInstanceExists(); }
    bool ShowWaitWindow() override { return frmWait().Show(); }
    unsigned long RunSetupAndWait(const Text& target) override {
        App::ReleaseExecutable();  // only a waiting instance has a relaunch to guard
        UniqueFileHandle held;
        unsigned long exitCode = ModBinding::CheckTarget(target, held);
        // In its own folder, as a double-click starts it: setup programs find their files from there.
        if (exitCode == ExitCode::kSuccess)
            ModShell::ShellExecuteAndWait(hw().hWnd(), "open", target, "", FolderToOpen(App::Path()), kShowNoActivate,
                                          exitCode, &held);
        return exitCode;
    }
    void WriteCompletionMarker(const Text& appFolder) override { ::WriteCompletionMarker(appFolder); }
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
    // Until the waiting instance's relaunch, nobody may put another program
    // under our name: an elevated waiting instance would start it unasked.
    App::HoldExecutable(JoinPath(App::Path(), App::EXEName() + ".exe"));

    Win32Startup world;
    StartupEnd end = RunStartupSequence(world);
    switch (end.outcome) {
    case StartupOutcome::ManifestMode:
        ModManifest::RunManifestMode();
    case StartupOutcome::Waiting:
        return;
    case StartupOutcome::Failed:
        ReportUntrappedFailure();
    case StartupOutcome::NoCandidate:
    case StartupOutcome::InstanceLockFailed:
    case StartupOutcome::RunnerNoPrefix:
    case StartupOutcome::RunnerBusy:
    case StartupOutcome::RunnerLockFailed:
    case StartupOutcome::RunnerFinished:
        break;
    }
    App::EndProcess(end.exitCode);
}

}  // namespace MainMod
