"""Without a completion marker the waiting window gives up after 1992 ticks
of 250 ms (498 s), and deletes a marker that came after its last poll. A
setup program that runs past that limit keeps the process to its end, which
ends with its code, and leaves nothing that closes the next start's window
early."""

import time
import unittest
from pathlib import Path

import winehost
from winehost import wait_until

TITLE = "Please wait..."
TIMEOUT_S = 498
LAST_POLL_S = 479.75
SETUP_S = 525  # runs on well past the window's timeout


class Timeout(unittest.TestCase):
    def test_window_closes_by_itself_after_about_498_seconds(self):
        with winehost.WineDesktop() as desktop:
            hidden = desktop.folder("hidden")
            winehost.install_setup(hidden, "setup.exe", "510000 3010")  # past the timeout, within deploy's 10 min
            hidden_code = winehost.run_as_tool(desktop, winehost.install_loader(hidden, "RUNsetup.exe"), hidden=True)
            folder = desktop.folder("timeout")
            winehost.install_loader(folder, "RUNsetup.exe")
            setup = winehost.install_setup(folder, "setup.exe", f"{SETUP_S * 1000} 1641")
            exit_code = winehost.run_as_tool(desktop, folder / "RUNsetup.exe")
            desktop.wait_for_window(TITLE, timeout=90)
            shown = time.monotonic()
            try:
                time.sleep(400)
                self.assertTrue(desktop.windows(TITLE), "closed long before the timeout")
                # A marker after the last poll is never seen: the window keeps to its timeout.
                time.sleep(LAST_POLL_S + 6 - (time.monotonic() - shown))
                (folder / "done").write_text("")
                time.sleep(5)
                self.assertTrue(desktop.windows(TITLE), "a marker after the last poll was seen")
                wait_until(lambda: not desktop.windows(TITLE), TIMEOUT_S + 90 - (time.monotonic() - shown),
                           interval=0.5, what="the timeout")
                closed = time.monotonic() - shown
                print(f"closed {closed:.1f} s after the window appeared")
                self.assertGreater(closed, TIMEOUT_S - 10)
                self.assertFalse((folder / "done").exists(), "the closing window deletes the marker")
                self.assertEqual(winehost.setup_ends(setup), [], "the setup program should still run")
                # The process outlives its window: it ends after the setup program, with its code.
                self.assertEqual(exit_code(timeout=SETUP_S + 120 - (time.monotonic() - shown)), 1641)
                self.assertEqual([len(winehost.setup_starts(setup)), len(winehost.setup_ends(setup))], [1, 1])
                wait_until(lambda: not desktop.processes("RUNsetup.exe") and not desktop.processes("setup.exe"),
                           60, interval=1, what="the runners to end")
                self.assertFalse((folder / "done").exists(), "the late runner left a marker")
                self.assertEqual(hidden_code(timeout=120), 3010, "the unseen loader's tool gets the setup's own code")

                # The next start waits for its own setup program.
                Path(str(setup) + ".cfg").write_text("3000")
                desktop.start(folder / "RUNsetup.exe")
                desktop.wait_for_window(TITLE, timeout=90)
                closed = desktop.watch_close(TITLE, timeout=90)
                ends = winehost.setup_ends(setup)
                self.assertEqual(len(ends), 2, "the next start's window closed before its setup program ended")
                self.assertIsNone(winehost.close_fault(winehost.log_time_ms(ends[1]), *closed))
                wait_until(lambda: not desktop.processes("RUNsetup.exe"), 60, what="the loader to end")
                self.assertFalse((folder / "done").exists())
            finally:
                desktop.end("RUNsetup.exe", "setup.exe")


if __name__ == "__main__":
    unittest.main()
