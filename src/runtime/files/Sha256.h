#pragma once
#include <stddef.h>
#include <stdint.h>

#include "../text/Text.h"

// SHA-256 of a byte stream fed in pieces of any size. Our own, so that the
// hash is the same on every system the loader runs on, whatever its
// cryptographic providers.
class Sha256 {
public:
    static constexpr size_t kDigestBytes = 32;

    // How the blocks are compressed: the portable code runs everywhere, the
    // processor's SHA instructions only where it reports them.
    enum class Engine { Portable, ShaInstructions };
    static bool Available(Engine engine);
    // The processor's instructions where it has them: many times faster.
    static Engine Fastest();

    explicit Sha256(Engine engine = Fastest());
    void Update(const void* data, size_t length);
    // The digest of everything fed so far; the object is spent afterwards.
    void Finish(unsigned char digest[kDigestBytes]);

private:
    void Compress(const unsigned char* block);
    void CompressBlocks(const unsigned char* blocks, size_t count);

    Engine engine_;
    uint32_t state_[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                          0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    unsigned char block_[64];
    size_t used_ = 0;
    uint64_t total_ = 0;
};

// Bytes as lower-case hex digits, two a byte.
Text HexDigits(const unsigned char* bytes, size_t count);
