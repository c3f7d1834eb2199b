#pragma once
#include "../text/AnsiPath.h"
#include "../text/CodePage.h"
#include "../text/Text.h"

// Where the running executable lives, read with the wide calls.
struct ProcessLocation {
    // The executable's long path in UTF-8: the same however the process was
    // started (long or short path), so every process of one file agrees on it.
    Text identity;
    Text folder;    // ANSI folder for the platform calls, long or 8.3
    Text baseName;  // ANSI launcher name, from the long file name
    // How the ANSI code page splits baseName into characters.
    CharacterWidths ansiWidths;
    // When not empty, the folder or name cannot be used: the UTF-8 message
    // that says which and why, and the exit code that says it to a program.
    Text refusal;
    unsigned long refusalCode = 0;
};

// False when the system reports no path, or only a truncated one.
bool LocateProcess(ProcessLocation& out);

// A wide text in a code page (CP_ACP: the ANSI one); exact when every
// character is represented and the text converts back unchanged.
AnsiText FromWide(const wchar_t* text, int length, unsigned codePage);

// FileExists for a UTF-8 path, through the wide calls: it reaches files in
// folders that the ANSI calls cannot name.
bool Utf8FileExists(const Text& path);

// A message box like App::ShowMessage, for UTF-8 text, so that a folder the
// code page cannot hold is still named as it is. No box where nobody sees it.
void ShowUtf8Message(const Text& text, const char* title);
