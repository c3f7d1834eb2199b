"""Packs the hourglass frames (.bmp files) into one compressed block that the
loader unpacks once at start (src/waitwindow/FramePack.cpp), and writes it as
C++ source to include. The frames are most of the loader's size as plain
bitmaps, and they have too many colours for a run-length DIB that GDI could
draw as it is.

Frames at the end that are an earlier frame turned a quarter turn (TurnBmp
in FramePack.cpp, done the same way here) are not packed: kLavaTurnedFrom
names the frame each is turned from.

The block holds the other frames, one file after another, as a sequence of
items coded bit by bit with a binary range coder whose probabilities adapt
(11-bit, moved by a 32nd toward each bit seen; the coder of LZMA). An item
is one literal byte or a copy of earlier output:

  is-copy bit                  context: whether the item before was a copy
  literal: 8 bits, high first  context: the top 3 bits of the byte before
  copy:    is-repeat bit       context: as is-copy
           repeat: 2 bits      which of the last 4 distances, now moved first
           else:   5 bits      the distance's bit length n (1 to 16), then its
                               n - 1 bits below the top one, each with a
                               context of its own
           8 bits              the length less 3 (3 to 258)

After the last item a copy with a new distance of bit length 0 ends the block.

Usage: pack_frames.py <output.inc> <frame.bmp>...
"""

import struct
import sys
from collections import defaultdict

MIN_COPY, MAX_COPY, MAX_DISTANCE = 3, 258, 65535
CANDIDATES = 256  # the most recent places a 3-byte prefix occurred
PROB_BITS, MOVE_BITS = 11, 5
REPEATS = 4
LITERAL_CONTEXT_BITS = 3

# Where each model's probabilities start in FramePack.cpp's one table.
IS_COPY, IS_REPEAT, REPEAT, LENGTH_BITS, LENGTH = 0, 2, 4, 8, 40
DISTANCE = LENGTH + 256         # 17 bit lengths x 16 bits
LITERAL = DISTANCE + 17 * 16    # 8 contexts x 256
MODEL_SIZE = LITERAL + (1 << LITERAL_CONTEXT_BITS) * 256


def turn_bmp(bmp):
    """The 24-bit bottom-up .bmp file turned a quarter turn, as TurnBmp makes it:
    the source's bytes, width and height swapped, pixels moved; None when the
    turned rows do not fit in the source's bytes."""
    offset = struct.unpack_from("<I", bmp, 10)[0]
    width, height = struct.unpack_from("<ii", bmp, 18)
    source_row, row = (width * 3 + 3) & ~3, (height * 3 + 3) & ~3
    if offset + row * width > len(bmp):
        return None
    out = bytearray(bmp)
    struct.pack_into("<ii", out, 18, height, width)
    for y in range(width):
        for x in range(height):
            at = offset + x * source_row + 3 * (width - 1 - y)
            out[offset + y * row + 3 * x:offset + y * row + 3 * x + 3] = bmp[at:at + 3]
    return bytes(out)


def turned_from(files):
    """For the frames at the end that are an earlier stored frame turned, the
    index of that frame; the stored frames come first."""
    sources = []
    stored = len(files)
    while stored > 1:
        found = next((i for i in range(stored - 1) if turn_bmp(files[i]) == files[stored - 1]), None)
        if found is None:
            break
        sources.insert(0, found)
        stored -= 1
    return sources


class RangeEncoder:
    def __init__(self):
        self.low, self.range, self.cache, self.cache_size = 0, 0xFFFFFFFF, 0, 1
        self.out = bytearray()
        self.probs = [1 << (PROB_BITS - 1)] * MODEL_SIZE

    def _shift_low(self):
        if self.low < 0xFF000000 or self.low >= 1 << 32:
            carry = self.low >> 32
            for _ in range(self.cache_size):
                self.out.append((self.cache + carry) & 0xFF)
                self.cache = 0xFF
            self.cache, self.cache_size = (self.low >> 24) & 0xFF, 0
        self.cache_size += 1
        self.low = (self.low << 8) & 0xFFFFFFFF

    def bit(self, at, bit):
        p = self.probs[at]
        bound = (self.range >> PROB_BITS) * p
        if bit:
            self.low += bound
            self.range -= bound
            self.probs[at] = p - (p >> MOVE_BITS)
        else:
            self.range = bound
            self.probs[at] = p + (((1 << PROB_BITS) - p) >> MOVE_BITS)
        while self.range < 1 << 24:
            self.range = (self.range << 8) & 0xFFFFFFFF
            self._shift_low()

    def tree(self, at, value, bits):
        node = 1
        for i in range(bits - 1, -1, -1):
            bit = (value >> i) & 1
            self.bit(at + node, bit)
            node = node * 2 + bit

    def finish(self):
        for _ in range(5):
            self._shift_low()
        # The first byte is always 0 and the decoder reads it as such; the
        # decoder reads no further than the bytes that fix its last bit.
        return bytes(self.out)


def matches(data):
    """(length, distance) of the longest earlier copy at each position (lazy:
    one a byte later that is longer wins), as a list of items."""
    seen = defaultdict(list)

    def longest(i):
        best, distance = 0, 0
        for j in reversed(seen[data[i:i + 3]][-CANDIDATES:]):
            if i - j > MAX_DISTANCE:
                break
            n = 0
            while n < MAX_COPY and i + n < len(data) and data[j + n] == data[i + n]:
                n += 1
            if n > best:
                best, distance = n, i - j
                if n == MAX_COPY:
                    break
        return best, distance

    items, i = [], 0
    while i < len(data):
        length, distance = longest(i)
        if length >= MIN_COPY:
            seen[data[i:i + 3]].append(i)
            if longest(i + 1)[0] > length + 1:
                length = 0
            seen[data[i:i + 3]].pop()
        step = length if length >= MIN_COPY else 1
        items.append((length, distance) if step > 1 else (0, data[i]))
        for k in range(i, i + step):
            seen[data[k:k + 3]].append(k)
        i += step
    return items


def pack(data):
    coder = RangeEncoder()
    repeats = [0] * REPEATS
    after_copy, at = 0, 0
    for length, value in matches(data):
        if not length:
            coder.bit(IS_COPY + after_copy, 0)
            previous = data[at - 1] if at else 0
            coder.tree(LITERAL + (previous >> (8 - LITERAL_CONTEXT_BITS)) * 256 - 1, value, 8)
            after_copy, at = 0, at + 1
            continue
        coder.bit(IS_COPY + after_copy, 1)
        if value in repeats:
            coder.bit(IS_REPEAT + after_copy, 1)
            coder.tree(REPEAT - 1, repeats.index(value), 2)
            repeats.remove(value)
        else:
            coder.bit(IS_REPEAT + after_copy, 0)
            n = value.bit_length()
            coder.tree(LENGTH_BITS - 1, n, 5)
            for i in range(n - 2, -1, -1):
                coder.bit(DISTANCE + n * 16 + i, (value >> i) & 1)
            repeats.pop()
        repeats.insert(0, value)
        coder.tree(LENGTH - 1, length - MIN_COPY, 8)
        after_copy, at = 1, at + length
    # The end: a new distance of bit length 0.
    coder.bit(IS_COPY + after_copy, 1)
    coder.bit(IS_REPEAT + after_copy, 0)
    coder.tree(LENGTH_BITS - 1, 0, 5)
    return coder.finish()


def main(output, frames):
    files = []
    for path in frames:
        with open(path, "rb") as f:
            files.append(f.read())
    offsets = [0]
    for data in files:
        offsets.append(offsets[-1] + len(data))
    sources = turned_from(files)
    packed = pack(b"".join(files[:len(files) - len(sources)]))
    lines = [
        "// Written by tools/framepack/pack_frames.py from the hourglass frames.",
        f"constexpr uint32_t kLavaFileOffsets[{len(offsets)}] = {{{', '.join(map(str, offsets))}}};",
        "// The frames at the end that are these earlier frames turned a quarter turn.",
        f"constexpr int kLavaTurnedFrom[{max(len(sources), 1)}] = {{{', '.join(map(str, sources or [-1]))}}};",
        f"constexpr int kLavaStored = {len(files) - len(sources)};",
        f"const uint8_t kLavaPacked[{len(packed)}] = {{",
    ]
    for at in range(0, len(packed), 24):
        lines.append("    " + ", ".join(str(b) for b in packed[at:at + 24]) + ",")
    lines.append("};")
    with open(output, "w") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2:])
