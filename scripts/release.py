"""`make release`: dist/release/setup-loader-<version>.zip, what a driver
vendor takes: the loader, the packager's guide, the screenshot of the waiting
window that the demo takes, and SHA256SUMS over those three. With CERT and
KEY in the environment the loader in the zip is signed."""

import hashlib
import os
import re
import subprocess
import sys
import tempfile
import time
import zipfile
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "scripts"))
import demo  # noqa: E402

LOADER = ROOT / "dist" / "prjLomdra.exe"
GUIDE = ROOT / "docs" / "packager-guide.md"
OUT = ROOT / "dist" / "release"


def version():
    """The version text of resources/version.h, as the file properties show it: 1.00.0061."""
    header = (ROOT / "resources" / "version.h").read_text()
    number = {part: int(re.search(rf"#define LOADER_VERSION_{part} (\d+)", header)[1])
              for part in ("MAJOR", "MINOR", "REVISION")}
    return f"{number['MAJOR']}.{number['MINOR']:02d}.{number['REVISION']:04d}"


def commit_time():
    if os.environ.get("SOURCE_DATE_EPOCH"):
        return int(os.environ["SOURCE_DATE_EPOCH"])
    return int(subprocess.run(["git", "log", "-1", "--format=%ct"], cwd=ROOT, capture_output=True,
                              text=True, check=True).stdout)


def sha256sums(files):
    return "".join(f"{hashlib.sha256(data).hexdigest()}  {name}\n" for name, data in sorted(files.items()))


def write_zip(path, top, files, epoch):
    """Entries in a fixed order, dated with the commit, with fixed modes."""
    stamp = time.gmtime(max(epoch, 315532800))[:6]  # zip dates start in 1980
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as archive:
        for name in sorted(files):
            info = zipfile.ZipInfo(f"{top}/{name}", stamp)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.external_attr = (0o755 if name.endswith(".exe") else 0o644) << 16
            archive.writestr(info, files[name])


def signed(loader, cert, key):
    with tempfile.TemporaryDirectory() as scratch:
        copy = Path(scratch) / loader.name
        copy.write_bytes(loader.read_bytes())
        subprocess.run(["bash", str(ROOT / "scripts" / "sign.sh"), cert, key, str(copy)], check=True)
        return copy.read_bytes()


def main():
    if not LOADER.exists():
        sys.exit(f"{LOADER} is missing: run `make build` first")
    if subprocess.run(["git", "status", "--porcelain"], cwd=ROOT, capture_output=True, text=True).stdout.strip():
        print("==> Note: the working tree has changes that are not committed; this release is not one commit")
    cert, key = os.environ.get("CERT"), os.environ.get("KEY")
    loader = signed(LOADER, cert, key) if cert and key else LOADER.read_bytes()
    print("==> Taking the screenshot of the waiting window (the demo)")
    shot = demo.main()
    files = {
        LOADER.name: loader,
        GUIDE.name: GUIDE.read_bytes(),
        "waiting-window.png": Path(shot).read_bytes(),
    }
    files["SHA256SUMS"] = sha256sums(files).encode()
    top = f"setup-loader-{version()}"
    OUT.mkdir(parents=True, exist_ok=True)
    archive = OUT / f"{top}.zip"
    write_zip(archive, top, files, commit_time())
    print(f"==> {archive.relative_to(ROOT)}: " + ", ".join(sorted(files)))
    return archive


if __name__ == "__main__":
    main()
