#include "BmpPicture.h"

namespace {

uint32_t Le16(const uint8_t* p) { return p[0] | (p[1] << 8); }
uint32_t Le32(const uint8_t* p) { return Le16(p) | (Le16(p + 2) << 16); }

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;

size_t RowBytes(int width) { return (static_cast<size_t>(width) * 3 + 3) & ~static_cast<size_t>(3); }

}  // namespace

bool ReadBmp(const uint8_t* file, size_t size, BmpPicture& picture) {
    if (!file || size < kFileHeaderSize + kInfoHeaderSize || file[0] != 'B' || file[1] != 'M') return false;
    const uint8_t* info = file + kFileHeaderSize;
    int32_t width = static_cast<int32_t>(Le32(info + 4)), height = static_cast<int32_t>(Le32(info + 8));
    if (Le32(info) != kInfoHeaderSize || Le16(info + 12) != 1 || Le16(info + 14) != 24 || Le32(info + 16) != 0)
        return false;
    // Small pictures only: keeps the size arithmetic far from overflow.
    if (width <= 0 || height <= 0 || width > 4096 || height > 4096) return false;
    size_t offset = Le32(file + 10);
    if (offset < kFileHeaderSize + kInfoHeaderSize || offset > size ||
        RowBytes(width) * static_cast<size_t>(height) > size - offset)
        return false;
    picture = {info, file + offset, width, height};
    return true;
}
