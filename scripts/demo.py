"""The loader's main job, shown: RUNsetup.exe beside a small setup program,
started under Wine as a user would, on a virtual X display. The waiting
window appears, the setup program runs, the window closes by itself."""

import shutil
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests" / "e2e"))
import winehost  # noqa: E402

SETUP_SECONDS = 6
SCREENSHOT = ROOT / "build" / "demo" / "waiting-window.png"
MARGIN = 24  # pixels of desktop kept around the window in the screenshot


def main():
    """Runs the demo; returns the path of the waiting window's screenshot."""
    SCREENSHOT.parent.mkdir(parents=True, exist_ok=True)
    print("==> Starting a virtual desktop with Wine (the first start prepares a Wine prefix)")
    with winehost.WineDesktop() as desktop:
        folder = desktop.folder("Drivers")
        loader = winehost.install_loader(folder, "RUNsetup.exe")
        setup = winehost.install_setup(folder, "setup.exe", SETUP_SECONDS * 1000)
        print(f"==> {desktop.windows_path(folder)} holds RUNsetup.exe (the loader) and setup.exe "
              f"(a stand-in setup program that runs {SETUP_SECONDS} s)")
        started = time.monotonic()
        desktop.start(loader)
        window = desktop.wait_for_window("Please wait...", timeout=120)
        x, y, width, height = desktop.geometry(window)
        print(f"==> The waiting window is up: {width} x {height} px at ({x}, {y})")
        winehost.wait_until(lambda: winehost.setup_starts(setup), 120, what="the setup program")
        shot = desktop.screenshot(SCREENSHOT, (x - MARGIN, y - MARGIN, width + 2 * MARGIN, height + 2 * MARGIN))
        print(f"==> setup.exe is running; screenshot of the waiting window: {shot}")
        desktop.wait_for_no_window("Please wait...", timeout=SETUP_SECONDS + 120)
        print(f"==> setup.exe has ended and the window closed by itself "
              f"({time.monotonic() - started:.0f} s after the start)")
        log = Path(str(setup) + ".log").read_text().strip().splitlines()
        print("==> setup.exe's own log: " + "; ".join(log))
        left = sorted(p.name for p in folder.iterdir())
        print("==> The folder holds: " + ", ".join(left) + " (no completion marker left behind)")
    return shot


if __name__ == "__main__":
    if not shutil.which("wine"):
        sys.exit("wine is missing: run `make deps` first")
    main()
