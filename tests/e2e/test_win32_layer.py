"""The Win32 layer's GoogleTest program, run under Wine beside the fixture
programs it starts."""

import shutil
import unittest

import winehost


class Win32Layer(unittest.TestCase):
    def run_tests(self, desktop, *args):
        folder = desktop.folder("tests")
        for program in winehost.FIXTURES.iterdir():
            if program.suffix in (".exe", ".dll"):
                shutil.copy(program, folder / program.name)
        # The resource tests read the built loader from beside them.
        shutil.copy(winehost.LOADER, folder / winehost.LOADER.name)
        code, output = desktop.run_console(folder / "loader_win32_tests.exe", *args)
        print(output)
        self.assertIn("[  PASSED  ]", output)
        self.assertEqual(code, 0, output[-3000:])
        return output

    def test_googletest_program_passes(self):
        with winehost.WineDesktop(dll_overrides="dwmapi=n,b;msimg32=n,b") as desktop:
            self.assertIn("at 96 dpi", self.run_tests(desktop))

    def test_message_fits_its_label_at_144_dpi(self):
        # Larger text settings: the label and the default UI font both grow.
        # (The test program declares itself DPI-aware, or Wine 10 shows it 96.)
        with winehost.WineDesktop() as desktop:
            desktop.wine(["reg", "add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels", "/t", "REG_DWORD",
                          "/d", "144", "/f"]).wait(timeout=60 * winehost.SLOW)
            self.assertIn("at 144 dpi", self.run_tests(desktop, "--gtest_filter=MessageFont.*"))


if __name__ == "__main__":
    unittest.main()
