#include "ModManifest.h"

#include "../binding/Binding.h"
#include "../binding/ModBinding.h"
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

#include <stdlib.h>

namespace {

constexpr int kManifestChannel = 1;
constexpr WORD kManifestType = 24;  // RT_MANIFEST
constexpr WORD kManifestName = 1;
constexpr WORD kNeutralLanguage = 0;
constexpr const char* kCannotOpenForUpdate = "The file could not be opened for a resource update";
// An on-access scanner reads a fresh executable for a moment, and whoever
// opens it meanwhile meets a sharing or lock violation: such a step is tried
// again for this long before it counts as failed.
constexpr DWORD kHeldRetryMs = 2000;
constexpr DWORD kHeldPauseMs = 50;
// A half-made copy is worth a longer wait: left behind, it would puzzle the
// packager, and the run has failed anyway.
constexpr DWORD kDiscardRetryMs = 10000;

LazyFunction<decltype(&::BeginUpdateResourceA)> g_beginUpdate("kernel32.dll", "BeginUpdateResourceA");
LazyFunction<decltype(&::UpdateResourceA)> g_update("kernel32.dll", "UpdateResourceA");
LazyFunction<decltype(&::EndUpdateResourceA)> g_endUpdate("kernel32.dll", "EndUpdateResourceA");

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

bool RaiseUpdateFailure(const char* what) {
    Err::RaiseSystem(::GetLastError(), what);
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

// Reads the whole file open on handle, lets edit change the bytes and return
// their new length, and writes the result back.
bool EditImage(HANDLE file, size_t (*edit)(unsigned char*, size_t)) {
    DWORD length = ::GetFileSize(file, nullptr);
    if (length == INVALID_FILE_SIZE) return false;
    unsigned char* image = static_cast<unsigned char*>(malloc(length ? length : 1));
    if (!image) return false;
    DWORD done = 0;
    bool ok = ::ReadFile(file, image, length, &done, nullptr) && done == length;
    if (ok) {
        DWORD edited = static_cast<DWORD>(edit(image, length));
        ok = ::SetFilePointer(file, 0, nullptr, FILE_BEGIN) == 0 && ::WriteFile(file, image, edited, &done, nullptr) &&
             done == edited && ::SetEndOfFile(file);
    }
    free(image);
    return ok;
}

UniqueFileHandle OpenExclusive(const Text& path) {
    return UniqueFileHandle(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
}

// The update rewrites the file and needs it to itself. Claiming it first
// names the usual causes (missing, in use, read-only) with the system's code.
// A signed loader's copy also loses its signature here: the update would keep
// the old certificate table behind a stale directory entry, and the copy must
// be a clean unsigned file for the packager to sign.
bool ClaimForUpdate(const Text& copyPath) {
    UniqueFileHandle file = OpenExclusive(copyPath);
    if (!file.Valid()) return RaiseUpdateFailure(kCannotOpenForUpdate);
    return EditImage(file.Get(), PeImage::DropCertificateTable) ||
           RaiseUpdateFailure("The old signature could not be removed");
}

// The resource update leaves the header's checksum as it was. A copy left
// with a stale one is no finished copy: the failure is reported.
bool FixChecksum(const Text& copyPath) {
    const char* failure = "The checksum could not be written";
    UniqueFileHandle file = OpenExclusive(copyPath);
    if (!file.Valid()) return RaiseUpdateFailure(failure);
    auto update = [](unsigned char* image, size_t length) {
        PeImage::UpdateChecksum(image, length);
        return length;
    };
    return EditImage(file.Get(), update) || RaiseUpdateFailure(failure);
}

// Wine's resource update fails without a code while another program holds
// the file: an exclusive open then asks the file itself.
bool RaiseResourceFailure(const Text& copyPath, const char* what) {
    DWORD code = ::GetLastError();
    if (code == ERROR_SUCCESS && !OpenExclusive(copyPath).Valid()) code = ::GetLastError();
    Err::RaiseSystem(code, what);
    return false;
}

// Binds the copy (record not empty), or leaves it unbound: a record carried
// over from the loader itself is overwritten.
bool WriteBindingResource(HANDLE session, const Text& record) {
    auto update = g_update.GetOrRaise();
    if (record.empty() && !ModBinding::CarriesBinding()) return true;
    Text data = record.empty() ? Text(kUnboundRecord) : record;
    return (update && update(session, kBindingResourceType, MAKEINTRESOURCEA(kBindingResourceName), kNeutralLanguage,
                             const_cast<char*>(data.data()), static_cast<DWORD>(data.length()))) ||
           RaiseUpdateFailure("The binding could not be written");
}

bool WriteManifestResource(const Text& copyPath, const Text& bytes, const Text& binding) {
    auto beginUpdate = g_beginUpdate.GetOrRaise();
    auto update = g_update.GetOrRaise();
    auto endUpdate = g_endUpdate.GetOrRaise();
    if (!beginUpdate || !update || !endUpdate || !ClaimForUpdate(copyPath)) return false;

    HANDLE session = beginUpdate(copyPath.c_str(), FALSE);
    if (!session) return RaiseResourceFailure(copyPath, kCannotOpenForUpdate);
    if (!update(session, MAKEINTRESOURCEA(kManifestType), MAKEINTRESOURCEA(kManifestName), kNeutralLanguage,
                const_cast<char*>(bytes.data()), static_cast<DWORD>(bytes.length()))) {
        RaiseUpdateFailure("The manifest resource could not be added");
        endUpdate(session, TRUE);  // discard: nothing half-written
        return false;
    }
    if (!WriteBindingResource(session, binding)) {
        endUpdate(session, TRUE);
        return false;
    }
    if (!endUpdate(session, FALSE)) return RaiseResourceFailure(copyPath, "The resources could not be written");
    return FixChecksum(copyPath);
}

[[noreturn]] void Finish(const Text& message, unsigned long exitCode) {
    App::ShowMessage(message);
    App::EndProcess(exitCode);
}

ModManifest::EmbedResult EmbedManifestBytes(const Text& bytes, const Text& copyPath, const Text& binding) {
    // Updating with no data would delete the copy's manifest instead.
    if (bytes.empty()) return ModManifest::EmbedResult::Empty;
    // Every step of the update can be run again on the copy it left.
    bool written = RetryWhileHeld([&] { return WriteManifestResource(copyPath, bytes, binding); });
    return written ? ModManifest::EmbedResult::Embedded : ModManifest::EmbedResult::UpdateFailed;
}

// Removes the copy in the making, keeping the failure that ended it raised.
void DiscardPartial(const Text& partialPath) {
    unsigned long number = Err::Number();
    // A copy: a failed delete below overwrites the error it refers to.
    Text description = Err::Description();  // NOLINT(performance-unnecessary-copy-initialization)
    RetryWhileHeld([&] { return Files::Delete(partialPath); }, kDiscardRetryMs);
    Err::Raise(number, description);
}

}  // namespace

namespace ModManifest {

EmbedResult EmbedManifest(const Text& executablePath, const Text& copyPath, const Text& binding) {
    Text bytes;
    if (!ReadManifest(executablePath + ".manifest", bytes)) return EmbedResult::ReadFailed;
    return EmbedManifestBytes(bytes, copyPath, binding);
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
    // or an elevating one with nothing to bind, leaves nothing written.
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
    if (!RetryWhileHeld([&] { return Files::Copy(files.loader, files.partial); })) {
        DiscardPartial(files.partial);  // a copy cut short by a full disk
        ReportUntrappedFailure();
    }
    // A loader kept read-only (from a disc or version control) passes the bit
    // on to its copy, which the update must rewrite.
    DWORD attributes = ::GetFileAttributesA(files.partial.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        ::SetFileAttributesA(files.partial.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);

    // The bytes whose elevation request decided the binding are the ones embedded.
    EmbedResult result = EmbedManifestBytes(manifest, files.partial, binding);
    // Only now, finished, does the copy take its name, replacing an earlier one.
    if (result == EmbedResult::Embedded && RetryWhileHeld([&] { return Files::Move(files.partial, files.copy); }))
        Finish(ManifestSuccessMessage(folder, name) + boundLine, ExitCode::kSuccess);
    DiscardPartial(files.partial);
    // Never success: whatever stands under the copy's name is not this run's.
    Finish(ManifestNotWrittenMessage(files.copy, Err::Description()), ExitCode::OfFailure(Err::Number()));
}

}  // namespace ModManifest
