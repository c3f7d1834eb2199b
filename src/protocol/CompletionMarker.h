#pragma once
#include <stdint.h>

#include "OwnFolder.h"

// The file "done" in the loader's folder, whose presence tells a waiting
// window that the setup program has ended. It is written, deleted and read
// only as one plain file by one name in the held folder: a "done" that is a
// link, has a second name or is a folder is left alone, since through it the
// write would land on some other file. Every failure is ignored.
void WriteCompletionMarker(const OwnFolder& folder);
bool DeleteCompletionMarker(const OwnFolder& folder);
// The marker's last-write time; false when there is no marker file.
bool CompletionMarkerTime(const OwnFolder& folder, uint64_t& writeTime);
