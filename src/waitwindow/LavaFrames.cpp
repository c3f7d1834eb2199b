#include "LavaFrames.h"

#include "FramePack.h"

// The frames are built in packed (the build writes LavaPack.inc from the .bmp
// files) and unpacked once, at the first frame asked for, into memory that
// takes no room in the file. Frames that are others turned are not packed.
#include "LavaPack.inc"

static_assert(sizeof kLavaFileOffsets / sizeof kLavaFileOffsets[0] == kFrameCount + 1, "one file per frame");

namespace {

constexpr bool TurnedFramesKeepTheirSize() {
    for (int i = kLavaStored; i < kFrameCount; ++i) {
        int from = kLavaTurnedFrom[i - kLavaStored];
        if (kLavaFileOffsets[i + 1] - kLavaFileOffsets[i] != kLavaFileOffsets[from + 1] - kLavaFileOffsets[from])
            return false;
    }
    return true;
}
static_assert(TurnedFramesKeepTheirSize(), "a turned frame has the size of its source");

// In .bss by name: with one section per variable the compiler would put it,
// zeros and all, into the file's initialised data.
__attribute__((section(".bss"))) uint8_t unpacked[kLavaFileOffsets[kFrameCount]];

}  // namespace

const BmpPicture& LavaFrame(int index) {
    static BmpPicture pictures[kFrameCount];
    static bool read;
    // Frames that do not unpack or read as pictures stay empty (0 x 0) and draw nothing.
    if (!read) {
        read = true;
        if (UnpackFrameFiles(kLavaPacked, sizeof kLavaPacked, kLavaFileOffsets, kLavaStored, kFrameCount,
                             kLavaTurnedFrom, unpacked))
            for (int i = 0; i < kFrameCount; ++i)
                ReadBmp(unpacked + kLavaFileOffsets[i], kLavaFileOffsets[i + 1] - kLavaFileOffsets[i], pictures[i]);
    }
    return pictures[index];
}
