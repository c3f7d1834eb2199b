#include "FramePack.h"

bool UnpackFrames(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize) {
    const uint8_t* inEnd = in + inSize;
    size_t done = 0;
    unsigned flags = 0;
    while (in < inEnd) {
        // A spent flag byte leaves only the marker bit: read the next one.
        if (flags <= 1) flags = 0x100 | *in++;
        if (in == inEnd) break;
        if (flags & 1) {
            if (inEnd - in < 3) return false;
            size_t distance = in[0] | (in[1] << 8), length = in[2] + 4u;
            in += 3;
            if (distance == 0 || distance > done || length > outSize - done) return false;
            for (; length; --length, ++done) out[done] = out[done - distance];
        } else {
            if (done == outSize) return false;
            out[done++] = *in++;
        }
        flags >>= 1;
    }
    return done == outSize;
}
