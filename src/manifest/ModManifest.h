#pragma once
#include "../runtime/platform/Win32.h"
#include "../runtime/text/Text.h"
#include "ManifestText.h"

// The packaging aid: writes a copy of the loader with the manifest that lies
// beside it embedded as the copy's application manifest.
namespace ModManifest {

// Runs the whole mode, reports the result in a message box and ends the process.
[[noreturn]] void RunManifestMode();

// Where the mode works: the folder held open and a path that names it (its
// final path, else its long path, prefixed), the loader held open, and the UTF-8 names of the
// manifest, the copy and the copy in the making in that folder. Every file is
// reached through these: no link or rename can lead a write or a read
// elsewhere.
struct CopyPlace {
    HANDLE folder = INVALID_HANDLE_VALUE;
    Text folderPath;
    HANDLE loader = INVALID_HANDLE_VALUE;
    Text manifestName, copyName, partialName;
};
// The process's own: its held folder and executable.
CopyPlace OwnPlace();

// Writes files.copy (files name them in messages): the loader's bytes with manifest as their application
// manifest and binding as their binding record (empty: the copy is unbound),
// every other resource kept. The copy is made whole in memory, written as
// files.partial through one handle that creates it and takes it into place.
// The partial is made new, as one plain file of the folder, and renamed by
// its handle. False, with the failure raised in Err and no partial left,
// otherwise.
bool WriteCopy(const ManifestFiles& files, const CopyPlace& place, const Text& manifest, const Text& binding);

}  // namespace ModManifest
