#pragma once
#include <stddef.h>
#include <stdint.h>

// Unpacks a block written by tools/framepack/pack_frames.py into out. True
// only if the block fills out exactly, to its last byte, every copy reaching
// back no further than the start of out; on false, out holds garbage.
bool UnpackFrames(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize);

// Writes the 24-bit .bmp file `from` (size bytes) turned a quarter turn to
// `to`, which has size bytes too: the same bytes with width and height
// swapped and the pixels moved. False, and `to` untouched, unless `from`
// reads as a picture (ReadBmp) whose turned rows fit in size.
bool TurnBmp(const uint8_t* from, size_t size, uint8_t* to);

// The frame files of a block: it holds the files before `stored`, one after
// another from out (file i at offsets[i]); each file i from `stored` to
// `count` is file turnedFrom[i - stored] turned, and of its size. True when
// every file is in place.
bool UnpackFrameFiles(const uint8_t* in, size_t inSize, const uint32_t* offsets, int stored, int count,
                      const int* turnedFrom, uint8_t* out);
