#pragma once
#include "../runtime/platform/UniqueHandle.h"
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

// Before the runner starts targetPath: 0 when it may, the loader being
// unbound or the file the one it was bound to, which then stays held in
// held, sharing only reads, until the caller lets go. Otherwise nothing may
// start: says so where a box can be seen and returns the exit code.
unsigned long CheckTarget(const Text& targetPath, UniqueFileHandle& held);

}  // namespace ModBinding
