#pragma once
#include "Text.h"

// What the process knows about itself, and its end.
namespace App {

constexpr const char* kTitle = "Setup Loader Application";

// Reads the executable's path once. False when the system reports no path
// or a truncated one; the loader then ends silently.
bool Initialise();

Text ArgumentText();
Text Path();          // the folder that holds the executable
Text EXEName();       // the executable's base name, as the process reports it
Text ExecutablePath();

// A message box with an OK button only, no icon, captioned with the title.
void ShowMessage(const Text& text);

// Ends the process at once: open files closed, no unload handler runs.
[[noreturn]] void EndProcess();

}  // namespace App
