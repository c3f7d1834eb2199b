#include "ModManifest.h"

#include "../binding/Binding.h"
#include "../binding/ModBinding.h"
#include "../protocol/LauncherName.h"
#include "../runtime/files/FileHash.h"
#include "../runtime/files/FolderEntry.h"
#include "../runtime/platform/Err.h"
#include "../runtime/platform/LazyFunction.h"
#include "../runtime/platform/UniqueHandle.h"
#include "../runtime/platform/WideText.h"
#include "../runtime/process/App.h"
#include "../runtime/process/ExitCodes.h"
#include "../runtime/process/Kernel.h"
#include "../runtime/text/AnsiPath.h"
#include "../runtime/text/ProcessText.h"
#include "../shell/ModShell.h"
#include "ManifestText.h"
#include "PeImage.h"
#include "ResourceSection.h"

namespace {

constexpr uint32_t kManifestType = 24;  // RT_MANIFEST
constexpr uint32_t kManifestName = 1;
constexpr uint32_t kNeutralLanguage = 0;
// An on-access scanner reads a fresh executable for a moment, and whoever
// opens it meanwhile meets a sharing or lock violation: such a step is tried
// again for this long before it counts as failed.
constexpr DWORD kHeldRetryMs = 2000;
constexpr DWORD kHeldPauseMs = 50;
// A half-made copy is worth a longer wait: left behind, it would puzzle the
// packager, and the run has failed anyway.
constexpr DWORD kDiscardRetryMs = 10000;

[[noreturn]] void Finish(const Text& message, unsigned long exitCode) {
    App::ShowMessage(message);
    App::EndProcess(exitCode);
}

bool RaiseFailure(DWORD code, const Text& what) {
    Err::RaiseSystem(code, what);
    return false;
}

// Runs step until it succeeds, fails for another reason than a file held
// by another program, or the time is up; the last failure stays raised.
// One loop for every step: each step reaches it through a pointer.
bool RetryStepWhileHeld(bool (*step)(void*), void* context, DWORD retryMs) {
    DWORD start = ::GetTickCount();
    while (!step(context)) {
        if (!IsHeldByAnotherProgram(Err::Number()) || ::GetTickCount() - start >= retryMs) return false;
        Kernel::Sleep(kHeldPauseMs);
        Err::Clear();
    }
    return true;
}

template <class Step>
bool RetryWhileHeld(Step step, DWORD retryMs = kHeldRetryMs) {
    return RetryStepWhileHeld([](void* context) { return (*static_cast<Step*>(context))(); }, &step, retryMs);
}

// The whole file open on file, read from its start.
bool ReadWhole(HANDLE file, ByteBlock& bytes) {
    DWORD length = ::GetFileSize(file, nullptr);
    DWORD done = 0;
    return length != INVALID_FILE_SIZE && ::SetFilePointer(file, 0, nullptr, FILE_BEGIN) == 0 &&
           bytes.Allocate(length) && ::ReadFile(file, bytes.data, length, &done, nullptr) && done == length;
}

// The whole copy, before a byte of it is written: the loader without its
// signature (the packager signs the copy), with the manifest and the record
// set and a checksum of its own. A record carried over from the loader
// itself is marked unbound.
bool EmbedResources(const Text& loaderPath, ByteBlock& loader, const Text& manifest, const Text& binding,
                    ByteBlock& copy) {
    Text record = binding.empty() && ModBinding::CarriesBinding() ? Text(kUnboundRecord) : binding;
    const ResourceSection::Item items[] = {
        {nullptr, kManifestType, kManifestName, kNeutralLanguage, manifest.data(),
         static_cast<uint32_t>(manifest.length())},
        {kBindingResourceType, 0, kBindingResourceName, kNeutralLanguage, record.data(),
         static_cast<uint32_t>(record.length())},
    };
    size_t length = PeImage::DropCertificateTable(loader.data, loader.length);
    return (ResourceSection::SetResources(loader.data, length, items, record.empty() ? 1 : 2, copy) &&
            PeImage::UpdateChecksum(copy.data, copy.length)) ||
           RaiseFailure(ERROR_BAD_FORMAT, "The resources of " + loaderPath + " could not be rewritten");
}

// Removes the name a run cut short left (a name only: what a link leads to
// stays), then creates the copy in the making new, in the held folder: never
// a file that a name planted in its place (a link, a hard link) leads to.
bool MakePartial(const ModManifest::CopyPlace& place, const Text& partialPath, UniqueFileHandle& partial) {
    bool removed = ::DeleteFileW(WideText(PrefixedPath(JoinPath(place.folderPath, place.partialName))).c_str());
    DWORD code = ::GetLastError();
    if (removed || code == ERROR_FILE_NOT_FOUND) {
        unsigned long error = 0;
        partial = OpenFolderEntry(place.folder, place.partialName, GENERIC_READ | GENERIC_WRITE | DELETE, 0,
                                  EntryOpen::New, error);
        if (partial.Valid()) return true;
        code = error;
        // A file deleted while another program holds it keeps its name until
        // that program lets go; the system then answers that it exists.
        if (removed && (code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS)) code = ERROR_SHARING_VIOLATION;
    }
    return RaiseFailure(code, "Cannot create " + partialPath);
}

bool WriteWhole(HANDLE file, const ByteBlock& bytes, const Text& path) {
    // A full disk may first take part of a write, then refuse the rest with its reason.
    DWORD done = 0;
    for (size_t at = 0; at < bytes.length; at += done)
        if (!::WriteFile(file, bytes.data + at, static_cast<DWORD>(bytes.length - at), &done, nullptr) || !done)
            return RaiseFailure(::GetLastError(), "Cannot write " + path);
    // On disk before it takes its name.
    return ::FlushFileBuffers(file) || RaiseFailure(::GetLastError(), "Cannot write " + path);
}

// Gives the finished copy its name, replacing an earlier one: through its
// handle and relative to the held folder, so that it is the file written that
// takes the name in that folder, whatever names lead to by now.
bool RenameInto(const ModManifest::CopyPlace& place, HANDLE partial, const Text& from, const Text& to) {
    unsigned long error = 0;
    return RenameOpenFile(partial, place.folder, place.copyName, error) ||
           RaiseFailure(error, "Cannot rename " + from + " to " + to);
}

// Removes what a run cut short left under the copy's name in the making,
// keeping the failure that ended this run raised.
void DiscardLeftover(const ModManifest::CopyPlace& place, const Text& partialPath) {
    unsigned long number = Err::Number();
    // A copy: a failed delete below overwrites the error it refers to.
    Text description = Err::Description();  // NOLINT(performance-unnecessary-copy-initialization)
    WideText name(PrefixedPath(JoinPath(place.folderPath, place.partialName)));
    RetryWhileHeld(
        [&] {
            return ::DeleteFileW(name.c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND ||
                   RaiseFailure(::GetLastError(), "Cannot delete " + partialPath);
        },
        kDiscardRetryMs);
    Err::Raise(number, description);
}

// The manifest beside the loader, read through one handle when it is one
// plain file of the folder: a link would embed whatever file it leads to.
bool ReadManifest(const ModManifest::CopyPlace& place, const ManifestFiles& files, Text& manifest) {
    unsigned long error = 0;
    UniqueFileHandle file =
        OpenFolderEntry(place.folder, place.manifestName, GENERIC_READ, FILE_SHARE_READ, EntryOpen::Existing, error);
    if (error == kNotPlainEntry) Finish(ManifestLinkedMessage(files.manifest), kNotPlainEntry);
    ByteBlock bytes;
    if (!file.Valid() || !ReadWhole(file.Get(), bytes))
        return RaiseFailure(error ? error : ::GetLastError(), "Cannot read " + files.manifest);
    manifest = Text(reinterpret_cast<const char*>(bytes.data), bytes.length);
    return true;
}

}  // namespace

namespace ModManifest {

CopyPlace OwnPlace() {
    CopyPlace place;
    ModulePath self, folder;
    SplitModulePath(App::ExecutablePath(), self);
    place.folder = App::HeldFolder();
    place.folderPath = SplitModulePath(App::FinalPath(), folder) ? folder.folder : PrefixedPath(self.folder);
    place.loader = App::HeldExecutable();
    place.manifestName = self.baseName + ".exe.manifest";
    place.copyName = self.baseName + "_new.exe";
    place.partialName = place.copyName + ".tmp";
    return place;
}

bool WriteCopy(const ManifestFiles& files, const CopyPlace& place, const Text& manifest, const Text& binding) {
    ByteBlock loader, copy;
    if (!ReadWhole(place.loader, loader)) return RaiseFailure(::GetLastError(), "Cannot read " + files.loader);
    if (!EmbedResources(files.loader, loader, manifest, binding, copy)) return false;
    UniqueFileHandle partial;
    if (!RetryWhileHeld([&] { return MakePartial(place, files.partial, partial); })) {
        DiscardLeftover(place, files.partial);
        return false;
    }
    // Only a finished copy takes the copy's name, replacing an earlier one.
    if (WriteWhole(partial.Get(), copy, files.partial) &&
        RetryWhileHeld([&] { return RenameInto(place, partial.Get(), files.partial, files.copy); }))
        return true;
    DeleteOpenFile(partial.Get());
    return false;
}

void RunManifestMode() {
    // Its copy would carry the binding over to a setup program nobody checked.
    if (ModBinding::CarriesBinding()) Finish(kBoundCopyRefusesManifest, ExitCode::kNotSupported);
    Text folder = App::Path();
    Text name = App::EXEName();
    ManifestFiles files = ManifestFilesFor(folder, name);

    VBool manifestFound = ModShell::FileExists(files.manifest);
    VBool loaderFound = ModShell::FileExists(files.loader);
    if (!manifestFound || !loaderFound) Finish(kManifestNotFound, ExitCode::kFileNotFound);
    // Every file of the mode is reached through the folder the process holds.
    CopyPlace place = OwnPlace();
    if (place.folder == INVALID_HANDLE_VALUE) {
        RaiseFailure(App::HeldFolderError(), "Cannot hold the folder " + folder);
        ReportUntrappedFailure();
    }

    // Read before the copy is made, so that an unreadable or empty manifest,
    // or an elevating one with nothing to bind, leaves nothing written. The
    // bytes whose elevation request decided the binding are the ones embedded.
    Text manifest, binding, boundLine;
    if (!ReadManifest(place, files, manifest)) ReportUntrappedFailure();
    if (manifest.empty()) Finish(ManifestEmptyMessage(files.manifest), ExitCode::kInvalidData);
    switch (ModBinding::BindCopy(manifest, binding, boundLine)) {
    case ModBinding::BindResult::NoTarget:
        Finish(kNothingToBind, ExitCode::kFileNotFound);
    case ModBinding::BindResult::Failed:
        ReportUntrappedFailure();
    case ModBinding::BindResult::Unbound:
    case ModBinding::BindResult::Bound:
        break;
    }
    if (WriteCopy(files, place, manifest, binding))
        Finish(ManifestSuccessMessage(folder, name) + boundLine, ExitCode::kSuccess);
    // Never success: whatever stands under the copy's name is not this run's.
    Finish(ManifestNotWrittenMessage(files.copy, Err::Description()), ExitCode::OfFailure(Err::Number()));
}

}  // namespace ModManifest
