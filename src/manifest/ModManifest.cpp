#include "ModManifest.h"

#include "../binding/Binding.h"
#include "../binding/ModBinding.h"
#include "../runtime/files/FileHash.h"
#include "../runtime/files/Files.h"
#include "../runtime/platform/Err.h"
#include "../runtime/platform/LazyFunction.h"
#include "../runtime/platform/UniqueHandle.h"
#include "../runtime/process/App.h"
#include "../runtime/process/ExitCodes.h"
#include "../runtime/process/Kernel.h"
#include "../shell/ModShell.h"
#include "ManifestText.h"
#include "PeImage.h"
#include "ResourceSection.h"

#include <winternl.h>

namespace {

constexpr int kManifestChannel = 1;
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

LazyFunction<decltype(&::NtSetInformationFile)> g_setInformation("ntdll.dll", "NtSetInformationFile");
LazyFunction<decltype(&::RtlNtStatusToDosError)> g_statusToError("ntdll.dll", "RtlNtStatusToDosError");

// Opens the manifest on its channel and measures it; the caller closes the channel.
bool OpenManifest(const Text& path, unsigned long& length) {
    return Files::OpenForBinaryRead(kManifestChannel, path) && Files::Length(kManifestChannel, length);
}

bool ReadManifest(const Text& path, Text& bytes) {
    unsigned long length = 0;
    bool ok = OpenManifest(path, length) && Files::ReadFromStart(kManifestChannel, length, bytes);
    Files::Close(kManifestChannel);
    return ok;
}

bool RaiseFailure(DWORD code, const Text& what) {
    Err::RaiseSystem(code, what);
    return false;
}

// Runs step until it succeeds, fails for another reason than a file held
// by another program, or the time is up; the last failure stays raised.
template <class Step>
bool RetryWhileHeld(Step step, DWORD retryMs = kHeldRetryMs) {
    DWORD start = ::GetTickCount();
    while (!step()) {
        if (!IsHeldByAnotherProgram(Err::Number()) || ::GetTickCount() - start >= retryMs) return false;
        Kernel::Sleep(kHeldPauseMs);
        Err::Clear();
    }
    return true;
}

// The loader's own bytes, through one handle.
bool ReadLoader(const Text& path, ByteBlock& image) {
    UniqueFileHandle file = OpenSharingOnlyReads(path);
    DWORD length = file.Valid() ? ::GetFileSize(file.Get(), nullptr) : INVALID_FILE_SIZE;
    DWORD done = 0;
    return (length != INVALID_FILE_SIZE && image.Allocate(length) &&
            ::ReadFile(file.Get(), image.data, length, &done, nullptr) && done == length) ||
           RaiseFailure(::GetLastError(), "Cannot read " + path);
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

// The copy in the making, created new: never a file that a name planted in
// its place (a link, a hard link) leads to.
UniqueFileHandle CreatePartial(const Text& path) {
    return UniqueFileHandle(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Removes the name a run cut short left (a name only: what a link leads to
// stays), then creates the copy in the making.
bool MakePartial(const Text& path, UniqueFileHandle& partial) {
    bool removed = ::DeleteFileA(path.c_str());
    DWORD code = ::GetLastError();
    if (removed || code == ERROR_FILE_NOT_FOUND) {
        partial = CreatePartial(path);
        if (partial.Valid()) return true;
        code = ::GetLastError();
        // A file deleted while another program holds it keeps its name until
        // that program lets go; Wine then answers that it exists.
        if (removed && code == ERROR_FILE_EXISTS) code = ERROR_SHARING_VIOLATION;
    }
    return RaiseFailure(code, "Cannot create " + path);
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

// Gives the file open on handle the name path, replacing an earlier file:
// through the handle, so that it is the file written, whatever its old name
// leads to by now.
bool RenameByHandle(HANDLE file, const Text& from, const Text& path) {
    auto setInformation = g_setInformation.GetOrRaise();
    auto toError = g_statusToError.GetOrRaise();
    if (!setInformation || !toError) return false;
    Text name = NtPathFor(path);
    int units = ::MultiByteToWideChar(CP_ACP, 0, name.c_str(), static_cast<int>(name.length()), nullptr, 0);
    ByteBlock block;
    DWORD code = ERROR_NOT_ENOUGH_MEMORY;
    if (units > 0 && block.Allocate(sizeof(FILE_RENAME_INFORMATION) + sizeof(WCHAR) * units)) {
        auto* info = reinterpret_cast<FILE_RENAME_INFORMATION*>(block.data);
        info->ReplaceIfExists = TRUE;
        info->FileNameLength = static_cast<ULONG>(units) * sizeof(WCHAR);
        ::MultiByteToWideChar(CP_ACP, 0, name.c_str(), static_cast<int>(name.length()), info->FileName, units);
        IO_STATUS_BLOCK io;
        NTSTATUS status = setInformation(file, &io, info, static_cast<ULONG>(block.length), FileRenameInformation);
        if (status >= 0) return true;
        code = toError(status);
    }
    return RaiseFailure(code, "Cannot rename " + from + " to " + path);
}

// Deletes the file open on handle once it is closed.
void DiscardByHandle(HANDLE file) {
    auto setInformation = g_setInformation.Get();
    FILE_DISPOSITION_INFORMATION disposition = {TRUE};
    IO_STATUS_BLOCK io;
    if (setInformation) setInformation(file, &io, &disposition, sizeof disposition, FileDispositionInformation);
}

// Removes what a run cut short left under the copy's name in the making,
// keeping the failure that ended this run raised.
void DiscardLeftover(const Text& partialPath) {
    unsigned long number = Err::Number();
    // A copy: a failed delete below overwrites the error it refers to.
    Text description = Err::Description();  // NOLINT(performance-unnecessary-copy-initialization)
    RetryWhileHeld([&] { return Files::Delete(partialPath); }, kDiscardRetryMs);
    Err::Raise(number, description);
}

[[noreturn]] void Finish(const Text& message, unsigned long exitCode) {
    App::ShowMessage(message);
    App::EndProcess(exitCode);
}

}  // namespace

namespace ModManifest {

bool WriteCopy(const ManifestFiles& files, const Text& manifest, const Text& binding) {
    ByteBlock loader, copy;
    if (!ReadLoader(files.loader, loader) || !EmbedResources(files.loader, loader, manifest, binding, copy))
        return false;
    UniqueFileHandle partial;
    if (!RetryWhileHeld([&] { return MakePartial(files.partial, partial); })) {
        DiscardLeftover(files.partial);
        return false;
    }
    // Only a finished copy takes the copy's name, replacing an earlier one.
    if (WriteWhole(partial.Get(), copy, files.partial) &&
        RetryWhileHeld([&] { return RenameByHandle(partial.Get(), files.partial, files.copy); }))
        return true;
    DiscardByHandle(partial.Get());
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

    // Read before the copy is made, so that an unreadable or empty manifest,
    // or an elevating one with nothing to bind, leaves nothing written. The
    // bytes whose elevation request decided the binding are the ones embedded.
    Text manifest, binding, boundLine;
    if (!ReadManifest(files.manifest, manifest)) ReportUntrappedFailure();
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
    if (WriteCopy(files, manifest, binding))
        Finish(ManifestSuccessMessage(folder, name) + boundLine, ExitCode::kSuccess);
    // Never success: whatever stands under the copy's name is not this run's.
    Finish(ManifestNotWrittenMessage(files.copy, Err::Description()), ExitCode::OfFailure(Err::Number()));
}

}  // namespace ModManifest
