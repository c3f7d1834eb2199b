"""Where the loader's bytes go: the file's size against its budget, the DLLs
it imports, each section's bytes in the file (its content and the padding to
the file alignment), and the largest symbols, read from the unstripped twin
that the build links beside the stripped loader.

Usage: size_report.py <loader.exe> [<unstripped twin.exe>]
"""

import struct
import subprocess
import sys
from pathlib import Path

BUDGET = 160 * 1024
SYMBOLS = 15


def pe_layout(data):
    """(file alignment, header bytes in use, header bytes in the file, sections);
    each section a (name, content bytes, raw bytes, virtual size)."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    count, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    optional = pe + 24
    file_alignment = struct.unpack_from("<I", data, optional + 36)[0]
    header_raw = struct.unpack_from("<I", data, optional + 60)[0]
    table = optional + optional_size
    sections = []
    for i in range(count):
        name, virtual, _, raw, _ = struct.unpack_from("<8sIIII", data, table + 40 * i)
        # Content is what the section holds; the rest of its raw bytes pad it.
        sections.append((name.rstrip(b"\0").decode(), min(virtual, raw), raw, virtual))
    return file_alignment, table + 40 * count, header_raw, sections


def imports(exe):
    dump = subprocess.run(["i686-w64-mingw32-objdump", "-p", str(exe)], capture_output=True, text=True,
                          check=True).stdout
    return [line.split()[2] for line in dump.splitlines() if "DLL Name:" in line]


def largest_symbols(twin, count=SYMBOLS):
    """(bytes, kind, name) of the largest code and data symbols; zeroed data
    (.bss) is left out, as it takes no room in the file."""
    listing = subprocess.run(["i686-w64-mingw32-nm", "--size-sort", "-S", "-C", str(twin)], capture_output=True,
                             text=True, check=True).stdout
    kinds = {"t": "code", "r": "read-only", "d": "data"}
    found = []
    for line in listing.splitlines():
        fields = line.split(maxsplit=3)
        # Section symbols (".text") span a whole section; they name no code of ours.
        if len(fields) == 4 and fields[2].lower() in kinds and not fields[3].startswith("."):
            found.append((int(fields[1], 16), kinds[fields[2].lower()], fields[3]))
    return sorted(found, reverse=True)[:count]


def report(exe, twin=None):
    exe = Path(exe)
    data = exe.read_bytes()
    size = len(data)
    print(f"==> {exe}: {size} bytes ({size // 1024} KiB of a {BUDGET // 1024} KiB budget)")
    print(f"    imports: {' '.join(imports(exe))}")
    if size > BUDGET:
        print("    warning: over budget")
    alignment, header_used, header_raw, sections = pe_layout(data)
    print(f"    sections, bytes in the file (raw = content + padding to the {alignment}-byte file alignment):")
    print(f"      {'section':9} {'content':>8} {'padding':>8} {'raw':>8}")
    rows = [("headers", header_used, header_raw)] + [(name, content, raw) for name, content, raw, _ in sections]
    for name, content, raw in rows:
        print(f"      {name:9} {content:8} {raw - content:8} {raw:8}")
    in_sections = sum(raw for _, _, raw in rows)
    if size > in_sections:  # a signature, say
        print(f"      {'after':9} {size - in_sections:8} {0:8} {size - in_sections:8}")
    padding = sum(raw - content for _, content, raw in rows)
    print(f"      {'total':9} {size - padding:8} {padding:8} {size:8}")
    zeroed = [(name, virtual) for name, _, raw, virtual in sections if raw == 0]
    if zeroed:
        print("      in memory only: " + ", ".join(f"{name} {virtual}" for name, virtual in zeroed))
    if twin and Path(twin).exists():
        print(f"    largest symbols (from the unstripped twin {twin}):")
        for length, kind, name in largest_symbols(twin):
            print(f"      {length:7}  {kind:9}  {name}")


if __name__ == "__main__":
    report(*sys.argv[1:3])
