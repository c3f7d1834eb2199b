#pragma once
#include "../runtime/text/CodePage.h"
#include "../runtime/text/Text.h"

// Decoding of the loader's own name into the setup program beside it. The
// name is cut and case-folded by the characters of its code page (widths);
// the default, one byte a character, serves ASCII and 1252 names.

constexpr int kCandidateCount = 4;

// Candidate k (0-based) drops the first k + 3 characters of the launcher
// name. A candidate that a too-short name cannot form stays an empty path,
// which no existence test passes.
struct CandidatePaths {
    Text path[kCandidateCount];
};

CandidatePaths BuildCandidatePaths(const Text& appFolder, const Text& launcherName,
                                   const CharacterWidths& widths = CharacterWidths());

// The candidate the launcher name's prefix selects, or false when the name
// carries no recognised prefix. The prefixes are ASCII, and no lead byte is,
// so comparing bytes compares whole characters in every code page.
bool SelectTargetPath(const Text& launcherName, const CandidatePaths& candidates, Text& target);

// True for the WAIT prefix: the run lasts until the setup program and every
// process it or its descendants started have ended. The other prefixes wait
// for the setup program's process alone.
bool WaitsForWholeTree(const Text& launcherName);

// "/Add" + lower-case launcher name + "/Manifest".
Text ManifestSwitch(const Text& launcherName, const CharacterWidths& widths = CharacterWidths());
bool IsManifestSwitch(const Text& argumentText, const Text& launcherName,
                      const CharacterWidths& widths = CharacterWidths());

// folder + "\" + name, without looking at the folder's last character.
Text JoinPath(const Text& folder, const Text& name);
