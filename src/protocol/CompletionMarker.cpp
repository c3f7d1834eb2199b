#include "CompletionMarker.h"

#include "../runtime/files/Files.h"
#include "../runtime/platform/Err.h"

void WriteCompletionMarker(const Text& appFolder) {
    // A failing step is skipped: only the file's presence matters to anyone.
    Err::Clear();
    Files::OpenForOutput(kMarkerChannel, MarkerPath(appFolder));
    Files::WriteFieldLine(kMarkerChannel, "done");
    Files::Close(kMarkerChannel);
}
