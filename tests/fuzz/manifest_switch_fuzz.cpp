// Input: argument text NUL launcher name NUL folder.
#include "FuzzText.h"
#include "manifest/ManifestText.h"
#include "protocol/LauncherName.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Text arguments = NextText(data, size), name = NextText(data, size), folder = NextText(data, size);
    if (!IsManifestSwitch(ManifestSwitch(name), name)) __builtin_trap();
    if (IsManifestSwitch(arguments, name)) ManifestSuccessMessage(folder, name);
    ManifestFilesFor(folder, name);
    return 0;
}
