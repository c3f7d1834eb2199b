// artgen: draws the hourglass frames of the wait window and the application
// icon, and writes them as BMP/ICO files under a given root folder.
//
// Everything is computed from fixed geometry with plain double arithmetic
// (only +, -, *, / and sqrt, which are exactly rounded) and integer
// supersampling, so every run writes the same bytes.
//
// Usage: artgen <root>
//   writes <root>/src/waitwindow/frames/lava0.bmp .. lava7.bmp
//   and    <root>/resources/app.ico

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Rgb {
    int r, g, b;
};

const Rgb kWhite{255, 255, 255};
const Rgb kGlass{232, 240, 242};
const Rgb kOutline{128, 138, 146};
const Rgb kSand{178, 176, 161};

// ---------------------------------------------------------------------------
// Hourglass geometry, in glass coordinates: origin at the centre of the
// upright glass, y pointing up, one unit = one pixel of an upright frame.

const double kCapInner = 26.0;  // |y| where the glass meets the end bars
const double kCapOuter = 31.0;  // |y| of the outer face of the end bars
const double kCapHalf = 16.0;   // half the length of an end bar
const double kNeck = 2.0;       // outer half-width of the neck
const double kBulb = 13.0;      // outer half-width of a bulb at its widest
const double kWall = 0.85;      // glass wall thickness

double clamp01(double v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }

// Outer half-width of the glass at height y. Each bulb is a lopsided oval
// (funnel-shaped towards the neck, rounder towards the bar) blended with
// the neck width so the waist stays smooth.
double halfWidth(double y) {
    double t = std::fabs(y) / kCapInner;
    double u = t < 0.52 ? (t - 0.52) / 0.52 : (t - 0.52) / 0.66;
    double e = 1.0 - u * u;
    // Towards the neck the curve flattens into a funnel instead of a ball.
    double b = kBulb * (e <= 0 ? 0.0 : (u < 0 ? e * (1.6 - 0.6 * e) : std::sqrt(e)));
    return std::sqrt(kNeck * kNeck + b * b);
}

// Approximate distance from (x, y) inwards to the outer glass surface,
// measured across the wall rather than horizontally.
double wallDepth(double x, double y) {
    double slope = (halfWidth(y + 0.05) - halfWidth(y - 0.05)) / 0.1;
    return (halfWidth(y) - std::fabs(x)) / std::sqrt(1.0 + slope * slope);
}

// Where the sand is. topLevel <= 0 means the upper bulb is empty;
// heap <= 0 means the lower bulb is empty.
struct Sand {
    double topLevel;  // height of the sand surface in the upper bulb
    double dip;       // depth of the funnel over the neck while running
    double heap;      // height of the heap's peak above the lower bar
    bool stream;      // a thin stream falls through the neck
};

const double kHeapSlope = 0.42;
const double kStreamHalf = 0.6;

// Only asked for points inside the glass.
bool inSand(const Sand& s, double x, double y) {
    double ax = std::fabs(x);
    if (y >= 0.0) {
        double dip = s.dip * clamp01(1.0 - ax / 4.0);
        return s.topLevel > 0 && y <= s.topLevel - dip;
    }
    // A cone with a softly rounded peak.
    double surface = -kCapInner + s.heap - kHeapSlope * (std::sqrt(ax * ax + 4.0) - 2.0);
    if (s.heap > 0 && y <= surface) return true;
    if (s.stream) {
        if (y > -2.5) return true;  // the neck itself is full of running sand
        return ax < kStreamHalf && y > -kCapInner + s.heap - 0.5;
    }
    return false;
}

bool inRoundRect(double x, double y, double x0, double y0, double x1, double y1, double r) {
    if (x < x0 || x > x1 || y < y0 || y > y1) return false;
    double cx = x < x0 + r ? x0 + r : (x > x1 - r ? x1 - r : x);
    double cy = y < y0 + r ? y0 + r : (y > y1 - r ? y1 - r : y);
    double dx = x - cx, dy = y - cy;
    return dx * dx + dy * dy <= r * r;
}

// Reflections painted on the front of the glass.
bool inHighlight(double x, double y, double depth) {
    if (depth < kWall + 0.6 || depth > kWall + 1.8) return false;
    if (x < 0) return (y > 7.5 && y < 19.5) || (y < -8.5 && y > -17.5);
    return (y > 16.5 && y < 21.5) || (y < -11.0 && y > -14.0);
}

Rgb hourglassColour(double x, double y, const Sand& s) {
    double ay = std::fabs(y);
    if (inRoundRect(x, ay, -kCapHalf, kCapInner - 0.5, kCapHalf, kCapOuter, 1.6)) {
        // Brushed metal: black at one end, light grey at the other, with a
        // slightly brighter band along the middle of the bar.
        double v = 205.0 * (x + kCapHalf) / (2.0 * kCapHalf);
        double mid = (kCapInner - 0.5 + kCapOuter) / 2.0;
        double band = 1.0 - std::fabs(ay - mid) / 2.75;
        v = v * (0.78 + 0.22 * clamp01(band));
        int c = static_cast<int>(v);
        return Rgb{c, c, c + (c < 250 ? 5 : 0)};
    }
    if (ay >= kCapInner) return kWhite;
    double depth = wallDepth(x, y);
    if (depth < 0) return kWhite;
    if (depth < kWall) return kOutline;
    if (inHighlight(x, y, depth)) return kWhite;
    if (inSand(s, x, y)) return kSand;
    return kGlass;
}

// ---------------------------------------------------------------------------
// Images

struct Image {
    int w = 0, h = 0;
    std::vector<uint8_t> rgba;  // top-down rows, 4 bytes per pixel
    uint8_t* at(int x, int y) { return &rgba[(static_cast<size_t>(y) * w + x) * 4]; }
};

const int kSuper = 8;  // subsamples per pixel along each axis

// Renders the glass turned clockwise by `eighths` * 45 degrees, centred on a
// w x h canvas.
Image renderHourglass(int w, int h, int eighths, const Sand& s) {
    const double r = std::sqrt(0.5);
    const double cosT[4] = {1.0, r, 0.0, -r};
    const double sinT[4] = {0.0, r, 1.0, r};
    double c = cosT[eighths], sn = sinT[eighths];
    Image img;
    img.w = w;
    img.h = h;
    img.rgba.assign(static_cast<size_t>(w) * h * 4, 255);
    for (int py = 0; py < h; ++py) {
        for (int px = 0; px < w; ++px) {
            int sum[3] = {0, 0, 0};
            for (int j = 0; j < kSuper; ++j) {
                for (int i = 0; i < kSuper; ++i) {
                    // Screen offset from the centre (y down), turned back
                    // anticlockwise into the upright glass.
                    double sx = px + (i + 0.5) / kSuper - w / 2.0;
                    double sy = py + (j + 0.5) / kSuper - h / 2.0;
                    double gx = c * sx + sn * sy;
                    double gy = -(-sn * sx + c * sy);
                    Rgb col = hourglassColour(gx, gy, s);
                    sum[0] += col.r;
                    sum[1] += col.g;
                    sum[2] += col.b;
                }
            }
            const int n = kSuper * kSuper;
            uint8_t* p = img.at(px, py);
            for (int k = 0; k < 3; ++k) p[k] = static_cast<uint8_t>((sum[k] + n / 2) / n);
        }
    }
    return img;
}

// Area of the glass interior covered by sand, on a fine fixed grid.
double sandArea(const Sand& s, bool upper) {
    const double step = 0.125;
    int count = 0;
    for (int iy = 0; iy < 208; ++iy) {
        double y = (iy + 0.5) * step * (upper ? 1.0 : -1.0);
        for (int ix = -112; ix < 112; ++ix) {
            double x = (ix + 0.5) * step;
            if (wallDepth(x, y) >= kWall && inSand(s, x, y)) ++count;
        }
    }
    return count * step * step;
}

// Smallest value in [lo, hi] for which area(v) reaches target.
template <typename F>
double solveLevel(double lo, double hi, double target, F area) {
    for (int k = 0; k < 30; ++k) {
        double mid = (lo + hi) / 2.0;
        if (area(mid) < target)
            lo = mid;
        else
            hi = mid;
    }
    return hi;
}

// Sand for the upright frames: the share of sand still in the upper bulb
// goes 1 -> 0 and the heap below grows by the same area.
std::vector<Sand> uprightSand() {
    const double fullLevel = 18.0;
    const double full = sandArea(Sand{fullLevel, 0, 0, false}, true);
    const double upperShare[5] = {1.0, 0.76, 0.48, 0.18, 0.0};
    std::vector<Sand> out;
    for (int f = 0; f < 5; ++f) {
        bool running = f > 0 && f < 4;
        Sand s{0, running ? 1.6 : 0.0, 0, running};
        // Named, not written in the call: clang-format 14 and 19 break a long
        // call that ends in a lambda in different places.
        auto upperArea = [&](double v) { return sandArea(Sand{v, s.dip, 0, false}, true); };
        if (f == 0)
            s.topLevel = fullLevel;
        else if (upperShare[f] > 0)
            s.topLevel = solveLevel(0, fullLevel, full * upperShare[f], upperArea);
        double below = full * (1.0 - upperShare[f]);
        if (below > 0)
            s.heap = solveLevel(0, 40, below, [&](double v) { return sandArea(Sand{0, 0, v, false}, false); });
        out.push_back(s);
    }
    return out;
}

// ---------------------------------------------------------------------------
// Application icon: a rounded blue badge with a white arrow dropping into an
// amber tray.

struct Rgba {
    int r, g, b, a;
};

// Badge colour from top (t = 0) to bottom (t = 1).
Rgb badgeFill(double t) {
    return Rgb{static_cast<int>(58 - 34 * t), static_cast<int>(140 - 58 * t), static_cast<int>(232 - 58 * t)};
}

// x, y in sixteenths of the icon, so the 16 px image falls on whole pixels
// and the larger ones are exact multiples of it.
Rgba iconColour(double x, double y, int size) {
    const Rgba white{255, 255, 255, 255};
    if (!inRoundRect(x, y, 0.5, 0.5, 15.5, 15.5, 3.5)) return Rgba{0, 0, 0, 0};
    // Arrow: a shaft with a head whose tip dips into the tray.
    double ax = std::fabs(x - 8.0);
    if (ax <= 1.0 && y >= 3.0 && y <= 7.0) return white;
    const double headTop = 6.0, tip = 11.0;
    if (y >= headTop && y <= tip && ax <= 3.5 * (tip - y) / (tip - headTop)) return white;
    // Amber tray, open at the top.
    if (inRoundRect(x, y, 3.0, 9.0, 13.0, 13.0, 1.0) && !(x > 5.0 && x < 11.0 && y < 11.0))
        return Rgba{255, 184, 48, 255};
    // Badge body: vertical gradient inside a darker rim about a pixel wide.
    double rim = size <= 16 ? 1.0 : 0.7;
    if (!inRoundRect(x, y, 0.5 + rim, 0.5 + rim, 15.5 - rim, 15.5 - rim, 3.5 - rim)) return Rgba{18, 58, 132, 255};
    Rgb c = badgeFill((y - 1.5) / 13.0);
    return Rgba{c.r, c.g, c.b, 255};
}

Image renderIcon(int size) {
    Image img;
    img.w = img.h = size;
    img.rgba.assign(static_cast<size_t>(size) * size * 4, 0);
    for (int py = 0; py < size; ++py) {
        for (int px = 0; px < size; ++px) {
            int sum[3] = {0, 0, 0}, cover = 0;
            for (int j = 0; j < kSuper; ++j) {
                for (int i = 0; i < kSuper; ++i) {
                    double x = (px + (i + 0.5) / kSuper) * 16.0 / size;
                    double y = (py + (j + 0.5) / kSuper) * 16.0 / size;
                    Rgba c = iconColour(x, y, size);
                    if (c.a == 0) continue;
                    sum[0] += c.r;
                    sum[1] += c.g;
                    sum[2] += c.b;
                    ++cover;
                }
            }
            if (cover == 0) continue;
            const int n = kSuper * kSuper;
            uint8_t* p = img.at(px, py);
            for (int k = 0; k < 3; ++k) p[k] = static_cast<uint8_t>((sum[k] + cover / 2) / cover);
            p[3] = static_cast<uint8_t>((cover * 255 + n / 2) / n);
        }
    }
    return img;
}

// 6x6x6 colour cube, then 24 steps of the badge gradient (so the 256-colour
// images show it without banding), 8 blends of white into the badge for the
// arrow's soft edges, and 8 greys.
std::vector<Rgb> iconPalette() {
    std::vector<Rgb> pal;
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b) pal.push_back(Rgb{r * 51, g * 51, b * 51});
    for (int i = 0; i < 24; ++i) pal.push_back(badgeFill(i / 23.0));
    const Rgb mid = badgeFill(0.4);
    for (int i = 1; i <= 8; ++i)
        pal.push_back(Rgb{mid.r + (255 - mid.r) * i / 9, mid.g + (255 - mid.g) * i / 9, mid.b + (255 - mid.b) * i / 9});
    for (int i = 1; i <= 8; ++i) {
        int v = (i * 255 + 4) / 9;
        pal.push_back(Rgb{v, v, v});
    }
    return pal;
}

int nearest(const std::vector<Rgb>& pal, const uint8_t* p) {
    int best = 0, bestDist = 1 << 30;
    for (size_t i = 0; i < pal.size(); ++i) {
        int dr = pal[i].r - p[0], dg = pal[i].g - p[1], db = pal[i].b - p[2];
        int d = dr * dr + dg * dg + db * db;
        if (d < bestDist) {
            bestDist = d;
            best = static_cast<int>(i);
        }
    }
    return best;
}

// ---------------------------------------------------------------------------
// File writing

void put16(std::vector<uint8_t>& o, unsigned v) {
    o.push_back(v & 0xFF);
    o.push_back((v >> 8) & 0xFF);
}
void put32(std::vector<uint8_t>& o, uint32_t v) {
    put16(o, v & 0xFFFF);
    put16(o, v >> 16);
}

void putInfoHeader(std::vector<uint8_t>& o, int w, int h, int bits, uint32_t imageSize, int ppm) {
    put32(o, 40);
    put32(o, static_cast<uint32_t>(w));
    put32(o, static_cast<uint32_t>(h));
    put16(o, 1);
    put16(o, static_cast<unsigned>(bits));
    put32(o, 0);  // BI_RGB
    put32(o, imageSize);
    put32(o, static_cast<uint32_t>(ppm));
    put32(o, static_cast<uint32_t>(ppm));
    put32(o, 0);
    put32(o, 0);
}

bool writeFile(const std::filesystem::path& path, const std::vector<uint8_t>& data) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    return static_cast<bool>(f);
}

std::vector<uint8_t> encodeBmp(Image& img) {
    const int stride = (img.w * 3 + 3) & ~3;
    const uint32_t imageSize = static_cast<uint32_t>(stride * img.h);
    std::vector<uint8_t> o;
    o.push_back('B');
    o.push_back('M');
    put32(o, 54 + imageSize);
    put32(o, 0);
    put32(o, 54);
    putInfoHeader(o, img.w, img.h, 24, imageSize, 2835);
    for (int y = img.h - 1; y >= 0; --y) {
        for (int x = 0; x < img.w; ++x) {
            uint8_t* p = img.at(x, y);
            o.push_back(p[2]);
            o.push_back(p[1]);
            o.push_back(p[0]);
        }
        for (int k = img.w * 3; k < stride; ++k) o.push_back(0);
    }
    return o;
}

// One icon image: header, optional palette, colour rows, AND-mask rows.
// A pixel counts as transparent in the mask when it is less than half covered.
std::vector<uint8_t> encodeIconImage(Image& img, int bits, const std::vector<Rgb>& pal) {
    const int n = img.w;
    const int colourStride = ((n * bits / 8) + 3) & ~3;
    const int maskStride = ((n + 31) / 32) * 4;
    std::vector<uint8_t> o;
    putInfoHeader(o, n, 2 * n, bits, static_cast<uint32_t>((colourStride + maskStride) * n), 0);
    if (bits == 8) {
        for (const Rgb& c : pal) {
            o.push_back(static_cast<uint8_t>(c.b));
            o.push_back(static_cast<uint8_t>(c.g));
            o.push_back(static_cast<uint8_t>(c.r));
            o.push_back(0);
        }
    }
    for (int y = n - 1; y >= 0; --y) {
        size_t start = o.size();
        for (int x = 0; x < n; ++x) {
            uint8_t* p = img.at(x, y);
            bool clear = p[3] < 128;
            if (bits == 8) {
                o.push_back(clear ? 0 : static_cast<uint8_t>(nearest(pal, p)));
            } else {
                bool none = p[3] == 0;
                o.push_back(none ? 0 : p[2]);
                o.push_back(none ? 0 : p[1]);
                o.push_back(none ? 0 : p[0]);
                o.push_back(p[3]);
            }
        }
        while (o.size() - start < static_cast<size_t>(colourStride)) o.push_back(0);
    }
    for (int y = n - 1; y >= 0; --y) {
        std::vector<uint8_t> row(static_cast<size_t>(maskStride), 0);
        for (int x = 0; x < n; ++x)
            if (img.at(x, y)[3] < 128) row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
        o.insert(o.end(), row.begin(), row.end());
    }
    return o;
}

std::vector<uint8_t> encodeIcon() {
    const int sizes[3] = {48, 32, 16};
    const std::vector<Rgb> pal = iconPalette();
    std::vector<std::vector<uint8_t>> images;
    std::vector<int> dims, depths;
    for (int bits : {8, 32}) {
        for (int s : sizes) {
            Image img = renderIcon(s);
            images.push_back(encodeIconImage(img, bits, pal));
            dims.push_back(s);
            depths.push_back(bits);
        }
    }
    std::vector<uint8_t> o;
    put16(o, 0);
    put16(o, 1);  // icon
    put16(o, static_cast<unsigned>(images.size()));
    uint32_t offset = static_cast<uint32_t>(6 + 16 * images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        o.push_back(static_cast<uint8_t>(dims[i]));
        o.push_back(static_cast<uint8_t>(dims[i]));
        o.push_back(0);  // colour count
        o.push_back(0);  // reserved
        put16(o, 1);     // planes
        put16(o, static_cast<unsigned>(depths[i]));
        put32(o, static_cast<uint32_t>(images[i].size()));
        put32(o, offset);
        offset += static_cast<uint32_t>(images[i].size());
    }
    for (const auto& img : images) o.insert(o.end(), img.begin(), img.end());
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output-root>\n", argc > 0 ? argv[0] : "artgen");
        return 2;
    }
    namespace fs = std::filesystem;
    const fs::path root = argv[1];
    const fs::path frames = root / "src" / "waitwindow" / "frames";
    const fs::path resources = root / "resources";
    std::error_code ec;
    fs::create_directories(frames, ec);
    fs::create_directories(resources, ec);

    const std::vector<Sand> sand = uprightSand();
    struct Frame {
        int w, h, eighths;
    };
    // Sand runs down (0-4), then the glass turns clockwise in 45-degree steps.
    const Frame layout[8] = {{40, 64, 0}, {40, 64, 0}, {40, 64, 0}, {40, 64, 0},
                             {40, 64, 0}, {74, 74, 1}, {64, 40, 2}, {74, 74, 3}};
    for (int f = 0; f < 8; ++f) {
        const Sand& s = sand[f < 5 ? f : 4];
        Image img = renderHourglass(layout[f].w, layout[f].h, layout[f].eighths, s);
        const fs::path out = frames / ("lava" + std::to_string(f) + ".bmp");
        if (!writeFile(out, encodeBmp(img))) {
            std::fprintf(stderr, "artgen: cannot write %s\n", out.string().c_str());
            return 1;
        }
    }
    const fs::path icon = resources / "app.ico";
    if (!writeFile(icon, encodeIcon())) {
        std::fprintf(stderr, "artgen: cannot write %s\n", icon.string().c_str());
        return 1;
    }
    return 0;
}
