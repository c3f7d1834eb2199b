#pragma once
#include "../runtime/platform/Win32.h"

// The loader's own folder, where its marker lives and whose runner lock it
// takes: the folder the process holds open (an invalid handle when it could
// not). Its files are reached relative to the handle, so no rename or link
// can move them.
struct OwnFolder {
    HANDLE handle = INVALID_HANDLE_VALUE;
};
OwnFolder OwnFolderNow();
