#include "App.h"

#include "../files/EntryCheck.h"
#include "../files/FileHash.h"
#include "../files/HeldFile.h"
#include "../platform/Err.h"
#include "../platform/WideText.h"
#include "../platform/Win32.h"
#include "../text/AnsiPath.h"
#include "../text/ProcessText.h"
#include "ExitCodes.h"
#include "Kernel.h"
#include "ProcessLocation.h"

namespace {

ProcessLocation& Info() {
    static ProcessLocation location;
    return location;
}

struct HeldFiles {
    UniqueFileHandle file;
    UniqueFileHandle folder;
    UniqueFileHandle folderSeen;  // for its attributes alone, where it could not be held
    Text finalPath;
    unsigned long finalPathError = 0;
    unsigned long folderError = 0;
};

HeldFiles& Held() {
    static HeldFiles held;
    return held;
}

// Renames are refused while this is open; reads, writes and new files in
// the folder are not. Where it cannot be held (another process opened it
// sharing nothing), it is opened for its attributes alone, which no sharing
// mode refuses; held tells which.
UniqueFileHandle OpenFolderToHold(const Text& folder, bool& held) {
    WideText wide(FolderToOpen(folder));
    UniqueFileHandle handle(::CreateFileW(wide.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                          nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    held = handle.Valid();
    if (held) return handle;
    DWORD error = ::GetLastError();
    handle.Reset(::CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    ::SetLastError(error);
    return handle;
}

// The folder the held file's final path names, held, and confirmed to be
// the one that holds the file now: a rename between the two opens shows in
// the file's final path, which is then followed once more.
void HoldFolder(HeldFiles& held) {
    ModulePath parts;
    for (int attempt = 0; attempt < 3; ++attempt) {
        Text path = held.finalPath.empty() ? PrefixedPath(App::ExecutablePath()) : held.finalPath;
        if (!SplitModulePath(path, parts)) break;
        bool hold = false;
        UniqueFileHandle folder = OpenFolderToHold(parts.folder, hold);
        held.folderError = hold ? 0 : ExitCode::OfFailure(::GetLastError());
        if (!folder.Valid()) return;
        Text folderPath, filePath;
        unsigned long error = 0;
        if (held.finalPath.empty() ||
            (FinalPathOf(folder.Get(), folderPath, error) && FinalPathOf(held.file.Get(), filePath, error) &&
             FinalPathInFolder(filePath, folderPath, path.Mid(parts.folder.length() + 1)))) {
            (hold ? held.folder : held.folderSeen) = static_cast<UniqueFileHandle&&>(folder);
            return;
        }
        if (!filePath.empty()) held.finalPath = filePath;
    }
    held.folderError = ExitCode::kBadPathname;
}

}  // namespace

namespace App {

bool Initialise() { return LocateProcess(Info()); }

Text Refusal() { return Info().refusal; }
unsigned long RefusalCode() { return Info().refusalCode; }

Text ArgumentText() { return ArgumentTextFrom(::GetCommandLineA()); }
Text Path() { return Info().folder; }
Text EXEName() { return Info().baseName; }
const CharacterWidths& AnsiWidths() { return Info().ansiWidths; }
Text ExecutablePath() { return Info().identity; }

void HoldExecutable() {
    HeldFiles& held = Held();
    // By its long path, prefixed: a folder name that ends in a dot or a blank
    // would otherwise be cut to a twin's name.
    held.file = OpenWideSharingOnlyReads(PrefixedPath(ExecutablePath()));
    held.finalPathError = held.file.Valid() ? 0 : ExitCode::OfFailure(::GetLastError());
    if (held.file.Valid()) FinalPathOf(held.file.Get(), held.finalPath, held.finalPathError);
    if (held.file.Valid()) HoldFolder(held);
}

bool RunsHeldExecutable() { return Held().file.Valid() && IsRunningImage(Held().file.Get()); }
HANDLE HeldExecutable() { return Held().file.Get(); }
HANDLE HeldFolder() { return Held().folder.Get(); }
unsigned long HeldFolderError() { return Held().folder.Valid() ? 0 : Held().folderError; }
HANDLE KnownFolder() { return Held().folder.Valid() ? Held().folder.Get() : Held().folderSeen.Get(); }
Text FinalPath() { return Held().finalPath; }
unsigned long FinalPathError() { return Held().finalPathError; }

void ShowMessage(const Text& text) {
    if (Kernel::WindowStationVisible()) ::MessageBoxA(nullptr, text.c_str(), kTitle, MB_OK);
}

void EndProcess(unsigned long exitCode) { ::ExitProcess(exitCode); }

}  // namespace App

void ReportUntrappedFailure() {
    Text text = Err::Description();
    if (text.empty()) text = Text("Unexpected failure (error ") + DecimalText(Err::Number()) + ").";
    App::ShowMessage(text);
    App::EndProcess(ExitCode::OfFailure(Err::Number()));
}
