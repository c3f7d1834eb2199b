#pragma once
#include "../runtime/Text.h"

// Decoding of the loader's own name into the setup program beside it.

constexpr int kCandidateCount = 4;

// Candidate k (0-based) drops the first k + 3 characters of the launcher
// name. A candidate that a too-short name cannot form stays an empty path,
// which no existence test passes.
struct CandidatePaths {
    Text path[kCandidateCount];
};

CandidatePaths BuildCandidatePaths(const Text& appFolder, const Text& launcherName);

// The candidate the launcher name's prefix selects, or false when the name
// carries no recognised prefix.
bool SelectTargetPath(const Text& launcherName, const CandidatePaths& candidates, Text& target);

// "/Add" + lower-case launcher name + "/Manifest".
Text ManifestSwitch(const Text& launcherName);
bool IsManifestSwitch(const Text& argumentText, const Text& launcherName);

// folder + "\" + name, without looking at the folder's last character.
Text JoinPath(const Text& folder, const Text& name);
