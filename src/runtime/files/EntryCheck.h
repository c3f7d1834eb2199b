#pragma once
#include <stdint.h>

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

// How the loader opens a file of its folder (NtCreateFile's options): never
// through a reparse point, synchronously, and never waiting on another
// process. An open that would break another open's exclusive oplock
// (Level 1, Batch, or one with handle caching) waits, without
// FILE_COMPLETE_IF_OPLOCKED, until that process acknowledges the break,
// which it may never do; with it, the open completes at once with
// STATUS_OPLOCK_BREAK_IN_PROGRESS, and the loader lets go of that handle
// before anything on it could wait.
constexpr unsigned long kEntryCreateOptions = 0x20 /* FILE_SYNCHRONOUS_IO_NONALERT */ |
                                              0x100 /* FILE_COMPLETE_IF_OPLOCKED */ |
                                              0x200000 /* FILE_OPEN_REPARSE_POINT */;
// What to make of NtCreateFile's status for such an open: 0 to use the
// handle; else the error it ends with: kOplockedEntry for an open that
// completed while another process's oplock was being broken, the status's
// own error (errorOfStatus) for a failure.
constexpr unsigned long kOplockedEntry = 742;  // ERROR_OPLOCK_BREAK_IN_PROGRESS
unsigned long EntryOpenError(int32_t status, unsigned long errorOfStatus);

// The security of a marker the loader makes in its folder: SYSTEM,
// Administrators and its creator (creatorSid, in string form) alone, none
// inherited from the folder. Nobody else can open it, and so nobody else can
// hold an oplock on it.
Text CreatorOnlySecurity(const Text& creatorSid);
