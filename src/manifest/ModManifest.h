#pragma once
#include "../runtime/text/Text.h"
#include "ManifestText.h"

// The packaging aid: writes a copy of the loader with the manifest that lies
// beside it embedded as the copy's application manifest.
namespace ModManifest {

// Runs the whole mode, reports the result in a message box and ends the process.
[[noreturn]] void RunManifestMode();

// Writes files.copy: the loader's bytes with manifest as their application
// manifest and binding as their binding record (empty: the copy is unbound),
// every other resource kept. The copy is made whole in memory, written as
// files.partial through one handle that creates it and takes it into place.
// False, with the failure raised in Err and no partial left, otherwise.
bool WriteCopy(const ManifestFiles& files, const Text& manifest, const Text& binding);

}  // namespace ModManifest
