#pragma once
#include <stdint.h>

#include "Text.h"

// Pure text work on what the process reports about itself.

// The command line less the program's own path and the blanks after it;
// the rest of the line, trailing blanks included, is one text.
Text ArgumentTextFrom(const char* commandLine);

struct ModulePath {
    Text folder;    // without a trailing backslash
    Text baseName;  // file name less its last extension
};

// Splits a full executable path. False when the path has no folder or no
// file name, which the loader treats like a missing file.
bool SplitModulePath(const Text& fullPath, ModulePath& out);

// What names a folder whatever path reaches it (a drive letter or a share, a
// link or a junction, any letter case): its volume and its file id there,
// 128 bits where the system tells them (ReFS needs them all), else the
// 64-bit index.
struct FolderIdentity {
    uint64_t volumeSerial = 0;
    uint64_t fileIndex = 0;   // the file id's low 64 bits
    uint64_t fileIdHigh = 0;  // its high 64 bits
};

// The path that opens the folder itself. A drive root's folder text is "E:",
// which the system reads as E:'s current directory; its root is "E:\" (and
// the final path's "\\?\E:" is "\\?\E:\").
Text FolderToOpen(const Text& folder);

// The alias and boundary name of the elevated loaders' private namespace: a
// name of this loader's own, which no other program's namespace shares.
constexpr char kPrivateNamespaceAlias[] = "7202dc7f-a41b-4331-acac-682a07ca4903";

// Name of the kernel object that claims a folder for one setup run: one per
// folder and machine, so that loaders of one folder never run two setups at
// once, from any session and through any path. Under Global\, or in the
// elevated loaders' private namespace.
Text RunnerObjectName(const FolderIdentity& folder, bool inPrivateNamespace = false);
// The same by the folder's path, for a folder whose identity cannot be read.
Text RunnerObjectName(const Text& executablePath, bool inPrivateNamespace = false);
