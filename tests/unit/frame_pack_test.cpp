// The packed hourglass frames that the loader carries unpack to the
// committed .bmp files byte for byte, and a damaged block is refused.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "../support/BmpPixel.h"
#include "waitwindow/BmpPicture.h"
#include "waitwindow/FramePack.h"

namespace {

#include "LavaPack.inc"

using Bytes = std::vector<uint8_t>;

Bytes committedFrames() {
    Bytes all;
    for (int i = 0; i < 8; ++i) {
        std::ifstream f(std::filesystem::path(ARTWORK_ROOT) / "src" / "waitwindow" / "frames" /
                            ("lava" + std::to_string(i) + ".bmp"),
                        std::ios::binary);
        all.insert(all.end(), std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    }
    return all;
}

TEST(FramePack, UnpacksToTheCommittedFrames) {
    const Bytes want = committedFrames();
    ASSERT_EQ(want.size(), kLavaFileOffsets[8]);
    Bytes got(want.size());
    ASSERT_TRUE(UnpackFrameFiles(kLavaPacked, sizeof kLavaPacked, kLavaFileOffsets, kLavaStored, 8, kLavaTurnedFrom,
                                 got.data()));
    EXPECT_TRUE(got == want);
    EXPECT_LT(sizeof kLavaPacked, want.size() / 16) << "the frames should pack well";
}

// Small blocks, written with pack_frames.py's RangeEncoder.
const uint8_t kFiveA[] = {0x00, 0x20, 0xC2, 0xF5, 0x74, 0x00, 0x00, 0x00};       // 'A', a copy of 4 from 1 back
const uint8_t kTooFarBack[] = {0x00, 0x20, 0xC3, 0xEC, 0xBA, 0x00, 0x00, 0x00};  // 'A', a copy from 2 back
const uint8_t kRepeatFirst[] = {0x00, 0xC0, 0x07, 0xFC, 0x00, 0x00, 0x00};       // a repeat of no distance yet
const uint8_t kBitLength17[] = {0x00, 0x20, 0xD2, 0xEF, 0xE1, 0x00, 0x00};       // 'A', a distance of 17 bits
const uint8_t kAbc[] = {0x00, 0x20, 0x91, 0x09, 0x55, 0x1D, 0x7C, 0xA5, 0x00};   // three literals

TEST(FramePack, RefusesDamagedBlocks) {
    // Guard bytes follow each output, and must stay untouched however long the block runs.
    Bytes out;
    auto unpack = [&out](const uint8_t* in, size_t inSize, size_t outSize) {
        out.assign(outSize + 16, 0xEE);
        bool ok = UnpackFrames(in, inSize, out.data(), outSize);
        EXPECT_EQ(std::count(out.begin() + outSize, out.end(), 0xEE), 16) << "wrote past " << outSize;
        return ok;
    };
    const size_t stored = kLavaFileOffsets[kLavaStored];
    EXPECT_TRUE(unpack(kLavaPacked, sizeof kLavaPacked, stored));
    // Short of the frames, beyond them, cut off, with a byte more, with a byte changed.
    EXPECT_FALSE(unpack(kLavaPacked, sizeof kLavaPacked, stored + 1));
    EXPECT_FALSE(unpack(kLavaPacked, sizeof kLavaPacked, stored - 2));
    EXPECT_FALSE(unpack(kLavaPacked, sizeof kLavaPacked - 1, stored));
    Bytes changed(kLavaPacked, kLavaPacked + sizeof kLavaPacked);
    changed.push_back(0);
    EXPECT_FALSE(unpack(changed.data(), changed.size(), stored));
    changed.pop_back();
    changed[changed.size() / 2] ^= 0x10;
    EXPECT_FALSE(unpack(changed.data(), changed.size(), stored));

    EXPECT_TRUE(unpack(kFiveA, sizeof kFiveA, 5));
    EXPECT_EQ(std::string(out.begin(), out.begin() + 5), "AAAAA");
    EXPECT_FALSE(unpack(kFiveA, sizeof kFiveA, 4));  // a copy past the end
    EXPECT_FALSE(unpack(kTooFarBack, sizeof kTooFarBack, 5));
    EXPECT_FALSE(unpack(kRepeatFirst, sizeof kRepeatFirst, 3));
    EXPECT_FALSE(unpack(kBitLength17, sizeof kBitLength17, 1 << 17));
    EXPECT_TRUE(unpack(kAbc, sizeof kAbc, 3));
    EXPECT_FALSE(unpack(kAbc, sizeof kAbc, 2));  // literals past the end

    // A frame turned from one that is no picture, or after a block that does not unpack.
    const uint32_t offsets[] = {0, 5, 10};
    const int turnedFrom[] = {0};
    uint8_t files[10];
    EXPECT_FALSE(UnpackFrameFiles(kFiveA, sizeof kFiveA, offsets, 1, 2, turnedFrom, files));
    EXPECT_FALSE(UnpackFrameFiles(kFiveA, sizeof kFiveA - 1, offsets, 1, 1, turnedFrom, files));
}

// A picture 3 wide and 2 high turns into one 2 wide and 3 high, its top row
// on the right; what does not read as a picture, or whose turned rows do not
// fit, is refused and nothing is written.
TEST(FramePack, TurnsPicturesAQuarterTurnClockwise) {
    auto bmp = [](int width, int height, size_t size) {
        Bytes file(size, 0);
        file[0] = 'B', file[1] = 'M', file[10] = 54, file[14] = 40, file[18] = static_cast<uint8_t>(width);
        file[22] = static_cast<uint8_t>(height), file[26] = 1, file[28] = 24;
        return file;
    };
    Bytes from = bmp(3, 2, 54 + 24);
    for (int i = 0; i < 6; ++i)
        from[54 + (i / 3) * 12 + (i % 3) * 3] = static_cast<uint8_t>('a' + i);  // bottom row a b c
    Bytes to(from.size(), 0xEE);
    ASSERT_TRUE(TurnBmp(from.data(), from.size(), to.data()));
    BmpPicture turned;
    ASSERT_TRUE(ReadBmp(to.data(), to.size(), turned));
    EXPECT_EQ(turned.width, 2);
    EXPECT_EQ(turned.height, 3);
    std::string seen;  // blue channel, row by row from the top
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 2; ++x) seen += static_cast<char>(BmpPixelRgb(turned, x, y) & 0xFF);
    EXPECT_EQ(seen, "adbecf");

    Bytes untouched(from.size(), 0xEE);
    from[28] = 8;  // not 24 bits a pixel
    EXPECT_FALSE(TurnBmp(from.data(), from.size(), untouched.data()));
    Bytes wide = bmp(4, 1, 54 + 12);  // one row of 12 bytes; turned, four rows of 4
    EXPECT_FALSE(TurnBmp(wide.data(), wide.size(), untouched.data()));
    EXPECT_EQ(std::count(untouched.begin(), untouched.end(), 0xEE), static_cast<std::ptrdiff_t>(untouched.size()));
}

}  // namespace
