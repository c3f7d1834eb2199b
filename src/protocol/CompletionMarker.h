#pragma once
#include "../runtime/text/Text.h"
#include "LauncherName.h"

// The file whose presence tells the waiting window that the setup program
// has ended.
inline Text MarkerPath(const Text& appFolder) { return JoinPath(appFolder, "done"); }

constexpr int kMarkerChannel = 2;

// Leaves the marker; every failure is ignored.
void WriteCompletionMarker(const Text& appFolder);
