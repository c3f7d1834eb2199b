#pragma once
#include "../platform/UniqueHandle.h"
#include "../text/Text.h"

// Opens an existing file for reading, sharing only reads: while the handle is
// held nobody can write, rename or delete the file. Invalid when it cannot be
// opened, with the system's code left in GetLastError.
UniqueFileHandle OpenSharingOnlyReads(const Text& path);

// The SHA-256 of the whole file open on handle, read from its start, in hex.
// False when it cannot be read to its end, with the system's code left.
bool HashOpenFile(HANDLE file, Text& sha256);
