"""The Win32 layer's GoogleTest program, run under Wine beside the fixture
programs it starts."""

import shutil
import unittest

import winehost


class Win32Layer(unittest.TestCase):
    def test_googletest_program_passes(self):
        with winehost.WineDesktop(dll_overrides="dwmapi=n,b;msimg32=n,b") as desktop:
            folder = desktop.folder("tests")
            for program in winehost.FIXTURES.iterdir():
                if program.suffix in (".exe", ".dll"):
                    shutil.copy(program, folder / program.name)
            # The resource tests read the built loader from beside them.
            shutil.copy(winehost.LOADER, folder / winehost.LOADER.name)
            code, output = desktop.run_console(folder / "loader_win32_tests.exe")
            print(output)
            self.assertIn("[  PASSED  ]", output)
            self.assertEqual(code, 0, output[-3000:])


if __name__ == "__main__":
    unittest.main()
