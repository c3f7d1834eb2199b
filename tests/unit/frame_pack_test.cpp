// The packed hourglass frames that the loader carries unpack to the
// committed .bmp files byte for byte, and a damaged block is refused.

#include <gtest/gtest.h>

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
    Bytes out(kLavaFileOffsets[8] + 1);
    // Short of the frames, beyond them, and cut off inside a copy.
    EXPECT_FALSE(UnpackFrames(kLavaPacked, sizeof kLavaPacked, out.data(), out.size()));
    EXPECT_FALSE(UnpackFrames(kLavaPacked, sizeof kLavaPacked, out.data(), out.size() - 2));
    // A flag byte announcing a copy, then a copy from before the start.
    const uint8_t tooFarBack[] = {0x02, 'A', 0x02, 0x00, 0x00};
    EXPECT_FALSE(UnpackFrames(tooFarBack, sizeof tooFarBack, out.data(), 5));
    const uint8_t fine[] = {0x02, 'A', 0x01, 0x00, 0x00};
    EXPECT_TRUE(UnpackFrames(fine, sizeof fine, out.data(), 5));
    EXPECT_EQ(std::string(out.begin(), out.begin() + 5), "AAAAA");
    EXPECT_FALSE(UnpackFrames(fine, sizeof fine - 1, out.data(), 5));
}

}  // namespace
