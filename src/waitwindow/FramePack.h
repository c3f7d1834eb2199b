#pragma once
#include <stddef.h>
#include <stdint.h>

// Unpacks a block written by tools/framepack/pack_frames.py into out. True
// only if the block fills out exactly, every copy reaching back no further
// than the start of out; on false, out holds garbage.
bool UnpackFrames(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize);
