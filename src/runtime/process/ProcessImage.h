#pragma once
#include "../platform/Win32.h"

// What the loader can tell about another process through a handle it holds.

// The process that started this one, opened to wait on and to query; null
// when it cannot be opened. createdFirst tells whether it was created before
// this one: otherwise its id was given to another process since. The caller
// closes it.
HANDLE OpenParentProcess(bool& createdFirst);

// True when the process's image is the very file open on file: the image's
// path, read now, opens that file (same volume and id). False also when it
// cannot be told.
bool ProcessImageIs(HANDLE process, HANDLE file);

// True when the folder of the process's image path, read now, is the folder
// open on folder (same volume and id). False also when it cannot be told.
bool ProcessFolderIs(HANDLE process, HANDLE folder);
