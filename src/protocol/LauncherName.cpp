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
        int headOnly;  // the candidate of a name with the head alone, or -1 for none
    };
    static const Prefix kPrefixes[] = {
        {"RUN", "RUN", 0, 0},
        {"STA", "START", 2, 0},
        {"LOA", "LOAD", 1, 0},
        {"PRJ", "PRJRUN", 3, 0},
        // Added later: a name that began with WAI selected nothing, and still does without the T.
        {"WAI", "WAIT", 1, -1},
    };
    Text head = launcherName.Left(3).ToUpperAscii();
    for (const Prefix& prefix : kPrefixes) {
        if (head != Text(prefix.head)) continue;
        Text full(prefix.full);
        int chosen = launcherName.Left(full.length()).ToUpperAscii() == full ? prefix.candidate : prefix.headOnly;
        if (chosen < 0) return false;
        target = candidates.path[chosen];
        return true;
    }
    return false;
}

bool WaitsForWholeTree(const Text& launcherName) { return launcherName.Left(4).ToUpperAscii() == Text("WAIT"); }

Text ManifestSwitch(const Text& launcherName, const CharacterWidths& widths) {
    return Text("/Add") + widths.ToLowerAscii(launcherName) + "/Manifest";
}

bool IsManifestSwitch(const Text& argumentText, const Text& launcherName, const CharacterWidths& widths) {
    return argumentText == ManifestSwitch(launcherName, widths);
}
