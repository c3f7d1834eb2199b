#pragma once
#include "../runtime/text/Text.h"

// The packaging aid: writes a copy of the loader with the manifest that lies
// beside it embedded as the copy's application manifest.
namespace ModManifest {

// Runs the whole mode, reports the result in a message box and ends the process.
[[noreturn]] void RunManifestMode();

enum class EmbedResult {
    Embedded,
    ReadFailed,    // the manifest could not be read; the copy is untouched
    Empty,         // the manifest has no bytes; the copy is untouched
    UpdateFailed,  // the copy's resources could not be rewritten
};

// Embeds the bytes of executablePath + ".manifest" into the executable at
// copyPath as its application manifest, keeping every other resource, and
// with it the binding record when one is given (else the copy is unbound). A
// failure is also raised in Err, naming the file or the step.
EmbedResult EmbedManifest(const Text& executablePath, const Text& copyPath, const Text& binding = Text());

}  // namespace ModManifest
