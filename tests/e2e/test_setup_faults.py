"""What the loader does when the setup program beside it misbehaves: each
fault has one clear outcome, and leaves no process and no marker behind."""

import shutil
import time
import unittest
from pathlib import Path

import winehost
from winehost import install_loader, install_setup, setup_ends, setup_starts, wait_until

WINDOW = "Please wait..."
CRASH_TEARDOWN_MS = 2000 * winehost.SLOW
IMAGES = ("RUNsetup.exe", "setup.exe", "child.exe", "winedbg.exe")


class SetupFaults(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.desktop = winehost.WineDesktop()
        # A crash ends the program at once, as on a system without an error
        # reporter. Without a Debugger value Wine starts winedbg all the same,
        # whose crash dialog waits for a click; a debugger that cannot start
        # lets the crash end the process.
        cls.desktop.wine(["reg", "add", r"HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug", "/v",
                          "Debugger", "/d", r"C:\no-debugger.exe %ld %ld", "/f"]).wait(timeout=60 * winehost.SLOW)

    @classmethod
    def tearDownClass(cls):
        cls.desktop.close()

    def leftovers(self):
        return [image for image in IMAGES if self.desktop.processes(image)]

    def run_loader(self, folder):
        """Starts RUNsetup.exe in folder as a deployment tool would; returns
        when its window was last seen and first found gone (setup-log scale),
        and its exit code."""
        self.addCleanup(self.desktop.end, *IMAGES)
        exit_code = winehost.run_as_tool(self.desktop, install_loader(folder, "RUNsetup.exe"))
        self.desktop.wait_for_window(WINDOW, timeout=90)
        return self.desktop.watch_close(WINDOW, timeout=120), exit_code()

    def assert_nothing_left(self, folder, timeout=60):
        wait_until(lambda: not self.leftovers(), timeout, what="every loader and setup process to end")
        self.assertFalse((folder / "done").exists(), "a marker was left behind")

    def test_setup_that_crashes_or_fails_ends_the_wait_with_its_exit_code(self):
        for word, code in (("crash", 0xC0000005), ("fail", 7), ("3010", 3010), ("1641", 1641)):
            with self.subTest(word):
                folder = self.desktop.folder(f"Fault-{word}")
                setup = install_setup(folder, "setup.exe")
                Path(str(setup) + ".cfg").write_text(f"1000 {word}")
                closed, exit_code = self.run_loader(folder)
                self.assertEqual(exit_code, code)
                self.assertEqual(len(setup_starts(setup)), 1)
                # A crash ends it right after its start line.
                last = setup_ends(setup) if word == "fail" else setup_starts(setup)
                self.assertEqual(len(last), 1)
                # A crash's own end goes unlogged, and Wine takes over a second
                # to tear a crashed process down where an emulator runs it.
                last_seen, gone = closed
                teardown = CRASH_TEARDOWN_MS if word == "crash" else 0
                self.assertIsNone(winehost.close_fault(winehost.log_time_ms(last[0]), last_seen, gone - teardown))
                self.assert_nothing_left(folder)

    def test_text_file_named_setup_gets_the_shells_error_box(self):
        # The shell says it cannot run the file; once the box is answered the
        # runner ends and the window closes. The box's words are Wine's own and
        # change between releases (Wine 10's shell leaves ERROR_INVALID_HANDLE
        # where Wine 8 left ERROR_BAD_EXE_FORMAT, for any caller), so the test
        # holds to its shape: the shell's error box, with an error icon and OK.
        tools = self.desktop.folder("BoxReader")
        reader_exe = tools / "boxreader.exe"
        shutil.copyfile(winehost.FIXTURES / "boxreader.exe", reader_exe)
        report = tools / "error.box"
        folder = self.desktop.folder("NotAProgram")
        (folder / "setup.exe").write_text("This is a readme, not a program.\r\n")
        reader = self.desktop.wine([self.desktop.windows_path(reader_exe), self.desktop.windows_path(report),
                                    "Error", "180"])
        self.addCleanup(self.desktop.end, *IMAGES)
        exit_code = winehost.run_as_tool(self.desktop, install_loader(folder, "RUNsetup.exe"))
        self.desktop.wait_for_window(WINDOW, timeout=90)
        box = self.desktop.wait_for_window("Error", timeout=90)
        reader.wait(timeout=60 * winehost.SLOW)
        shown = winehost.read_box_report(report)
        self.assertEqual((shown["icon"], shown["buttons"]), ("yes", ["OK"]), shown)
        self.assertTrue(shown["text"].strip(), "the box says why")
        time.sleep(5)
        self.assertTrue(self.desktop.windows(WINDOW), "the window waits while the box is up")
        self.desktop.key(box, "Return")
        self.desktop.wait_for_no_window(WINDOW, timeout=60)
        self.assertIn(exit_code(), winehost.NO_PROGRAM_CODES, "the shell's error, passed on from the runner")
        self.assert_nothing_left(folder)

    def test_folder_named_setup_is_no_setup_program(self):
        # As when nothing lies beside the loader: it ends silently.
        folder = self.desktop.folder("FolderNamedSetup")
        (folder / "setup.exe").mkdir()
        self.addCleanup(self.desktop.end, *IMAGES)
        proc = self.desktop.start(install_loader(folder, "RUNsetup.exe"))
        seen = False

        def ended():
            nonlocal seen
            seen = seen or bool(self.desktop.windows(WINDOW))
            return proc.poll() is not None and not self.leftovers()

        wait_until(ended, 90, what="the loader to end")
        self.assertFalse(seen, "a window came up")
        self.assertEqual(sorted(p.name for p in folder.iterdir()), ["RUNsetup.exe", "setup.exe"])

    def test_setup_that_hands_over_to_a_child_installer(self):
        # The wait is for the setup program's own process: the window closes
        # after it, while the child goes on to its end undisturbed.
        folder = self.desktop.folder("Bootstrapper")
        setup = install_setup(folder, "setup.exe")
        Path(str(setup) + ".cfg").write_text("0 child")
        child = install_setup(folder, "child.exe", 8000)
        closed, _ = self.run_loader(folder)
        self.assertIsNone(winehost.close_fault(winehost.log_time_ms(setup_ends(setup)[0]), *closed))
        self.assertEqual(setup_ends(child), [], "the window waited for the child")
        self.assert_nothing_left(folder)
        self.assertEqual(len(setup_starts(setup)), 1)
        self.assertEqual(len(setup_ends(child)), 1)


if __name__ == "__main__":
    unittest.main()
