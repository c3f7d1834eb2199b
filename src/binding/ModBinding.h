#pragma once
#include "../runtime/platform/UniqueHandle.h"
#include "../runtime/platform/Win32.h"
#include "../runtime/text/Text.h"

// Binding on the Win32 side: the manifest mode makes the record, the runner
// checks the setup program against the record it carries.
namespace ModBinding {

enum class BindResult {
    Unbound,   // the manifest asks for no elevation: the copy stays unbound
    Bound,     // record and line are set
    NoTarget,  // it asks, and no setup program lies beside the loader
    Failed,    // the setup program could not be read; raised in Err
};

// For a manifest that asks for elevation, selects the setup program as the
// runner would and makes the record that binds the copy to it, and the
// success box's line that names it ("\r\n" first).
BindResult BindCopy(const Text& manifestBytes, Text& record, Text& line);

// True when the running loader is bound: its copy must then be bound anew
// or marked unbound.
bool CarriesBinding();

// Before anything starts: 0 for an unbound copy, or a bound one whose held
// executable is the running image and has a final path where the system
// tells one. Otherwise says so where a box can be seen and returns the exit
// code (577: not its own file; else the system's reason).
unsigned long CheckOwnFile();

// The waiting instance's relaunch of its own file: a bound copy by its final
// path with CreateProcessW, an unbound one through the shell. The started
// process's handle, which the caller closes; null with error set.
HANDLE Relaunch(unsigned long& error);

// The runner's start of the setup program at targetPath and its wait: an
// unbound copy starts it through the shell; a bound one only the file it
// was bound to, checked through one open, by that file's final path. With
// wholeTree (the WAIT prefix) it also waits for every process the setup
// program's tree started (ProcessTree.h). The setup program's exit code, or
// why nothing ran (577 for another file).
unsigned long RunSetupAndWait(const Text& targetPath, HWND owner, bool wholeTree);

}  // namespace ModBinding
