"""Measures what the loader costs while it waits: the executable's size, and
the waiting instance's CPU time and peak memory during a setup run of fixed
length under Wine. Prints numbers; asserts nothing (Wine, and here an
emulator, add their own overhead, so compare runs with each other)."""

import os
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests" / "e2e"))
import winehost  # noqa: E402

SETUP_SECONDS = 20
TICKS = os.sysconf("SC_CLK_TCK")


def sample(pid):
    """(cpu seconds, peak resident KiB) of a process, or None once it has gone."""
    try:
        fields = Path(f"/proc/{pid}/stat").read_text().split(") ")[-1].split()
        status = Path(f"/proc/{pid}/status").read_text()
    except OSError:
        return None
    cpu = (int(fields[11]) + int(fields[12])) / TICKS
    peak = next(int(line.split()[1]) for line in status.splitlines() if line.startswith("VmHWM:"))
    return cpu, peak


def main():
    size = winehost.LOADER.stat().st_size
    print(f"executable: {size} bytes ({size / 1024:.1f} KiB; goal under 160 KiB)")
    with winehost.WineDesktop() as desktop:
        folder = desktop.folder("Bench")
        loader = winehost.install_loader(folder, "RUNsetup.exe")
        setup = winehost.install_setup(folder, "setup.exe", SETUP_SECONDS * 1000)
        desktop.start(loader)
        desktop.wait_for_window("Please wait...", timeout=120)
        waiting = min(desktop.processes("RUNsetup.exe"))
        winehost.wait_until(lambda: winehost.setup_starts(setup), 120, what="the setup program")
        start, started = sample(waiting), time.monotonic()
        last = start
        while time.monotonic() - started < SETUP_SECONDS - 2:
            last = sample(waiting) or last
            time.sleep(0.5)
        elapsed = time.monotonic() - started
        print(f"waiting instance while the setup program ran {elapsed:.0f} s: "
              f"{last[0] - start[0]:.2f} s CPU ({100 * (last[0] - start[0]) / elapsed:.1f} %), "
              f"peak resident {last[1]} KiB (Wine's own share included)")
        desktop.wait_for_no_window("Please wait...", timeout=120)


if __name__ == "__main__":
    sys.exit(main())
