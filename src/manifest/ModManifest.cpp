#include "ModManifest.h"

#include "../runtime/App.h"
#include "../runtime/Err.h"
#include "../runtime/Files.h"
#include "../runtime/LazyFunction.h"
#include "../shell/ModShell.h"
#include "ManifestText.h"

namespace {

constexpr int kManifestChannel = 1;
constexpr WORD kManifestType = 24;  // RT_MANIFEST
constexpr WORD kManifestName = 1;
constexpr WORD kNeutralLanguage = 0;

LazyFunction<decltype(&::BeginUpdateResourceA)> g_beginUpdate("kernel32.dll", "BeginUpdateResourceA");
LazyFunction<decltype(&::UpdateResourceA)> g_update("kernel32.dll", "UpdateResourceA");
LazyFunction<decltype(&::EndUpdateResourceA)> g_endUpdate("kernel32.dll", "EndUpdateResourceA");

bool ReadManifest(const Text& path, Text& bytes) {
    unsigned long length = 0;
    bool ok = Files::OpenForBinaryRead(kManifestChannel, path) && Files::Length(kManifestChannel, length) &&
              Files::ReadFromStart(kManifestChannel, length, bytes);
    Files::Close(kManifestChannel);
    return ok;
}

bool IsEmptyFile(const Text& path) {
    unsigned long length = 1;
    bool known = Files::OpenForBinaryRead(kManifestChannel, path) && Files::Length(kManifestChannel, length);
    Files::Close(kManifestChannel);
    Err::Clear();
    return known && length == 0;
}

bool WriteManifestResource(const Text& copyPath, const Text& bytes) {
    auto beginUpdate = g_beginUpdate.GetOrRaise();
    auto update = g_update.GetOrRaise();
    auto endUpdate = g_endUpdate.GetOrRaise();
    if (!beginUpdate || !update || !endUpdate) return false;

    HANDLE session = beginUpdate(copyPath.c_str(), FALSE);
    if (!session) {
        Err::RaiseSystem(::GetLastError(), Text("Cannot open ") + copyPath + " for a resource update");
        return false;
    }
    if (!update(session, MAKEINTRESOURCEA(kManifestType), MAKEINTRESOURCEA(kManifestName), kNeutralLanguage,
                const_cast<char*>(bytes.data()), static_cast<DWORD>(bytes.length()))) {
        Err::RaiseSystem(::GetLastError(), Text("Cannot update the resources of ") + copyPath);
        endUpdate(session, TRUE);  // discard: nothing half-written
        return false;
    }
    if (!endUpdate(session, FALSE)) {
        Err::RaiseSystem(::GetLastError(), Text("Cannot write the resources of ") + copyPath);
        return false;
    }
    return true;
}

}  // namespace

namespace ModManifest {

EmbedResult EmbedManifest(const Text& executablePath, const Text& copyPath) {
    Text bytes;
    if (!ReadManifest(executablePath + ".manifest", bytes)) return EmbedResult::ReadFailed;
    return WriteManifestResource(copyPath, bytes) ? EmbedResult::Embedded : EmbedResult::UpdateFailed;
}

void RunManifestMode() {
    Text folder = App::Path();
    Text name = App::EXEName();
    ManifestFiles files = ManifestFilesFor(folder, name);

    VBool manifestFound = ModShell::FileExists(files.manifest);
    VBool loaderFound = ModShell::FileExists(files.loader);
    if (!manifestFound || !loaderFound) {
        App::ShowMessage(kManifestNotFound);
        App::EndProcess();
    }
    // An empty manifest is no manifest: embedding it would ship a loader
    // without the manifest the packager asked for.
    if (IsEmptyFile(files.manifest)) {
        App::ShowMessage(Text(kManifestEmpty) + " (" + files.manifest + ")");
        App::EndProcess();
    }
    if (!Files::Copy(files.loader, files.copy)) ReportUntrappedFailure();

    switch (EmbedManifest(files.loader, files.copy)) {
    case EmbedResult::ReadFailed:
        ReportUntrappedFailure();
    case EmbedResult::UpdateFailed:
        // The copy exists but carries the loader's own manifest: say so
        // rather than report success.
        App::ShowMessage(ManifestNotEmbeddedMessage(files.copy, Err::Description()));
        App::EndProcess();
    case EmbedResult::Embedded:
        break;
    }
    App::ShowMessage(ManifestSuccessMessage(folder, name));
    App::EndProcess();
}

}  // namespace ModManifest
