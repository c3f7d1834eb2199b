#pragma once
#include <stdint.h>

#include "waitwindow/BmpPicture.h"

// Red, green and blue of the pixel at (x, y), y counted from the top: what
// the tests compare; the loader only hands the rows to the drawing call.
inline uint32_t BmpPixelRgb(const BmpPicture& picture, int x, int y) {
    size_t rowBytes = (static_cast<size_t>(picture.width) * 3 + 3) & ~static_cast<size_t>(3);
    const uint8_t* p = picture.bits + rowBytes * static_cast<size_t>(picture.height - 1 - y) + 3 * x;
    return (static_cast<uint32_t>(p[2]) << 16) | (p[1] << 8) | p[0];
}
