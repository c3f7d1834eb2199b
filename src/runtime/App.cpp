#include "App.h"

#include "Files.h"
#include "ProcessText.h"
#include "Win32.h"

namespace {

struct ProcessInfo {
    Text executable;
    ModulePath module;
};

ProcessInfo& Info() {
    static ProcessInfo info;
    return info;
}

}  // namespace

namespace App {

bool Initialise() {
    // Room for the longest path the system can report; a path that fills the
    // buffer is truncated and names no file we could trust.
    const DWORD capacity = 32768;
    char* buffer = static_cast<char*>(::HeapAlloc(::GetProcessHeap(), 0, capacity));
    if (!buffer) return false;
    DWORD length = ::GetModuleFileNameA(nullptr, buffer, capacity);
    bool whole = length != 0 && length < capacity - 1;
    if (whole) Info().executable = Text(buffer, length);
    ::HeapFree(::GetProcessHeap(), 0, buffer);
    return whole && SplitModulePath(Info().executable, Info().module);
}

Text ArgumentText() { return ArgumentTextFrom(::GetCommandLineA()); }
Text Path() { return Info().module.folder; }
Text EXEName() { return Info().module.baseName; }
Text ExecutablePath() { return Info().executable; }

void ShowMessage(const Text& text) { ::MessageBoxA(nullptr, text.c_str(), kTitle, MB_OK); }

void EndProcess() {
    Files::CloseAll();
    ::ExitProcess(0);
}

}  // namespace App
