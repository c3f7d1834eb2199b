#pragma once
#include <stddef.h>
#include <stdint.h>

// A device-independent bitmap held in memory as a whole .bmp file: the
// parts that the drawing call takes, checked to lie inside the file.
struct BmpPicture {
    const uint8_t* info;  // the 40-byte BITMAPINFOHEADER
    const uint8_t* bits;  // bottom-up rows of 24-bit pixels, each padded to 4 bytes
    int width, height;
};

// False unless the bytes are an uncompressed, bottom-up 24-bit .bmp whose
// pixels all lie within size.
bool ReadBmp(const uint8_t* file, size_t size, BmpPicture& picture);
