"""Splits an icon file into the executable's icon resources.

    split_icon.py app.ico OUTDIR

writes OUTDIR/icon30001.bin... (one RT_ICON image each, in the file's order)
and OUTDIR/group.bin (the RT_GROUP_ICON directory naming them). windres would
number the images of an ICON statement 1..n itself, and it rewrites inline
group data without the directory's two closing zero bytes, so loader.rc takes
these files as they are.
"""

import struct
import sys
from pathlib import Path

FIRST_IMAGE_ID = 30001


def split(icon: bytes):
    """Returns the images and the group directory of an icon file."""
    if len(icon) < 6:
        raise ValueError("not an icon file")
    reserved, kind, count = struct.unpack_from("<HHH", icon, 0)
    if reserved != 0 or kind != 1 or len(icon) < 6 + 16 * count:
        raise ValueError("not an icon file")
    images = []
    group = icon[:6]
    for index in range(count):
        entry = 6 + 16 * index
        size, offset = struct.unpack_from("<II", icon, entry + 8)
        if offset + size > len(icon):
            raise ValueError(f"image {index + 1} is truncated")
        images.append(icon[offset:offset + size])
        # The group entry keeps the first 12 bytes and names the image by id
        # instead of giving its offset in the file.
        group += icon[entry:entry + 12] + struct.pack("<H", FIRST_IMAGE_ID + index)
    return images, group + b"\0\0"


def main(source, folder):
    images, group = split(Path(source).read_bytes())
    out = Path(folder)
    out.mkdir(parents=True, exist_ok=True)
    for index, image in enumerate(images):
        (out / f"icon{FIRST_IMAGE_ID + index}.bin").write_bytes(image)
    (out / "group.bin").write_bytes(group)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: split_icon.py ICON OUTDIR")
    try:
        main(sys.argv[1], sys.argv[2])
    except (ValueError, OSError) as error:
        sys.exit(f"split_icon.py: {error}")
