#pragma once
#include "../platform/Win32.h"
#include "../text/CodePage.h"
#include "../text/Text.h"

// What the process knows about itself, and its end.
namespace App {

constexpr const char* kTitle = "Setup Loader Application";

// Reads the executable's path once. False when the system reports no path
// or a truncated one; the loader then ends silently. A folder (or name) that
// the ANSI calls cannot be given is named in a message box, and the process
// ends there.
bool Initialise();

// Not empty when the folder or name cannot be handed to the ANSI calls: the
// UTF-8 message that says which and why; RefusalCode is the exit code for it.
Text Refusal();
unsigned long RefusalCode();

Text ArgumentText();
Text Path();     // the folder that holds the executable, as ANSI calls take it (long or 8.3)
Text EXEName();  // the executable's long base name
// How the ANSI code page splits text such as EXEName into characters.
const CharacterWidths& AnsiWidths();
// The executable's long path in UTF-8, the same for every start of one file
// (by its long or its short path): the identity of this loader.
Text ExecutablePath();

// Keeps the executable open by its long path, sharing only reads, until the
// process ends: nobody can rename or replace it. Keeps its folder open the
// same way, without leave to delete: nobody can rename or delete the folder
// either (which Windows' own file systems refuse for the open file's sake,
// and a network server or Wine may not), so the held file's final path
// stays true for the process's whole life.
void HoldExecutable();
// True when the held file is the one this process runs from.
bool RunsHeldExecutable();
// The held executable; invalid when it could not be opened.
HANDLE HeldExecutable();
// The held folder; invalid when it could not be opened (with HeldFolderError
// the system's reason) or did not hold the executable.
HANDLE HeldFolder();
unsigned long HeldFolderError();
// The executable's folder, held, else (another process opened it sharing
// nothing) open for its attributes alone, which takes part in no sharing:
// what tells the folder's identity. Invalid when neither could be opened.
HANDLE KnownFolder();
// The held file's final path in UTF-8 ("\\?\C:\..."); empty when unknown,
// with FinalPathError the system's reason, or 0 where the system has no
// such call (Windows XP).
Text FinalPath();
unsigned long FinalPathError();

// A message box with an OK button only, no icon, captioned with the title.
// Where nobody can see the screen there is nobody to answer it: no box.
void ShowMessage(const Text& text);

// Ends the process at once with that exit code: open files closed, no unload
// handler runs.
[[noreturn]] void EndProcess(unsigned long exitCode);

}  // namespace App

// Shows the pending failure in a message box captioned with the application
// title, then ends the process with its number.
[[noreturn]] void ReportUntrappedFailure();
