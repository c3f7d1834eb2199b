"""The loader in the folders that drivers ship in: names the system's ANSI
code page cannot hold (1252 in the test prefix) and paths past the old
260-character limit. Each start must run the setup program once and close,
as from any other folder."""

import unittest

import winehost
from winehost import install_loader, install_setup, nested, setup_ends, setup_starts, wait_until

WINDOW = "Please wait..."


class Folders(winehost.DesktopCase):
    def lay_out(self, name):
        folder = self.desktop.folder(name)
        loader = install_loader(folder, "RUNsetup.exe")
        return folder, loader, install_setup(folder, "setup.exe", run_ms=1500)

    def loader_ends(self):
        wait_until(lambda: not self.desktop.processes("RUNsetup.exe"), 90, what="the loader to end")

    def test_folder_names_the_code_page_cannot_hold(self):
        for name in ("ドライバ", "Łódź"):
            with self.subTest(name):
                folder, loader, setup = self.lay_out(name)
                self.desktop.start(loader)
                self.desktop.wait_for_window(WINDOW, timeout=90)
                wait_until(lambda: setup_ends(setup), 90, what="the setup program to end")
                self.desktop.wait_for_no_window(WINDOW, timeout=60)
                self.loader_ends()
                self.assertEqual(len(setup_starts(setup)), 1)
                self.assertFalse((folder / "done").exists())

    def test_a_loader_path_over_260_characters_finds_its_setup_program(self):
        folder, loader, _ = self.lay_out(nested(280))
        self.assertGreater(len(self.desktop.windows_path(loader)), 260)
        self.desktop.start(loader)
        # The window shows only when the setup program was found beside the
        # loader. Wine cannot start a program whose long path passes 260
        # characters (not even by its 8.3 path), so the run itself is left to
        # the short-path cases; here the window is closed by hand.
        window = self.desktop.wait_for_window(WINDOW, timeout=90)
        self.desktop.key(window, "Escape")
        self.desktop.wait_for_no_window(WINDOW, timeout=60)
        self.loader_ends()


if __name__ == "__main__":
    unittest.main()
