#include "LauncherName.h"

Text JoinPath(const Text& folder, const Text& name) { return folder + "\\" + name; }

CandidatePaths BuildCandidatePaths(const Text& appFolder, const Text& launcherName, const CharacterWidths& widths) {
    CandidatePaths result;
    Text rest;
    for (int k = 0; k < kCandidateCount; ++k) {
        if (widths.DropCharacters(launcherName, static_cast<size_t>(k) + 3, rest))
            result.path[k] = JoinPath(appFolder, rest + ".exe");
    }
    return result;
}

bool SelectTargetPath(const Text& launcherName, const CandidatePaths& candidates, Text& target) {
    struct Prefix {
        const char* head;  // the first three letters
        const char* full;  // the whole prefix that selects its own candidate
        int candidate;
    };
    static const Prefix kPrefixes[] = {
        {"RUN", "RUN", 0},
        {"STA", "START", 2},
        {"LOA", "LOAD", 1},
        {"PRJ", "PRJRUN", 3},
    };
    Text head = launcherName.Left(3).ToUpperAscii();
    for (const Prefix& prefix : kPrefixes) {
        if (head != Text(prefix.head)) continue;
        Text full(prefix.full);
        int chosen = launcherName.Left(full.length()).ToUpperAscii() == full ? prefix.candidate : 0;
        target = candidates.path[chosen];
        return true;
    }
    return false;
}

Text ManifestSwitch(const Text& launcherName, const CharacterWidths& widths) {
    return Text("/Add") + widths.ToLowerAscii(launcherName) + "/Manifest";
}

bool IsManifestSwitch(const Text& argumentText, const Text& launcherName, const CharacterWidths& widths) {
    return argumentText == ManifestSwitch(launcherName, widths);
}
