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

// Name of the kernel object that marks a running process of one executable:
// every process of the same file, however its path is cased, gets the same
// name, and other files get other names.
Text InstanceObjectName(const Text& executablePath);

// Name of the kernel object that a runner holds while it works: one per
// folder, so that loaders of one folder never run two setups at once.
Text RunnerObjectName(const Text& executablePath);
