#pragma once
#include "../platform/UniqueHandle.h"
#include "../text/ProcessText.h"
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

// The identity of the file (or folder) open on handle: its volume and its
// 128-bit id where the system and the file system tell them, else its 64-bit
// index. False when neither can be read, or the index is 0 (some network
// servers give every file that one).
bool ReadFileIdentity(HANDLE file, FolderIdentity& identity);

// True when both handles are open on one file, whatever paths reached it.
bool SameFile(HANDLE a, HANDLE b);
