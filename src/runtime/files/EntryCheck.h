#pragma once
#include "../text/Text.h"

// What a file of the loader's own folder must be before the loader writes,
// deletes or reads it: one plain file by one name, in that folder. Anything
// else (a link, a second name, a folder) would carry the write elsewhere.

// What an opened entry tells about itself.
struct EntryFacts {
    unsigned long attributes = 0;
    unsigned long links = 0;
    bool finalPathKnown = false;
    Text finalPath;  // its name as the system gives it, links resolved
};

// True when finalPath names name directly in the folder whose final path is
// folderFinalPath (a trailing backslash of a drive root allowed). The folder
// part is compared exactly, as the system reports both; the name in any ASCII
// letter case, as the file system matched it.
bool FinalPathInFolder(const Text& finalPath, const Text& folderFinalPath, const Text& name);

// True when the entry may be used: not a reparse point nor a folder, one
// link, and named in the folder (folderFinalPath: the folder's name in the
// same form). An empty folderFinalPath means the folder's name cannot be told:
// the open's refusal of reparse points and the link count guard alone.
bool IsPlainEntry(const EntryFacts& facts, const Text& folderFinalPath, const Text& name);
