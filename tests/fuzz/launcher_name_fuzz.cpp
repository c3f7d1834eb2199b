// Input: folder NUL launcher name.
#include "FuzzText.h"
#include "protocol/LauncherName.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Text folder = NextText(data, size), name = NextText(data, size);
    CandidatePaths candidates = BuildCandidatePaths(folder, name);
    Text target;
    if (!SelectTargetPath(name, candidates, target)) return 0;
    for (const Text& path : candidates.path)
        if (path == target && !path.empty()) return 0;
    __builtin_trap();  // a recognised prefix picked no candidate it can run
}
