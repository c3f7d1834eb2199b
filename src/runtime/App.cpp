#include "App.h"

#include "Files.h"
#include "ProcessLocation.h"
#include "ProcessText.h"
#include "UniqueHandle.h"
#include "Win32.h"

namespace {

ProcessLocation& Info() {
    static ProcessLocation location;
    return location;
}

}  // namespace

namespace App {

bool Initialise() {
    if (!LocateProcess(Info())) return false;
    if (!Info().refusal.empty()) {
        ShowUtf8Message(Info().refusal, kTitle);
        EndProcess();
    }
    return true;
}

Text ArgumentText() { return ArgumentTextFrom(::GetCommandLineA()); }
Text Path() { return Info().folder; }
Text EXEName() { return Info().baseName; }
Text ExecutablePath() { return Info().identity; }

bool PrevInstance() {
    static bool decided = false;
    static bool previous = false;
    // Held until the process ends, so later starts of this executable see it.
    static UniqueKernelHandle marker;
    if (!decided) {
        decided = true;
        marker.Reset(::CreateMutexA(nullptr, FALSE, InstanceObjectName(ExecutablePath()).c_str()));
        previous = marker.Valid() && ::GetLastError() == ERROR_ALREADY_EXISTS;
    }
    return previous;
}

void ShowMessage(const Text& text) { ::MessageBoxA(nullptr, text.c_str(), kTitle, MB_OK); }

void EndProcess() {
    Files::CloseAll();
    ::ExitProcess(0);
}

}  // namespace App
