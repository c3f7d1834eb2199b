#pragma once
#include <stdint.h>

#include "../runtime/text/Text.h"
#include "LauncherName.h"
#include "OwnFolder.h"

// The file whose presence tells the waiting window that the setup program
// has ended.
inline Text MarkerPath(const Text& appFolder) { return JoinPath(appFolder, "done"); }

constexpr int kMarkerChannel = 2;

// Leaves the marker; every failure is ignored. In a folder by its final path, a "done"
// that is a link or has another name too is neither written nor deleted:
// through it the write would land on some other file.
void WriteCompletionMarker(const OwnFolder& folder);
bool DeleteCompletionMarker(const OwnFolder& folder);
// The marker's last-write time; false when there is no marker file.
bool CompletionMarkerTime(const OwnFolder& folder, uint64_t& writeTime);
