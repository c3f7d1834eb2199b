#pragma once
#include "../runtime/platform/Win32.h"
#include "../runtime/text/Text.h"

// The loader's own folder, where its marker lives and whose runner lock it
// takes: the folder the process holds (invalid handle when it could not),
// and its final path (UTF-8, empty where the system tells none). Its files
// are reached relative to the handle, so no rename or link can move them.
struct OwnFolder {
    HANDLE handle = INVALID_HANDLE_VALUE;
    Text path;
};
OwnFolder OwnFolderNow();
