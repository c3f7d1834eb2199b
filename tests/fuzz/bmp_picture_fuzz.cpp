// Input: a .bmp file.
#include "../support/BmpPixel.h"
#include "waitwindow/BmpPicture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    BmpPicture picture;
    if (!ReadBmp(data, size, picture)) return 0;
    // The corners bound every row and column that the drawing reads.
    BmpPixelRgb(picture, 0, 0);
    BmpPixelRgb(picture, picture.width - 1, 0);
    BmpPixelRgb(picture, 0, picture.height - 1);
    BmpPixelRgb(picture, picture.width - 1, picture.height - 1);
    return 0;
}
