#pragma once
#include "../platform/UniqueHandle.h"
#include "../text/Text.h"

// Files of a folder the process holds open, reached by name relative to that
// handle: no rename of the folder, no link on the way to it, can change
// which folder they are in.

enum class EntryOpen {
    Existing,       // only a file that is there
    New,            // only a file made now: nothing may stand under the name
    ExistingOrNew,  // the one there, else a new one
};

// Opens the file name (UTF-8, no folder part) in the folder open on folder,
// never through a reparse point, and keeps it only when it is one plain file
// by one name that the system names in that folder (the names of both
// objects, links resolved, compared). A name that holds a link, a second
// name or a folder gives an invalid handle with error kNotPlainEntry; a
// failed open, the system's error; an open that another process's oplock
// would have held, kOplockedEntry at once. Making a file never follows a
// link to make another; a file made new gets security (a descriptor, or
// null for the folder's inherited one).
UniqueFileHandle OpenFolderEntry(HANDLE folder, const Text& name, DWORD access, DWORD share, EntryOpen how,
                                 unsigned long& error, void* security = nullptr);

// ERROR_CANT_ACCESS_FILE: what stands under the name is no file of this folder alone.
constexpr unsigned long kNotPlainEntry = 1920;

// Deletes the file open on file (opened with DELETE access) by its handle.
bool DeleteOpenFile(HANDLE file);

// Gives the file open on file (opened with DELETE access) the name newName in
// the folder open on folder, replacing a file of that name; false with the
// system's error.
bool RenameOpenFile(HANDLE file, HANDLE folder, const Text& newName, unsigned long& error);
