#include "FramePack.h"

#include <string.h>

#include "BmpPicture.h"

namespace {

// The probabilities of the block's bits, as pack_frames.py lays them out
// (each tree uses its entries from 1 on). All start at one half.
struct Model {
    uint16_t isCopy[2], isRepeat[2], repeat[4], bitLength[32], length[256];
    uint16_t distance[17][16], literal[8][256];
};

constexpr unsigned kProbabilityBits = 11, kMoveBits = 5;

class RangeDecoder {
public:
    RangeDecoder(const uint8_t* in, size_t size) : in_(in), size_(size) {
        for (int i = 0; i < 5; ++i) code_ = code_ << 8 | Next();
    }

    unsigned Bit(uint16_t& probability) {
        if (range_ < 1u << 24) {
            range_ <<= 8;
            code_ = code_ << 8 | Next();
        }
        uint32_t bound = (range_ >> kProbabilityBits) * probability;
        if (code_ < bound) {
            range_ = bound;
            probability += ((1u << kProbabilityBits) - probability) >> kMoveBits;
            return 0;
        }
        range_ -= bound;
        code_ -= bound;
        probability -= probability >> kMoveBits;
        return 1;
    }

    // A value of `bits` bits, high first, through a binary tree of probabilities.
    unsigned Tree(uint16_t* probabilities, unsigned bits) {
        unsigned node = 1;
        while (node < 1u << bits) node = node * 2 + Bit(probabilities[node]);
        return node - (1u << bits);
    }

    // Every byte read, and none asked for past the end.
    bool ReadAll() const { return at_ == size_; }

private:
    // Past the end: zeros, and the decoder no longer counts as having read all.
    uint8_t Next() {
        if (at_ < size_) return in_[at_++];
        at_ = size_ + 1;
        return 0;
    }

    const uint8_t* in_;
    size_t size_, at_ = 0;
    uint32_t range_ = 0xFFFFFFFF, code_ = 0;
};

void PutLe32(uint8_t* p, uint32_t value) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

size_t RowBytes(int width) { return (static_cast<size_t>(width) * 3 + 3) & ~static_cast<size_t>(3); }

}  // namespace

bool UnpackFrames(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize) {
    static Model model;
    uint16_t* probabilities = &model.isCopy[0];
    for (size_t i = 0; i < sizeof model / sizeof *probabilities; ++i) probabilities[i] = 1u << (kProbabilityBits - 1);
    RangeDecoder decoder(in, inSize);
    uint32_t repeats[4] = {};
    unsigned afterCopy = 0;
    size_t done = 0;
    for (;;) {
        if (!decoder.Bit(model.isCopy[afterCopy])) {
            if (done == outSize) return false;
            unsigned previous = done ? out[done - 1] : 0;
            out[done++] = static_cast<uint8_t>(decoder.Tree(model.literal[previous >> 5], 8));
            afterCopy = 0;
            continue;
        }
        uint32_t distance = 1;
        unsigned moved = 3;  // a new distance pushes the oldest out
        if (decoder.Bit(model.isRepeat[afterCopy])) {
            moved = decoder.Tree(model.repeat, 2);
            distance = repeats[moved];
        } else {
            unsigned bitLength = decoder.Tree(model.bitLength, 5);
            if (bitLength == 0) return done == outSize && decoder.ReadAll();  // the end
            if (bitLength > 16) return false;
            for (unsigned i = bitLength - 1; i-- > 0;)
                distance = distance * 2 + decoder.Bit(model.distance[bitLength][i]);
        }
        for (; moved; --moved) repeats[moved] = repeats[moved - 1];
        repeats[0] = distance;
        size_t length = decoder.Tree(model.length, 8) + 3u;
        if (distance == 0 || distance > done || length > outSize - done) return false;
        for (; length; --length, ++done) out[done] = out[done - distance];
        afterCopy = 1;
    }
}

bool TurnBmp(const uint8_t* from, size_t size, uint8_t* to) {
    BmpPicture picture;
    if (!ReadBmp(from, size, picture)) return false;
    int width = picture.width, height = picture.height;
    size_t offset = static_cast<size_t>(picture.bits - from), fromRow = RowBytes(width), toRow = RowBytes(height);
    if (toRow * static_cast<size_t>(width) > size - offset) return false;
    memcpy(to, from, size);
    PutLe32(to + 18, static_cast<uint32_t>(height));
    PutLe32(to + 22, static_cast<uint32_t>(width));
    // A clockwise quarter turn: the source's top row becomes the right column.
    for (int y = 0; y < width; ++y)
        for (int x = 0; x < height; ++x)
            memcpy(to + offset + y * toRow + 3 * x, picture.bits + x * fromRow + 3 * (width - 1 - y), 3);
    return true;
}

bool UnpackFrameFiles(const uint8_t* in, size_t inSize, const uint32_t* offsets, int stored, int count,
                      const int* turnedFrom, uint8_t* out) {
    if (!UnpackFrames(in, inSize, out, offsets[stored])) return false;
    for (int i = stored; i < count; ++i)
        if (!TurnBmp(out + offsets[turnedFrom[i - stored]], offsets[i + 1] - offsets[i], out + offsets[i]))
            return false;
    return true;
}
