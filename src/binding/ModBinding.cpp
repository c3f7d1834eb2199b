#include "ModBinding.h"

#include "../protocol/LauncherName.h"
#include "../runtime/files/FileHash.h"
#include "../runtime/files/HeldFile.h"
#include "../runtime/platform/Err.h"
#include "../runtime/process/App.h"
#include "../runtime/process/ExitCodes.h"
#include "../runtime/process/ProcessImage.h"
#include "../runtime/process/ProcessLocation.h"
#include "../runtime/text/AnsiPath.h"
#include "../runtime/text/ProcessText.h"
#include "../shell/ModShell.h"
#include "../shell/ProcessTree.h"
#include "Binding.h"
#include "ElevationRequest.h"
#include "StartChoice.h"

namespace {

constexpr long kShowNoActivate = 4;  // the setup program shows without taking the focus

OwnBinding ReadOwnBinding(Binding& binding) {
    HMODULE self = ::GetModuleHandleA(nullptr);
    HRSRC found = ::FindResourceA(self, MAKEINTRESOURCEA(kBindingResourceName), kBindingResourceType);
    HGLOBAL loaded = found ? ::LoadResource(self, found) : nullptr;
    const char* data = loaded ? static_cast<const char*>(::LockResource(loaded)) : nullptr;
    Text record = data ? Text(data, ::SizeofResource(self, found)) : Text();
    return ClassifyBindingRecord(found != nullptr, record, binding);
}

// The setup program's file name as the binding keeps it: UTF-8, from the
// loader's long name, so that the copy's record reads the same under every
// code page.
bool OwnTargetFileName(Text& fileName) {
    ModulePath self;
    return SplitModulePath(App::ExecutablePath(), self) && TargetFileName(self.baseName, fileName);
}

// The setup program the runner would start, as the ANSI calls take it.
bool SelectTarget(Text& targetPath) {
    CandidatePaths candidates = BuildCandidatePaths(App::Path(), App::EXEName(), App::AnsiWidths());
    return SelectTargetPath(App::EXEName(), candidates, targetPath) && ModShell::FileExists(targetPath);
}

// A bound copy starts by final paths alone where the system tells them (Vista on).
StartChoice OwnStartChoice(bool bound) { return ChooseStart(bound, !App::FinalPath().empty(), App::FinalPathError()); }

// Opens the setup program at path (UTF-8 through the wide calls, or ANSI) into
// held, sharing only reads, and checks it through that handle against the
// record: 0 when it is the bound file, else says so and gives 577.
unsigned long CheckHeld(OwnBinding own, const Binding& bound, const Text& path, UniqueFileHandle& held,
                        bool wide = false) {
    Text fileName, sha256;
    bool matches = own == OwnBinding::Bound && OwnTargetFileName(fileName);
    // Checked and started through one open: a file swapped in between cannot start.
    if (matches) held = wide ? OpenWideSharingOnlyReads(path) : OpenSharingOnlyReads(path);
    matches = matches && held.Valid() && HashOpenFile(held.Get(), sha256) && MatchesBinding(bound, fileName, sha256);
    if (matches) return ExitCode::kSuccess;
    held.Reset();
    if (wide) {
        ShowUtf8Message(NotBoundFileMessage(StartableForm(path)), App::kTitle);
    } else {
        App::ShowMessage(NotBoundFileMessage(path));
    }
    return ExitCode::kBadImageHash;
}

// The bound setup program beside the held loader, in the folder its final
// path names, started by the final path of the file that was hashed.
unsigned long RunExact(OwnBinding own, const Binding& bound, UniqueFileHandle& held, SetupTree& tree) {
    ModulePath self, setup;
    Text fileName, target;
    if (!SplitModulePath(App::FinalPath(), self) || !TargetFileName(self.baseName, fileName))
        return ExitCode::kFileNotFound;
    unsigned long code = CheckHeld(own, bound, JoinPath(self.folder, fileName), held, true);
    if (code != ExitCode::kSuccess) return code;
    if (!FinalPathOf(held.Get(), target, code) || !SplitModulePath(target, setup)) return ExitCode::OfFailure(code);
    unsigned long error = 0;
    UniqueKernelHandle process(ModShell::StartExact(StartableForm(target), StartableForm(FolderToOpen(setup.folder)),
                                                    kShowNoActivate, held.Get(), error, &tree));
    if (error == ExitCode::kBadImageHash) ShowUtf8Message(NotBoundFileMessage(StartableForm(target)), App::kTitle);
    // Held, sharing only reads, until it ends: installers read their own file again for their payload.
    return ExactStartEnd(process.Valid(), error, process.Valid() ? ModShell::WaitForExitCode(process.Get(), 0) : 0);
}

}  // namespace

namespace ModBinding {

BindResult BindCopy(const Text& manifestBytes, Text& record, Text& line) {
    if (!AsksForElevation(manifestBytes)) return BindResult::Unbound;
    Binding binding;
    Text targetPath;
    if (!SelectTarget(targetPath) || !OwnTargetFileName(binding.fileName)) return BindResult::NoTarget;
    UniqueFileHandle file = OpenSharingOnlyReads(targetPath);
    if (!file.Valid() || !HashOpenFile(file.Get(), binding.sha256)) {
        Err::RaiseSystem(::GetLastError(), "Cannot read " + targetPath);
        return BindResult::Failed;
    }
    record = EncodeBinding(binding);
    line = "\r\n" + BoundCopyLine(targetPath.Mid(App::Path().length() + 1), binding.sha256);
    return BindResult::Bound;
}

bool CarriesBinding() {
    Binding ignored;
    return ReadOwnBinding(ignored) != OwnBinding::None;
}

unsigned long CheckOwnFile() {
    OwnFileFacts facts;
    facts.bound = CarriesBinding();
    facts.runsHeldFile = facts.bound && App::RunsHeldExecutable();
    facts.finalPathKnown = !App::FinalPath().empty();
    facts.finalPathError = App::FinalPathError();
    facts.folderError = App::HeldFolderError();
    facts.folderKnown = App::KnownFolder() != INVALID_HANDLE_VALUE;
    unsigned long end = OwnFileEnd(facts);
    if (end == ExitCode::kBadImageHash) {
        ShowUtf8Message(OwnFileUnconfirmedMessage(App::ExecutablePath()), App::kTitle);
    } else if (end != ExitCode::kSuccess) {
        Err::RaiseSystem(end, (facts.finalPathKnown ? "Cannot hold the folder of " : "Cannot tell the final path of ") +
                                  App::ExecutablePath());
        ShowUtf8Message(Err::Description(), App::kTitle);
    }
    return end;
}

HANDLE Relaunch(unsigned long& error) {
    // Bound or not, the runner is the file this process holds, by its final
    // path: a link retargeted since the start changes nothing.
    StartChoice choice = ChooseRelaunch(App::RunsHeldExecutable(), !App::FinalPath().empty(), App::FinalPathError());
    HANDLE process = nullptr;
    error = choice.exitCode;
    if (choice.way == StartWay::Shell) return ModShell::ShellOpen(App::ExecutablePath(), error);
    if (choice.way == StartWay::Exact)
        process =
            ModShell::StartExact(StartableForm(App::FinalPath()), "", SW_SHOWNORMAL, App::HeldExecutable(), error);
    if (error == ExitCode::kElevationRequired) {
        // Only the shell asks the user for the rights the file's manifest wants;
        // it cannot start suspended, so what it started is checked at once.
        process = ModShell::ShellOpen(StartableForm(App::FinalPath()), error);
        if (process && !ProcessImageIs(process, App::HeldExecutable())) {
            ::TerminateProcess(process, ExitCode::kBadImageHash);
            ::CloseHandle(process);
            process = nullptr;
            error = ExitCode::kBadImageHash;
        }
    }
    if (error == ExitCode::kBadImageHash)
        ShowUtf8Message(OwnFileUnconfirmedMessage(App::ExecutablePath()), App::kTitle);
    return process;
}

unsigned long RunSetupAndWait(const Text& targetPath, HWND owner, bool wholeTree) {
    Binding bound;
    OwnBinding own = ReadOwnBinding(bound);
    StartChoice choice = OwnStartChoice(own != OwnBinding::None);
    if (choice.way == StartWay::Refused) return choice.exitCode;
    UniqueFileHandle held;
    // Held to the runner's end: closing it ends nothing, and the count it
    // gives stays the truth until then.
    SetupTree tree(wholeTree);
    unsigned long exitCode = ExitCode::kSuccess;
    if (choice.way == StartWay::Exact) {
        exitCode = RunExact(own, bound, held, tree);
    } else {
        if (own != OwnBinding::None) exitCode = CheckHeld(own, bound, targetPath, held);
        // The shell gives no suspended start: the runner joins first, and the setup program with it.
        if (exitCode == ExitCode::kSuccess) tree.Join(::GetCurrentProcess(), true);
        // In its own folder, as a double-click starts it: setup programs find their files from there.
        if (exitCode == ExitCode::kSuccess)
            ModShell::ShellExecuteAndWait(owner, "open", targetPath, "", FolderToOpen(App::Path()), kShowNoActivate,
                                          exitCode, &held);
    }
    // The code stays the setup program's own, never a descendant's.
    tree.WaitForRest();
    return exitCode;
}

}  // namespace ModBinding
