#pragma once
#include "../platform/UniqueHandle.h"
#include "../text/Text.h"

// What an open file tells about itself, whatever path reached it.

// OpenSharingOnlyReads for a UTF-8 path, through the wide calls.
UniqueFileHandle OpenWideSharingOnlyReads(const Text& path);

// True when the file open on handle is the one this process runs from: a
// view of it and the running module are one file to the system. False also
// when it cannot be told.
bool IsRunningImage(HANDLE file);

// The file's final path (UTF-8, as the system gives it: "\\?\C:\..." or
// "\\?\UNC\..."), links and junctions resolved. False with error 0 where the
// system has no such call (Windows XP), else with the system's error.
bool FinalPathOf(HANDLE file, Text& path, unsigned long& error);
