"""Without a completion marker the waiting window gives up after 1992 ticks
of 250 ms (498 s), and deletes a marker that came after its last poll."""

import os
import signal
import time
import unittest

import winehost
from winehost import wait_until

TITLE = "Please wait..."
TIMEOUT_S = 498
LAST_POLL_S = 479.75


class Timeout(unittest.TestCase):
    def test_window_closes_by_itself_after_about_498_seconds(self):
        with winehost.WineDesktop() as desktop:
            folder = desktop.folder("timeout")
            # No recognised prefix: the relaunched process runs nothing and
            # leaves no marker, so only the timeout can close the window.
            winehost.install_loader(folder, "XYZsetup.exe")
            setup = winehost.install_setup(folder, "setup.exe", 1000)
            desktop.start(folder / "XYZsetup.exe")
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
                wait_until(lambda: not desktop.processes("XYZsetup.exe"), 60, what="the loader to end")
                self.assertFalse((folder / "done").exists(), "the closing window deletes the marker")
                self.assertEqual(winehost.setup_starts(setup), [])
            finally:
                for pid in desktop.processes("XYZsetup.exe"):
                    os.kill(pid, signal.SIGKILL)


if __name__ == "__main__":
    unittest.main()
