"""Packs the hourglass frames (.bmp files) into one compressed block that the
loader unpacks once at start (src/waitwindow/FramePack.cpp), and writes it as
C++ source to include. The frames are most of the loader's size as plain
bitmaps, and they have too many colours for a run-length DIB that GDI could
draw as it is.

Format: groups of up to eight items, each group led by a flag byte whose bits
(lowest first) tell the items apart. A clear bit is one literal byte. A set
bit is a copy of earlier output: a 16-bit little-endian distance back (1 to
65535), then one byte holding the length less 4 (lengths 4 to 259).

Usage: pack_frames.py <output.inc> <frame.bmp>...
"""

import sys
from collections import defaultdict

MIN_COPY, MAX_COPY, MAX_DISTANCE = 4, 259, 65535
CANDIDATES = 256  # the most recent places a 3-byte prefix occurred


def pack(data):
    out = bytearray()
    seen = defaultdict(list)
    flag_at, bit = 0, 8
    i = 0
    while i < len(data):
        if bit == 8:
            flag_at, bit = len(out), 0
            out.append(0)
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
        step = best if best >= MIN_COPY else 1
        if step > 1:
            out[flag_at] |= 1 << bit
            out += bytes((distance & 0xFF, distance >> 8, best - MIN_COPY))
        else:
            out.append(data[i])
        for k in range(i, i + step):
            seen[data[k:k + 3]].append(k)
        i += step
        bit += 1
    return bytes(out)


def main(output, frames):
    files = []
    for path in frames:
        with open(path, "rb") as f:
            files.append(f.read())
    offsets = [0]
    for data in files:
        offsets.append(offsets[-1] + len(data))
    packed = pack(b"".join(files))
    lines = [
        "// Written by tools/framepack/pack_frames.py from the hourglass frames.",
        f"constexpr uint32_t kLavaFileOffsets[{len(offsets)}] = {{{', '.join(map(str, offsets))}}};",
        f"const uint8_t kLavaPacked[{len(packed)}] = {{",
    ]
    for at in range(0, len(packed), 24):
        lines.append("    " + ", ".join(str(b) for b in packed[at:at + 24]) + ",")
    lines.append("};")
    with open(output, "w") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2:])
