"""`make release` as a vendor receives it: the zip, its four files and their
sums; and the loader in it built twice from one commit, byte for byte."""

import hashlib
import os
import struct
import subprocess
import sys
import tempfile
import unittest
import zipfile
from pathlib import Path

import winehost

ROOT = winehost.ROOT
sys.path.insert(0, str(ROOT / "scripts"))
import release  # noqa: E402


def build_loader(build_dir, env):
    out = build_dir / "out"
    for step in (["cmake", "-S", str(ROOT), "-B", str(build_dir), "--toolchain", str(ROOT / "cmake" / "mingw-i686.cmake"),
                  "-DCMAKE_BUILD_TYPE=MinSizeRel", f"-DLOADER_OUTPUT_DIR={out}"],
                 ["cmake", "--build", str(build_dir), "--target", "prjLomdra", "-j2"]):
        subprocess.run(step, env=env, check=True, capture_output=True, timeout=900)
    return (out / "prjLomdra.exe").read_bytes()


class Release(unittest.TestCase):
    def test_two_builds_of_one_commit_give_the_same_loader(self):
        env = {k: v for k, v in os.environ.items() if k != "SOURCE_DATE_EPOCH"}
        with tempfile.TemporaryDirectory(prefix="loader-build-") as scratch:
            first = build_loader(Path(scratch) / "one", env)
            second = build_loader(Path(scratch) / "two", env)
        self.assertEqual(first, second)
        commit = subprocess.run(["git", "log", "-1", "--format=%ct"], cwd=ROOT, capture_output=True,
                                text=True, check=True).stdout
        pe = struct.unpack_from("<I", first, 0x3C)[0]
        self.assertEqual(struct.unpack_from("<I", first, pe + 8)[0], int(commit), "the PE time is the commit's")

    def test_the_zip_holds_the_loader_the_guide_the_screenshot_and_their_sums(self):
        subprocess.run([sys.executable, str(ROOT / "scripts" / "release.py")], check=True, timeout=900 * winehost.SLOW)
        top = f"setup-loader-{release.version()}"
        loader = winehost.LOADER.read_bytes()
        self.assertIn(f"\0{release.version()}\0".encode("utf-16-le"), loader, "the loader's own version")

        with zipfile.ZipFile(ROOT / "dist" / "release" / f"{top}.zip") as archive:
            files = {Path(name).name: archive.read(name) for name in archive.namelist()}
            self.assertEqual({str(Path(name).parent) for name in archive.namelist()}, {top})
        self.assertEqual(sorted(files), ["SHA256SUMS", "packager-guide.md", "prjLomdra.exe", "waiting-window.png"])
        self.assertEqual(files["prjLomdra.exe"], loader)
        self.assertEqual(files["packager-guide.md"], (ROOT / "docs" / "packager-guide.md").read_bytes())
        self.assertIn(b"(waiting-window.png)", files["packager-guide.md"], "the guide shows the screenshot")
        sums = dict(reversed(line.split("  ")) for line in files["SHA256SUMS"].decode().splitlines())
        self.assertEqual(sums, {name: hashlib.sha256(data).hexdigest()
                                for name, data in files.items() if name != "SHA256SUMS"})

        shot = files["waiting-window.png"]
        self.assertEqual(shot[:8], b"\x89PNG\r\n\x1a\n")
        width, height = struct.unpack(">II", shot[16:24])
        self.assertTrue(width < 400 and height < 400, "the window, not the whole screen")
        colours = subprocess.run(["identify", "-format", "%k", "png:-"], input=shot, capture_output=True,
                                 check=True).stdout
        self.assertGreater(int(colours), 16, "a picture of the window, not an empty screen")


if __name__ == "__main__":
    unittest.main()
