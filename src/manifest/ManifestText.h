#pragma once
#include "../runtime/Text.h"

// The paths and messages of the manifest embedding mode.
struct ManifestFiles {
    Text manifest;  // folder\name.exe.manifest
    Text loader;    // folder\name.exe
    Text copy;      // folder\name_new.exe
};

ManifestFiles ManifestFilesFor(const Text& appFolder, const Text& launcherName);

extern const char kManifestNotFound[];
Text ManifestSuccessMessage(const Text& appFolder, const Text& launcherName);
// An empty manifest is refused rather than embedded as nothing.
Text ManifestEmptyMessage(const Text& manifestPath);
// Says that the copy carries no new manifest, and why.
Text ManifestNotEmbeddedMessage(const Text& copyPath, const Text& failure);
