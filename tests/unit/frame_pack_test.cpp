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
    // Guard bytes follow each output, and must stay untouched however long the block runs.
    Bytes out;
    auto unpack = [&out](const uint8_t* in, size_t inSize, size_t outSize) {
        out.assign(outSize + 16, 0xEE);
        bool ok = UnpackFrames(in, inSize, out.data(), outSize);
        EXPECT_EQ(std::count(out.begin() + outSize, out.end(), 0xEE), 16) << "wrote past " << outSize;
        return ok;
    };
    // Short of the frames, beyond them, and cut off inside a copy.
    EXPECT_FALSE(unpack(kLavaPacked, sizeof kLavaPacked, kLavaFileOffsets[8] + 1));
    EXPECT_FALSE(unpack(kLavaPacked, sizeof kLavaPacked, kLavaFileOffsets[8] - 2));
    // A flag byte announcing a copy, then a copy from before the start.
    const uint8_t tooFarBack[] = {0x02, 'A', 0x02, 0x00, 0x00};
    EXPECT_FALSE(unpack(tooFarBack, sizeof tooFarBack, 5));
    const uint8_t fine[] = {0x02, 'A', 0x01, 0x00, 0x00};
    EXPECT_TRUE(unpack(fine, sizeof fine, 5));
    EXPECT_EQ(std::string(out.begin(), out.begin() + 5), "AAAAA");
    EXPECT_FALSE(unpack(fine, sizeof fine - 1, 5));
    EXPECT_FALSE(unpack(fine, sizeof fine, 4));  // a copy past the end
    const uint8_t literals[] = {0x00, 'A', 'B', 'C'};
    EXPECT_FALSE(unpack(literals, sizeof literals, 2));  // literals past the end
}

}  // namespace
