#include "ManifestText.h"

#include "../protocol/LauncherName.h"

const char kManifestNotFound[] = "Manifest file not found.";

ManifestFiles ManifestFilesFor(const Text& appFolder, const Text& launcherName) {
    ManifestFiles files;
    files.manifest = JoinPath(appFolder, launcherName + ".exe.manifest");
    files.loader = JoinPath(appFolder, launcherName + ".exe");
    files.copy = JoinPath(appFolder, launcherName + "_new.exe");
    files.partial = files.copy + ".tmp";
    return files;
}

Text ManifestSuccessMessage(const Text& appFolder, const Text& launcherName) {
    return JoinPath(appFolder, launcherName) +
           "_new.exe: A copy of the setup loader has been written, with the manifest file included.";
}

Text ManifestEmptyMessage(const Text& manifestPath) {
    return manifestPath + ": The manifest file is empty; nothing was embedded.";
}

Text ManifestNotWrittenMessage(const Text& copyPath, const Text& failure) {
    return copyPath + ": No copy was written. " + failure;
}

Text ManifestLinkedMessage(const Text& manifestPath) {
    return manifestPath + ": The manifest file is a link or has a second name elsewhere; nothing was embedded.";
}

bool IsHeldByAnotherProgram(unsigned long errorCode) {
    switch (errorCode) {
    case 5:     // ERROR_ACCESS_DENIED: a file opened without delete sharing, being renamed over
    case 32:    // ERROR_SHARING_VIOLATION
    case 33:    // ERROR_LOCK_VIOLATION
    case 1224:  // ERROR_USER_MAPPED_FILE: mapped into memory while it is resized
        return true;
    default:
        return false;
    }
}
