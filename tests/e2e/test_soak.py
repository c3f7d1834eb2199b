"""Complete runs back to back on one Wine desktop, each with a 1 s setup
program: every run must run the setup once, close within one scheduled poll
of its end, and leave no process and no marker; the waiting instance's
handle count and memory must not grow from run to run.

SOAK_RUNS sets the number of runs (10; `make soak` runs 200)."""

import os
import re
import shutil
import statistics
import unittest

import winehost
from winehost import install_loader, install_setup, setup_ends, setup_starts, wait_until

WINDOW = "Please wait..."
RUNS = int(os.environ.get("SOAK_RUNS", "10"))
SAMPLE = re.compile(r"(\d+) pid=(\d+) parent=(\d+) handles=(\d+) workingset=(\d+) private=(\d+)")


def waiting_instance_peaks(lines, since, until):
    """Peak (handles, working set, private bytes) of the waiting instance: the
    loader process sampled in [since, until] whose parent is no loader."""
    samples = [tuple(map(int, m.groups())) for m in map(SAMPLE.fullmatch, lines) if m]
    samples = [s for s in samples if since <= s[0] <= until]
    loaders = {s[1] for s in samples}
    waiting = [s for s in samples if s[2] not in loaders]
    if not waiting:
        return None
    return tuple(max(s[i] for s in waiting) for i in (3, 4, 5))


class Soak(unittest.TestCase):
    def test_back_to_back_runs(self):
        with winehost.WineDesktop() as desktop:
            tools = desktop.folder("SoakTools")
            shutil.copyfile(winehost.FIXTURES / "procwatch.exe", tools / "procwatch.exe")
            figures = tools / "figures.txt"
            desktop.wine([desktop.windows_path(tools / "procwatch.exe"), "RUNsetup",
                          desktop.windows_path(figures)])
            folder = desktop.folder("Soak")
            loader = install_loader(folder, "RUNsetup.exe")
            setup = install_setup(folder, "setup.exe", 1000)
            delays, peaks = [], []
            for run in range(1, RUNS + 1):
                desktop.start(loader)
                shown = desktop.wait_for_window(WINDOW, timeout=90) and winehost.now_ms()
                ends = wait_until(lambda: len(setup_ends(setup)) >= run and setup_ends(setup), 90,
                                  what=f"run {run}: the setup program to end")
                end = winehost.log_time_ms(ends[run - 1])
                last_seen, gone = desktop.watch_close(WINDOW, timeout=60)
                self.assertIsNone(winehost.close_fault(end, last_seen, gone), f"run {run}")
                delays.append(gone - end)
                wait_until(lambda: not desktop.processes("RUNsetup.exe") and not desktop.processes("setup.exe"),
                           60, what=f"run {run}: every loader and setup process to end")
                self.assertEqual(len(setup_starts(setup)), run, f"run {run}: the setup program ran again")
                self.assertFalse((folder / "done").exists(), f"run {run}: a marker was left")
                lines = figures.read_text().splitlines() if figures.exists() else []
                peak = waiting_instance_peaks(lines, shown - 1000, gone)
                self.assertIsNotNone(peak, f"run {run}: no figures of the waiting instance")
                peaks.append(peak)

            quantiles = statistics.quantiles(delays, n=20, method="inclusive")
            print(f"\n{RUNS} runs; close delay after the setup's end, ms: min {min(delays)}, "
                  f"median {statistics.median(delays):.0f}, p95 {quantiles[18]:.0f}, max {max(delays)}; "
                  f"schedule: one poll every {winehost.POLL_MS} ms")
            for name, column in (("handles", 0), ("working set", 1), ("private bytes", 2)):
                print(f"waiting instance {name}: first run {peaks[0][column]}, last run {peaks[-1][column]}, "
                      f"max {max(p[column] for p in peaks)}")
            # A leak shows as a rise from the first runs to the last; the
            # first run also warms the prefix, so compare the peaks of each third.
            third = max(1, RUNS // 3)
            early, late = peaks[:third], peaks[-third:]
            self.assertLessEqual(max(p[0] for p in late), max(p[0] for p in early) + 2, "handle count grows")
            for column in (1, 2):
                self.assertLessEqual(max(p[column] for p in late), max(p[column] for p in early) * 1.1 + 65536,
                                     "memory grows")


if __name__ == "__main__":
    unittest.main()
