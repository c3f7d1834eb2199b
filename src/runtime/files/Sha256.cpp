#include "Sha256.h"

#include <string.h>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#include <immintrin.h>
#define SHA256_X86 1
#endif

namespace {

const uint32_t kRoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

uint32_t Rotr(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

#ifdef SHA256_X86
bool ProcessorHasShaInstructions() {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid_max(0, nullptr) < 7 || !__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) return false;
    const bool sha = (ebx & bit_SHA) != 0;
    __get_cpuid(1, &eax, &ebx, &ecx, &edx);
    return sha && (ecx & bit_SSSE3) && (ecx & bit_SSE4_1);
}

// The state as the instructions keep it: ABEF and CDGH. The stack is realigned
// on entry, as 32-bit Windows promises callers only 4-byte alignment.
__attribute__((target("sha,sse4.1"), force_align_arg_pointer)) void CompressWithShaInstructions(
    uint32_t state[8], const unsigned char* blocks, size_t count) {
    const __m128i bigEndian = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
    __m128i cdab = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0xB1);
    __m128i hgfe = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4)), 0x1B);
    __m128i abef = _mm_alignr_epi8(cdab, hgfe, 8);
    __m128i cdgh = _mm_blend_epi16(hgfe, cdab, 0xF0);
    for (; count > 0; --count, blocks += 64) {
        const __m128i abefBefore = abef, cdghBefore = cdgh;
        // Message words in four groups of four, each group replaced by the one four groups on.
        __m128i w[4];
        // Unrolled, the groups stay in registers; under an emulator the block becomes one translation.
#pragma GCC unroll 16
        for (int g = 0; g < 16; ++g) {
            __m128i& group = w[g % 4];
            if (g < 4) {
                group = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 16 * g)), bigEndian);
            } else {
                __m128i sum = _mm_add_epi32(_mm_sha256msg1_epu32(group, w[(g + 1) % 4]),
                                            _mm_alignr_epi8(w[(g + 3) % 4], w[(g + 2) % 4], 4));
                group = _mm_sha256msg2_epu32(sum, w[(g + 3) % 4]);
            }
            __m128i words =
                _mm_add_epi32(group, _mm_loadu_si128(reinterpret_cast<const __m128i*>(kRoundConstants + 4 * g)));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, words);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, _mm_shuffle_epi32(words, 0x0E));
        }
        abef = _mm_add_epi32(abef, abefBefore);
        cdgh = _mm_add_epi32(cdgh, cdghBefore);
    }
    __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_blend_epi16(feba, dchg, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), _mm_alignr_epi8(dchg, feba, 8));
}
#endif

}  // namespace

bool Sha256::Available(Engine engine) {
#ifdef SHA256_X86
    static const bool shaInstructions = ProcessorHasShaInstructions();
#else
    const bool shaInstructions = false;
#endif
    return engine == Engine::Portable || shaInstructions;
}

Sha256::Engine Sha256::Fastest() {
    return Available(Engine::ShaInstructions) ? Engine::ShaInstructions : Engine::Portable;
}

Sha256::Sha256(Engine engine) : engine_(engine) {}

void Sha256::Compress(const unsigned char* block) {
    uint32_t w[64];
    for (int i = 0; i < 16; ++i) {
        const unsigned char* p = block + 4 * i;
        w[i] = (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
    }
    for (int i = 16; i < 64; ++i) {
        uint32_t s0 = Rotr(w[i - 15], 7) ^ Rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
        uint32_t s1 = Rotr(w[i - 2], 17) ^ Rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
    uint32_t e = state_[4], f = state_[5], g = state_[6], h = state_[7];
    for (int i = 0; i < 64; ++i) {
        uint32_t t1 = h + (Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25)) + ((e & f) ^ (~e & g)) + kRoundConstants[i] + w[i];
        uint32_t t2 = (Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
        h = g;
        g = f;
        f = e;
        e = d + t1;
        d = c;
        c = b;
        b = a;
        a = t1 + t2;
    }
    uint32_t v[8] = {a, b, c, d, e, f, g, h};
    for (int i = 0; i < 8; ++i) state_[i] += v[i];
}

void Sha256::CompressBlocks(const unsigned char* blocks, size_t count) {
#ifdef SHA256_X86
    if (engine_ == Engine::ShaInstructions) {
        CompressWithShaInstructions(state_, blocks, count);
        return;
    }
#endif
    for (; count > 0; --count, blocks += sizeof block_) Compress(blocks);
}

void Sha256::Update(const void* data, size_t length) {
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    total_ += length;
    if (used_ > 0) {
        size_t take = sizeof block_ - used_ < length ? sizeof block_ - used_ : length;
        memcpy(block_ + used_, bytes, take);
        used_ += take;
        if (used_ < sizeof block_) return;
        CompressBlocks(block_, 1);
        used_ = 0;
        bytes += take;
        length -= take;
    }
    // Whole blocks straight from the caller's buffer: no copy for a file's bulk.
    size_t whole = length / sizeof block_;
    CompressBlocks(bytes, whole);
    used_ = length % sizeof block_;
    if (used_ > 0) memcpy(block_, bytes + whole * sizeof block_, used_);
}

void Sha256::Finish(unsigned char digest[kDigestBytes]) {
    uint64_t bits = total_ * 8;
    unsigned char pad[72] = {0x80};
    size_t padLength = (used_ < 56 ? 56 : 120) - used_;
    for (int i = 0; i < 8; ++i) pad[padLength + i] = static_cast<unsigned char>(bits >> (56 - 8 * i));
    Update(pad, padLength + 8);
    for (int i = 0; i < 32; ++i) digest[i] = static_cast<unsigned char>(state_[i / 4] >> (24 - 8 * (i % 4)));
}

Text HexDigits(const unsigned char* bytes, size_t count) {
    static const char kDigits[] = "0123456789abcdef";
    Text hex;
    for (size_t i = 0; i < count; ++i) {
        char pair[2] = {kDigits[bytes[i] >> 4], kDigits[bytes[i] & 15]};
        hex += Text(pair, 2);
    }
    return hex;
}
