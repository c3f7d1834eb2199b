#pragma once
#include <stdint.h>

#include "../runtime/platform/UniqueHandle.h"
#include "../runtime/platform/Win32.h"
#include "../runtime/text/Text.h"

class SetupTree;

// Truth values as the loader's procedures pass them: true -1, false 0.
using VBool = int16_t;
constexpr VBool kTrue = -1;
constexpr VBool kFalse = 0;

// The file and shell helpers; all text goes through the ANSI entry points.
namespace ModShell {

// True when the path names an existing file that is not a folder; any
// failure of the query is false.
VBool FileExists(const Text& path);

// Starts the loader's own file (path: UTF-8) again through the shell with the
// verb "open", owned by the hidden window, and returns at once with the
// started process's handle, which the caller closes; null when nothing was
// started. error is 0 when the shell started it, else the system's error
// code. Reports nothing.
HANDLE ShellOpen(const Text& path, unsigned long& error);

// ShellExecuteEx, then blocks until the started process has ended. Returns
// the shell's success value, or the system error code when the launch failed.
// exitCode receives the started process's exit code, or that error code.
// A file held for the start (heldUntilEnded) is let go once the started
// program has ended.
long ShellExecuteAndWait(HWND owner, const Text& verb, const Text& file, const Text& parameters, const Text& folder,
                         long show, unsigned long& exitCode, UniqueFileHandle* heldUntilEnded = nullptr);

// Starts the file at path (UTF-8) with CreateProcessW, never through the
// shell: no class registration of the user's can come between. The show
// command goes through STARTUPINFO. With a folder the program starts there,
// in this process's environment less __COMPAT_LAYER; without one it
// inherits both. It starts suspended and runs only once its image is known
// to be the file open on image: whatever a name did meanwhile, nothing else
// runs (it is ended, and error is 577). Joins tree, if given, while still
// suspended. Returns the started process's handle, which the caller closes,
// or null with the system's error in error.
HANDLE StartExact(const Text& path, const Text& folder, long show, HANDLE image, unsigned long& error,
                  SetupTree* tree = nullptr);

// Blocks until the process has ended, answering the messages sent to this
// thread meanwhile; its exit code, or fallback when it cannot be read.
unsigned long WaitForExitCode(HANDLE process, unsigned long fallback);

}  // namespace ModShell
