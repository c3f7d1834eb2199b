#include "ManifestText.h"

#include "../protocol/LauncherName.h"

const char kManifestNotFound[] = "Manifest file not found.";

ManifestFiles ManifestFilesFor(const Text& appFolder, const Text& launcherName) {
    ManifestFiles files;
    files.manifest = JoinPath(appFolder, launcherName + ".exe.manifest");
    files.loader = JoinPath(appFolder, launcherName + ".exe");
    files.copy = JoinPath(appFolder, launcherName + "_new.exe");
    return files;
}

Text ManifestSuccessMessage(const Text& appFolder, const Text& launcherName) {
    return JoinPath(appFolder, launcherName) +
           "_new.exe: A copy of the setup loader has been written, with the manifest file included.";
}

Text ManifestEmptyMessage(const Text& manifestPath) {
    return manifestPath + ": The manifest file is empty; nothing was embedded.";
}

Text ManifestNotEmbeddedMessage(const Text& copyPath, const Text& failure) {
    return copyPath + ": The manifest was not embedded. " + failure;
}
