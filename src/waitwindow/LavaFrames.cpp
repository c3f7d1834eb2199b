#include "LavaFrames.h"

// The frames are built in as plain read-only data, the .bmp files byte for
// byte; the build names their folder in LAVA_FRAMES_DIR and recompiles this
// file when one of them changes.
#define LAVA_FRAME(n)                                                                                   \
    "lava_frame" #n ":\n.incbin \"" LAVA_FRAMES_DIR "/lava" #n ".bmp\"\nlava_frame" #n "_end:\n" \
    ".balign 4\n"
asm(".section .rdata$lava,\"dr\"\n.balign 4\n" LAVA_FRAME(0) LAVA_FRAME(1) LAVA_FRAME(2) LAVA_FRAME(3)
        LAVA_FRAME(4) LAVA_FRAME(5) LAVA_FRAME(6) LAVA_FRAME(7) ".text\n");

#define LAVA_FILE(n)                                      \
    extern const uint8_t kLava##n[] asm("lava_frame" #n); \
    extern const uint8_t kLava##n##End[] asm("lava_frame" #n "_end");
LAVA_FILE(0) LAVA_FILE(1) LAVA_FILE(2) LAVA_FILE(3) LAVA_FILE(4) LAVA_FILE(5) LAVA_FILE(6) LAVA_FILE(7)

namespace {

struct FileBytes {
    const uint8_t* begin;
    const uint8_t* end;
};

const FileBytes kFiles[kFrameCount] = {
    {kLava0, kLava0End}, {kLava1, kLava1End}, {kLava2, kLava2End}, {kLava3, kLava3End},
    {kLava4, kLava4End}, {kLava5, kLava5End}, {kLava6, kLava6End}, {kLava7, kLava7End},
};

}  // namespace

const BmpPicture& LavaFrame(int index) {
    static BmpPicture pictures[kFrameCount];
    static bool read[kFrameCount];
    // A frame that does not read as a picture stays empty (0 x 0) and draws nothing.
    if (!read[index]) {
        read[index] = true;
        ReadBmp(kFiles[index].begin, static_cast<size_t>(kFiles[index].end - kFiles[index].begin), pictures[index]);
    }
    return pictures[index];
}
