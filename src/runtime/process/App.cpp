#include "App.h"

#include "../files/FileHash.h"
#include "../files/Files.h"
#include "../files/HeldFile.h"
#include "../platform/Err.h"
#include "../platform/Win32.h"
#include "../text/ProcessText.h"
#include "ExitCodes.h"
#include "Kernel.h"
#include "ProcessLocation.h"

namespace {

ProcessLocation& Info() {
    static ProcessLocation location;
    return location;
}

struct HeldExecutable {
    UniqueFileHandle file;
    Text finalPath;
    unsigned long finalPathError = 0;
};

HeldExecutable& Held() {
    static HeldExecutable held;
    return held;
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

void HoldExecutable(const Text& path) {
    HeldExecutable& held = Held();
    held.file = OpenSharingOnlyReads(path);
    held.finalPathError = held.file.Valid() ? 0 : ExitCode::OfFailure(::GetLastError());
    if (held.file.Valid()) FinalPathOf(held.file.Get(), held.finalPath, held.finalPathError);
}

bool RunsHeldExecutable() { return Held().file.Valid() && IsRunningImage(Held().file.Get()); }
Text FinalPath() { return Held().finalPath; }
unsigned long FinalPathError() { return Held().finalPathError; }

void ShowMessage(const Text& text) {
    if (Kernel::WindowStationVisible()) ::MessageBoxA(nullptr, text.c_str(), kTitle, MB_OK);
}

void EndProcess(unsigned long exitCode) {
    Files::CloseAll();
    ::ExitProcess(exitCode);
}

}  // namespace App

void ReportUntrappedFailure() {
    Text text = Err::Description();
    if (text.empty()) text = Text("Unexpected failure (error ") + DecimalText(Err::Number()) + ").";
    App::ShowMessage(text);
    App::EndProcess(ExitCode::OfFailure(Err::Number()));
}
