// Input: a 4-byte little-endian output size, then a packed frame block (the
// loader unpacks the one it carries at every start).
#include <stdlib.h>

#include "waitwindow/FramePack.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    uint32_t declared = data[0] | data[1] << 8 | uint32_t{data[2]} << 16 | uint32_t{data[3]} << 24;
    size_t outSize = declared % (1u << 20);  // bounded: the frames are far smaller
    // Exactly outSize bytes of heap, so a write past them trips AddressSanitizer.
    auto* out = static_cast<uint8_t*>(malloc(outSize ? outSize : 1));
    UnpackFrames(data + 4, size - 4, out, outSize);
    free(out);
    return 0;
}
