// Checks the committed artwork (hourglass frames and application icon) and
// that the generator in tools/artgen still reproduces it exactly.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#ifndef ARTWORK_ROOT
#error "ARTWORK_ROOT must name the repository root"
#endif
#ifndef ARTGEN_EXE
#error "ARTGEN_EXE must name the built artwork generator"
#endif

namespace {

namespace fs = std::filesystem;

using Bytes = std::vector<uint8_t>;

Bytes readAll(const fs::path& path) {
    std::ifstream f(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

uint32_t le16(const Bytes& d, size_t at) { return d[at] | (d[at + 1] << 8); }
uint32_t le32(const Bytes& d, size_t at) { return le16(d, at) | (le16(d, at + 2) << 16); }
int32_t sle32(const Bytes& d, size_t at) { return static_cast<int32_t>(le32(d, at)); }

fs::path framePath(int i) {
    return fs::path(ARTWORK_ROOT) / "src" / "waitwindow" / "frames" / ("lava" + std::to_string(i) + ".bmp");
}
fs::path iconPath() { return fs::path(ARTWORK_ROOT) / "resources" / "app.ico"; }

struct Rgb {
    int r, g, b;
};

struct Bitmap {
    int width = 0, height = 0, bits = 0;
    std::vector<Rgb> px;  // top-down
    Rgb at(int x, int y) const { return px[static_cast<size_t>(y) * width + x]; }
};

// Reads an uncompressed 24-bit bottom-up BMP; returns an error text or "".
std::string loadBmp(const fs::path& path, Bitmap& out) {
    Bytes d = readAll(path);
    if (d.size() < 54) return "file too short: " + path.string();
    if (d[0] != 'B' || d[1] != 'M') return "no BM signature";
    if (le32(d, 2) != d.size()) return "file size field does not match the file";
    if (le32(d, 14) != 40) return "info header is not 40 bytes";
    out.width = sle32(d, 18);
    out.height = sle32(d, 22);
    out.bits = static_cast<int>(le16(d, 28));
    if (le32(d, 30) != 0) return "compressed";
    if (out.bits != 24) return "not 24 bits per pixel";
    if (out.width <= 0 || out.height <= 0) return "expected positive (bottom-up) dimensions";
    const size_t offset = le32(d, 10);
    const size_t stride = (static_cast<size_t>(out.width) * 3 + 3) & ~size_t{3};
    if (offset + stride * out.height > d.size()) return "pixel data truncated";
    out.px.resize(static_cast<size_t>(out.width) * out.height);
    for (int y = 0; y < out.height; ++y) {
        const size_t row = offset + stride * (out.height - 1 - y);
        for (int x = 0; x < out.width; ++x) {
            const size_t p = row + 3 * static_cast<size_t>(x);
            out.px[static_cast<size_t>(y) * out.width + x] = Rgb{d[p + 2], d[p + 1], d[p]};
        }
    }
    return "";
}

bool near(Rgb c, Rgb want, int tol) {
    return std::abs(c.r - want.r) <= tol && std::abs(c.g - want.g) <= tol && std::abs(c.b - want.b) <= tol;
}
// Sand is the only warm colour: the glass, outline and metal are neutral or cool.
bool isSand(Rgb c) { return near(c, Rgb{178, 176, 161}, 12) && c.r - c.b >= 10; }
bool isGlass(Rgb c) { return near(c, Rgb{232, 240, 242}, 6); }
bool isDarkMetal(Rgb c) { return c.r < 40 && c.g < 40 && c.b < 45; }

struct SandStats {
    int count = 0, upperHalf = 0, lowerHalf = 0;
    double dx = 0, dy = 0;  // centroid offset from the image centre, y down
};

SandStats sandStats(const Bitmap& bmp) {
    SandStats s;
    double sx = 0, sy = 0;
    for (int y = 0; y < bmp.height; ++y) {
        for (int x = 0; x < bmp.width; ++x) {
            if (!isSand(bmp.at(x, y))) continue;
            ++s.count;
            (2 * y + 1 < bmp.height ? s.upperHalf : s.lowerHalf)++;
            sx += x + 0.5;
            sy += y + 0.5;
        }
    }
    if (s.count > 0) {
        s.dx = sx / s.count - bmp.width / 2.0;
        s.dy = sy / s.count - bmp.height / 2.0;
    }
    return s;
}

class HourglassFrames : public ::testing::Test {
protected:
    void SetUp() override {
        frames.resize(8);
        for (int i = 0; i < 8; ++i) {
            std::string err = loadBmp(framePath(i), frames[i]);
            ASSERT_EQ(err, "") << framePath(i);
        }
    }
    std::vector<Bitmap> frames;
};

TEST_F(HourglassFrames, HaveExpectedSizesAndDepth) {
    const int sizes[8][2] = {{40, 64}, {40, 64}, {40, 64}, {40, 64}, {40, 64}, {74, 74}, {64, 40}, {74, 74}};
    for (int i = 0; i < 8; ++i) {
        SCOPED_TRACE("frame " + std::to_string(i));
        EXPECT_EQ(frames[i].width, sizes[i][0]);
        EXPECT_EQ(frames[i].height, sizes[i][1]);
        EXPECT_EQ(frames[i].bits, 24);
    }
}

TEST_F(HourglassFrames, CornersAreWhite) {
    for (int i = 0; i < 8; ++i) {
        SCOPED_TRACE("frame " + std::to_string(i));
        const Bitmap& b = frames[i];
        for (Rgb c : {b.at(0, 0), b.at(b.width - 1, 0), b.at(0, b.height - 1), b.at(b.width - 1, b.height - 1)}) {
            EXPECT_TRUE(near(c, Rgb{255, 255, 255}, 0)) << c.r << "," << c.g << "," << c.b;
        }
    }
}

TEST_F(HourglassFrames, EachShowsSandGlassAndMetalBars) {
    for (int i = 0; i < 8; ++i) {
        SCOPED_TRACE("frame " + std::to_string(i));
        int sand = 0, glass = 0, metal = 0;
        for (const Rgb& c : frames[i].px) {
            sand += isSand(c);
            glass += isGlass(c);
            metal += isDarkMetal(c);
        }
        EXPECT_GT(sand, 40);
        EXPECT_GT(glass, 100);
        EXPECT_GE(metal, 4);  // the black end of each bar
    }
}

TEST_F(HourglassFrames, SandRunsDownWhileUpright) {
    std::vector<SandStats> s;
    for (int i = 0; i < 5; ++i) s.push_back(sandStats(frames[i]));
    EXPECT_LT(s[0].dy, -5.0) << "frame 0 should hold its sand in the upper bulb";
    EXPECT_EQ(s[0].lowerHalf, 0) << "frame 0 lower bulb should be empty";
    EXPECT_GT(s[4].dy, 5.0) << "frame 4 should hold its sand in the lower bulb";
    EXPECT_EQ(s[4].upperHalf, 0) << "frame 4 upper bulb should be empty";
    for (int i = 1; i < 5; ++i) {
        SCOPED_TRACE("frame " + std::to_string(i));
        EXPECT_LT(s[i].upperHalf, s[i - 1].upperHalf);
        EXPECT_GT(s[i].lowerHalf, s[i - 1].lowerHalf);
        EXPECT_GT(s[i].dy, s[i - 1].dy);
    }
    // Highlights on the left side of the glass cover a little sand.
    for (int i = 0; i < 5; ++i) {
        EXPECT_NEAR(s[i].dx, 0.0, 1.5) << "frame " << i << " sand should be centred";
    }
}

// Just below the neck, the two middle columns show the falling stream only
// while the sand is running.
TEST_F(HourglassFrames, StreamFallsOnlyWhileRunning) {
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE("frame " + std::to_string(i));
        const bool running = i >= 1 && i <= 3;
        for (int y = 36; y <= 37; ++y) {
            for (int x = 19; x <= 20; ++x) {
                Rgb c = frames[i].at(x, y);
                if (running) {
                    EXPECT_LT(c.r + c.g + c.b, 232 + 240 + 242 - 60) << x << "," << y;
                } else {
                    EXPECT_TRUE(isGlass(c)) << x << "," << y;
                }
            }
        }
    }
}

TEST_F(HourglassFrames, TurningFramesKeepSandInFormerLowerBulb) {
    const SandStats upright = sandStats(frames[4]);
    const SandStats s5 = sandStats(frames[5]);
    const SandStats s6 = sandStats(frames[6]);
    const SandStats s7 = sandStats(frames[7]);
    // Turned 45 degrees clockwise: full bulb lower left.
    EXPECT_LT(s5.dx, -5.0);
    EXPECT_GT(s5.dy, 5.0);
    // Turned 90 degrees: lying down, full bulb on the left.
    EXPECT_LT(s6.dx, -10.0);
    EXPECT_NEAR(s6.dy, 0.0, 0.5);
    // Turned 135 degrees: full bulb upper left.
    EXPECT_LT(s7.dx, -5.0);
    EXPECT_LT(s7.dy, -5.0);
    // The same glass and sand, only rotated.
    for (const SandStats* s : {&s5, &s6, &s7}) {
        EXPECT_NEAR(s->count, upright.count, upright.count / 10);
    }
    EXPECT_NEAR(s6.dx, -upright.dy, 1.0);
}

// ---------------------------------------------------------------------------

struct IconImage {
    int size, bits;
    uint32_t bytes, offset;
};

class AppIcon : public ::testing::Test {
protected:
    void SetUp() override {
        data = readAll(iconPath());
        ASSERT_GE(data.size(), 6u + 6u * 16u) << iconPath();
        ASSERT_EQ(le16(data, 4), 6u);
        for (size_t i = 0; i < 6; ++i) {
            const size_t e = 6 + 16 * i;
            images.push_back(IconImage{data[e] == 0 ? 256 : data[e], static_cast<int>(le16(data, e + 6)),
                                       le32(data, e + 8), le32(data, e + 12)});
            ASSERT_LE(static_cast<size_t>(images.back().offset) + images.back().bytes, data.size());
        }
    }

    size_t colourStride(const IconImage& im) const {
        return ((static_cast<size_t>(im.size) * im.bits / 8) + 3) & ~size_t{3};
    }
    size_t maskStride(const IconImage& im) const { return ((im.size + 31) / 32) * 4; }
    size_t colourStart(const IconImage& im) const { return im.offset + 40 + (im.bits == 8 ? 1024 : 0); }
    // Rows are stored bottom-up; y here counts from the top.
    bool masked(const IconImage& im, int x, int y) const {
        const size_t at = colourStart(im) + colourStride(im) * im.size + maskStride(im) * (im.size - 1 - y) + x / 8;
        return (data[at] >> (7 - x % 8)) & 1;
    }
    const uint8_t* pixel(const IconImage& im, int x, int y) const {
        return &data[colourStart(im) + colourStride(im) * (im.size - 1 - y) + static_cast<size_t>(x) * (im.bits / 8)];
    }

    Bytes data;
    std::vector<IconImage> images;
};

TEST_F(AppIcon, DirectoryListsSixImagesInOrder) {
    EXPECT_EQ(le16(data, 0), 0u);
    EXPECT_EQ(le16(data, 2), 1u);
    const IconImage want[6] = {{48, 8, 3752, 0},  {32, 8, 2216, 0},  {16, 8, 1384, 0},
                               {48, 32, 9640, 0}, {32, 32, 4264, 0}, {16, 32, 1128, 0}};
    uint32_t next = 6 + 6 * 16;
    for (size_t i = 0; i < 6; ++i) {
        SCOPED_TRACE("entry " + std::to_string(i));
        const size_t e = 6 + 16 * i;
        EXPECT_EQ(data[e], want[i].size);
        EXPECT_EQ(data[e + 1], want[i].size);
        EXPECT_EQ(data[e + 2], 0) << "colour count";
        EXPECT_EQ(data[e + 3], 0) << "reserved";
        EXPECT_EQ(le16(data, e + 4), 1u) << "planes";
        EXPECT_EQ(images[i].bits, want[i].bits);
        EXPECT_EQ(images[i].bytes, want[i].bytes);
        EXPECT_EQ(images[i].offset, next) << "images should follow each other without gaps";
        next = images[i].offset + images[i].bytes;
    }
    EXPECT_EQ(next, data.size());
}

TEST_F(AppIcon, ImageHeadersMatchDirectory) {
    for (const IconImage& im : images) {
        SCOPED_TRACE(std::to_string(im.size) + "px " + std::to_string(im.bits) + "bpp");
        const size_t h = im.offset;
        EXPECT_EQ(le32(data, h), 40u);
        EXPECT_EQ(sle32(data, h + 4), im.size);
        EXPECT_EQ(sle32(data, h + 8), 2 * im.size) << "height counts colour and mask";
        EXPECT_EQ(le16(data, h + 12), 1u);
        EXPECT_EQ(static_cast<int>(le16(data, h + 14)), im.bits);
        EXPECT_EQ(le32(data, h + 16), 0u) << "uncompressed";
        const size_t body = (colourStride(im) + maskStride(im)) * im.size;
        EXPECT_EQ(colourStart(im) - im.offset + body, im.bytes);
        const uint32_t sizeImage = le32(data, h + 20);
        EXPECT_TRUE(sizeImage == 0 || sizeImage == body) << sizeImage;
        if (im.bits == 8) {
            const uint32_t used = le32(data, h + 32);
            EXPECT_TRUE(used == 0 || used == 256) << used;
        }
    }
}

TEST_F(AppIcon, TrueColourImagesHaveTransparentAndOpaquePixels) {
    for (const IconImage& im : images) {
        if (im.bits != 32) continue;
        SCOPED_TRACE(std::to_string(im.size) + "px");
        int clear = 0, opaque = 0;
        for (int y = 0; y < im.size; ++y) {
            for (int x = 0; x < im.size; ++x) {
                const uint8_t* p = pixel(im, x, y);
                if (p[3] == 0) {
                    ++clear;
                    EXPECT_TRUE(masked(im, x, y)) << x << "," << y;
                    EXPECT_EQ(p[0] | p[1] | p[2], 0) << x << "," << y;
                }
                if (p[3] == 255) {
                    ++opaque;
                    EXPECT_FALSE(masked(im, x, y)) << x << "," << y;
                }
            }
        }
        EXPECT_GT(clear, 0);
        EXPECT_GT(opaque, im.size * im.size / 2);
        EXPECT_EQ(pixel(im, 0, 0)[3], 0) << "corner should be transparent";
        EXPECT_EQ(pixel(im, im.size / 2, im.size / 2)[3], 255) << "centre should be opaque";
    }
}

// The 256-colour images show the same picture as the true-colour ones: same
// transparency mask, and palette colours close to the true colours.
TEST_F(AppIcon, PaletteImagesMatchTrueColourImages) {
    for (size_t i = 0; i < 3; ++i) {
        const IconImage& pal = images[i];
        const IconImage& rgba = images[i + 3];
        ASSERT_EQ(pal.size, rgba.size);
        SCOPED_TRACE(std::to_string(pal.size) + "px");
        const size_t palette = pal.offset + 40;
        long long error = 0;
        int opaque = 0, clear = 0;
        for (int y = 0; y < pal.size; ++y) {
            for (int x = 0; x < pal.size; ++x) {
                EXPECT_EQ(masked(pal, x, y), masked(rgba, x, y)) << x << "," << y;
                const int index = *pixel(pal, x, y);
                if (masked(pal, x, y)) {
                    ++clear;
                    EXPECT_EQ(index, 0) << x << "," << y;
                    continue;
                }
                ++opaque;
                const uint8_t* c = &data[palette + 4 * static_cast<size_t>(index)];
                const uint8_t* t = pixel(rgba, x, y);
                for (int k = 0; k < 3; ++k) error += std::abs(c[k] - t[k]);
            }
        }
        EXPECT_GT(clear, 0);
        ASSERT_GT(opaque, 0);
        EXPECT_LT(static_cast<double>(error) / (3.0 * opaque), 12.0) << "mean colour error";
    }
}

// ---------------------------------------------------------------------------

TEST(ArtworkGenerator, ReproducesCommittedFilesByteForByte) {
    const fs::path base = fs::temp_directory_path();
    fs::path out;
    for (auto n = std::chrono::steady_clock::now().time_since_epoch().count();; ++n) {
        out = base / ("artgen-test-" + std::to_string(n));
        if (fs::create_directory(out)) break;
    }
    const std::string cmd = std::string("\"") + ARTGEN_EXE + "\" \"" + out.string() + "\"";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;

    std::vector<fs::path> files;
    for (int i = 0; i < 8; ++i)
        files.push_back(fs::path("src") / "waitwindow" / "frames" / ("lava" + std::to_string(i) + ".bmp"));
    files.push_back(fs::path("resources") / "app.ico");
    for (const fs::path& rel : files) {
        SCOPED_TRACE(rel.string());
        const Bytes fresh = readAll(out / rel);
        const Bytes committed = readAll(fs::path(ARTWORK_ROOT) / rel);
        ASSERT_FALSE(fresh.empty());
        EXPECT_EQ(fresh.size(), committed.size());
        size_t diff = 0;
        while (diff < fresh.size() && diff < committed.size() && fresh[diff] == committed[diff]) ++diff;
        EXPECT_EQ(diff, std::max(fresh.size(), committed.size()))
            << "first differing byte; rerun tools/artgen and commit its output";
    }
    std::error_code ec;
    fs::remove_all(out, ec);
}

}  // namespace
