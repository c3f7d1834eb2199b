#pragma once
#include "../runtime/text/Text.h"

// The paths, messages and plain decisions of the manifest embedding mode.
struct ManifestFiles {
    Text manifest;  // folder\name.exe.manifest
    Text loader;    // folder\name.exe
    Text copy;      // folder\name_new.exe
    // folder\name_new.exe.tmp: the copy while it is made. Only a finished
    // copy takes the copy's name, so a failed run leaves nothing a packager
    // could ship by mistake. No longer than the manifest's name, so that it
    // fits wherever the folder was chosen to fit.
    Text partial;
};

ManifestFiles ManifestFilesFor(const Text& appFolder, const Text& launcherName);

extern const char kManifestNotFound[];
Text ManifestSuccessMessage(const Text& appFolder, const Text& launcherName);
// An empty manifest is refused rather than embedded as nothing.
Text ManifestEmptyMessage(const Text& manifestPath);
// Says that no copy was written, and why.
Text ManifestNotWrittenMessage(const Text& copyPath, const Text& failure);

// A manifest that is a link or another file's second name: nothing is read through it.
Text ManifestLinkedMessage(const Text& manifestPath);

// True for the system's error codes that mean another program (an on-access
// scanner, an indexer) has the file open or mapped for a moment.
bool IsHeldByAnotherProgram(unsigned long errorCode);
