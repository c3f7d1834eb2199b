#include "ModBinding.h"

#include "../protocol/LauncherName.h"
#include "../runtime/files/FileHash.h"
#include "../runtime/platform/Err.h"
#include "../runtime/process/App.h"
#include "../runtime/process/ExitCodes.h"
#include "../runtime/text/ProcessText.h"
#include "../shell/ModShell.h"
#include "Binding.h"
#include "ElevationRequest.h"

namespace {

enum class OwnBinding { None, Bound, Unreadable };

OwnBinding ReadOwnBinding(Binding& binding) {
    HMODULE self = ::GetModuleHandleA(nullptr);
    HRSRC found = ::FindResourceA(self, MAKEINTRESOURCEA(kBindingResourceName), kBindingResourceType);
    if (!found) return OwnBinding::None;
    HGLOBAL loaded = ::LoadResource(self, found);
    const char* data = loaded ? static_cast<const char*>(::LockResource(loaded)) : nullptr;
    Text record = data ? Text(data, ::SizeofResource(self, found)) : Text();
    if (record == kUnboundRecord) return OwnBinding::None;
    return DecodeBinding(record, binding) ? OwnBinding::Bound : OwnBinding::Unreadable;
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

unsigned long CheckTarget(const Text& targetPath, UniqueFileHandle& held) {
    Binding bound;
    OwnBinding own = ReadOwnBinding(bound);
    if (own == OwnBinding::None) return ExitCode::kSuccess;
    Text fileName, sha256;
    bool matches = own == OwnBinding::Bound && OwnTargetFileName(fileName);
    // Checked and started through one open: a file swapped in between cannot start.
    if (matches) held = OpenSharingOnlyReads(targetPath);
    matches = matches && held.Valid() && HashOpenFile(held.Get(), sha256) && MatchesBinding(bound, fileName, sha256);
    if (matches) return ExitCode::kSuccess;
    held.Reset();
    App::ShowMessage(NotBoundFileMessage(targetPath));
    return ExitCode::kBadImageHash;
}

}  // namespace ModBinding
