#include "ModManifest.h"

#include "../runtime/App.h"
#include "../runtime/Err.h"
#include "../runtime/Files.h"
#include "../runtime/LazyFunction.h"
#include "../runtime/UniqueHandle.h"
#include "../shell/ModShell.h"
#include "ManifestText.h"

namespace {

constexpr int kManifestChannel = 1;
constexpr WORD kManifestType = 24;  // RT_MANIFEST
constexpr WORD kManifestName = 1;
constexpr WORD kNeutralLanguage = 0;
constexpr const char* kCannotOpenForUpdate = "The file could not be opened for a resource update";

LazyFunction<decltype(&::BeginUpdateResourceA)> g_beginUpdate("kernel32.dll", "BeginUpdateResourceA");
LazyFunction<decltype(&::UpdateResourceA)> g_update("kernel32.dll", "UpdateResourceA");
LazyFunction<decltype(&::EndUpdateResourceA)> g_endUpdate("kernel32.dll", "EndUpdateResourceA");

// Opens the manifest on its channel and measures it; the caller closes the channel.
bool OpenManifest(const Text& path, unsigned long& length) {
    return Files::OpenForBinaryRead(kManifestChannel, path) && Files::Length(kManifestChannel, length);
}

bool MeasureManifest(const Text& path, unsigned long& length) {
    bool ok = OpenManifest(path, length);
    Files::Close(kManifestChannel);
    return ok;
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

// The update rewrites the file and needs it to itself. Claiming it first
// names the usual causes (missing, in use, read-only) with the system's code.
bool ClaimForUpdate(const Text& copyPath) {
    UniqueFileHandle file(::CreateFileA(copyPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.Valid() || RaiseUpdateFailure(kCannotOpenForUpdate);
}

bool WriteManifestResource(const Text& copyPath, const Text& bytes) {
    auto beginUpdate = g_beginUpdate.GetOrRaise();
    auto update = g_update.GetOrRaise();
    auto endUpdate = g_endUpdate.GetOrRaise();
    if (!beginUpdate || !update || !endUpdate || !ClaimForUpdate(copyPath)) return false;

    HANDLE session = beginUpdate(copyPath.c_str(), FALSE);
    if (!session) return RaiseUpdateFailure(kCannotOpenForUpdate);
    if (!update(session, MAKEINTRESOURCEA(kManifestType), MAKEINTRESOURCEA(kManifestName), kNeutralLanguage,
                const_cast<char*>(bytes.data()), static_cast<DWORD>(bytes.length()))) {
        RaiseUpdateFailure("The manifest resource could not be added");
        endUpdate(session, TRUE);  // discard: nothing half-written
        return false;
    }
    return endUpdate(session, FALSE) || RaiseUpdateFailure("The resources could not be written");
}

[[noreturn]] void Finish(const Text& message) {
    App::ShowMessage(message);
    App::EndProcess();
}

}  // namespace

namespace ModManifest {

EmbedResult EmbedManifest(const Text& executablePath, const Text& copyPath) {
    Text bytes;
    if (!ReadManifest(executablePath + ".manifest", bytes)) return EmbedResult::ReadFailed;
    // Updating with no data would delete the copy's manifest instead.
    if (bytes.empty()) return EmbedResult::Empty;
    return WriteManifestResource(copyPath, bytes) ? EmbedResult::Embedded : EmbedResult::UpdateFailed;
}

void RunManifestMode() {
    Text folder = App::Path();
    Text name = App::EXEName();
    ManifestFiles files = ManifestFilesFor(folder, name);

    VBool manifestFound = ModShell::FileExists(files.manifest);
    VBool loaderFound = ModShell::FileExists(files.loader);
    if (!manifestFound || !loaderFound) Finish(kManifestNotFound);

    // Measured before the copy is made, so that an unreadable or empty
    // manifest leaves nothing written.
    unsigned long length = 0;
    if (!MeasureManifest(files.manifest, length)) ReportUntrappedFailure();
    if (length == 0) Finish(ManifestEmptyMessage(files.manifest));
    if (!Files::Copy(files.loader, files.copy)) ReportUntrappedFailure();
    // A loader kept read-only (from a disc or version control) passes the bit
    // on to its copy, which the update must rewrite.
    DWORD attributes = ::GetFileAttributesA(files.copy.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        ::SetFileAttributesA(files.copy.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);

    switch (EmbedManifest(files.loader, files.copy)) {
    case EmbedResult::Embedded:
        Finish(ManifestSuccessMessage(folder, name));
    case EmbedResult::Empty:
        Finish(ManifestEmptyMessage(files.manifest));
    case EmbedResult::ReadFailed:
        ReportUntrappedFailure();
    case EmbedResult::UpdateFailed:
        // The copy keeps the loader's own manifest: say so, never report success.
        Finish(ManifestNotEmbeddedMessage(files.copy, Err::Description()));
    }
    App::EndProcess();
}

}  // namespace ModManifest
