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
    ASSERT_TRUE(UnpackFrames(kLavaPacked, sizeof kLavaPacked, got.data(), got.size()));
    EXPECT_TRUE(got == want);
    EXPECT_LT(sizeof kLavaPacked, want.size() / 4) << "the frames should pack well";
}

TEST(FramePack, RefusesDamagedBlocks) {
    const size_t frames = kLavaFileOffsets[8];
    const uint8_t tooFarBack[] = {0x02, 'A', 0x02, 0x00, 0x00};  // a copy from before the start
    const uint8_t fine[] = {0x02, 'A', 0x01, 0x00, 0x00};        // 'A', then a copy of it four times
    const uint8_t literals[] = {0x00, 'A', 'B', 'C'};
    const struct {
        const uint8_t* in;
        size_t inSize, outSize;
        bool ok;
    } cases[] = {
        {kLavaPacked, sizeof kLavaPacked, frames + 1, false},  // short of the frames
        {kLavaPacked, sizeof kLavaPacked, frames - 2, false},  // beyond them
        {tooFarBack, sizeof tooFarBack, 5, false},
        {fine, sizeof fine, 5, true},
        {fine, sizeof fine - 1, 5, false},  // cut off inside a copy
        {fine, sizeof fine, 4, false},      // a copy beyond the end
        {literals, sizeof literals, 2, false},
    };
    const Bytes guard(16, 0xEE);
    for (const auto& c : cases) {
        // The bytes past outSize must stay untouched, however long the block runs.
        Bytes out(c.outSize);
        out.insert(out.end(), guard.begin(), guard.end());
        EXPECT_EQ(UnpackFrames(c.in, c.inSize, out.data(), c.outSize), c.ok) << c.outSize;
        EXPECT_TRUE(std::equal(guard.begin(), guard.end(), out.begin() + c.outSize)) << c.outSize;
        if (c.ok) EXPECT_EQ(std::string(out.begin(), out.begin() + 5), "AAAAA");
    }
}

}  // namespace
