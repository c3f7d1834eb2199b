"""The loader as a deployment tool meets it: started by a program that waits
for its exit code, on the visible desktop or where nobody sees the screen."""

import unittest
from pathlib import Path

import winehost
from winehost import install_loader, install_setup, log_time_ms, now_ms, run_as_tool, setup_starts, wait_until

WINDOW = "Please wait..."


class DeploymentTool(winehost.DesktopCase):
    def test_where_nobody_sees_no_box_waits_and_the_code_says_what_happened(self):
        runs = {}
        for name, config, args in (("Runs", "1000 3010", ()), ("NoProgram", None, ()), ("Nothing", "", ()),
                                   ("Embeds", "1000", ("/Addrunsetup/Manifest",)), ("TooDeep", "1000", ()),
                                   ("NoPrefix", "1000", ())):
            # TooDeep: 8.3 names, too long for the manifest's path beside it; refused, with no box.
            folder = self.desktop.folder("TOODEEP" + "/LEVEL000" * 26 if name == "TooDeep" else "Hidden" + name)
            if config is None:
                (folder / "setup.exe").write_text("This is a readme, not a program.\r\n")
            elif config:
                Path(str(install_setup(folder, "setup.exe")) + ".cfg").write_text(config)
            (folder / "RUNsetup.exe.manifest").write_text('<assembly manifestVersion="1.0"/>')
            # NoPrefix: its window waits for nobody's hand where nobody sees it.
            loader = install_loader(folder, "XYZsetup.exe" if name == "NoPrefix" else "RUNsetup.exe")
            runs[name] = run_as_tool(self.desktop, loader, *args, hidden=True)
        codes = {name: exit_code() for name, exit_code in runs.items()}
        self.assertEqual({**codes, "NoProgram": None},
                         {"Runs": 3010, "NoProgram": None, "Nothing": 2, "Embeds": 0, "TooDeep": 206, "NoPrefix": 2})
        self.assertIn(codes["NoProgram"], winehost.NO_PROGRAM_CODES)
        self.assertTrue((self.desktop.drive_c / "HiddenEmbeds" / "RUNsetup_new.exe").exists(), "no copy written")
        self.assertEqual(self.desktop.windows(WINDOW), [], "a window showed on the visible desktop")

    def test_a_second_start_is_told_to_retry_and_escape_says_the_user_ended_it(self):
        folder = self.desktop.folder("Twice")
        setup = install_setup(folder, "setup.exe", 60000)
        loader = install_loader(folder, "RUNsetup.exe")
        first = run_as_tool(self.desktop, loader)
        window = self.desktop.wait_for_window(WINDOW, timeout=90)
        wait_until(lambda: setup_starts(setup), 90, what="the setup program to start")
        self.assertEqual(run_as_tool(self.desktop, loader)(timeout=90), 1618)
        self.desktop.key(window, "Escape")
        self.assertEqual(first(timeout=60), 1602)
        self.assertEqual(len(setup_starts(setup)), 1)
        # Asked to quit from outside (WM_QUIT) before its relaunch: the user's end too.
        install_setup(self.desktop.folder("Quit"), "setup.exe")
        quit = run_as_tool(self.desktop, install_loader(self.desktop.drive_c / "Quit", "RUNsetup.exe"), quit=True)
        self.assertEqual(quit(timeout=90), 1602)

    def test_a_relaunch_that_fails_ends_the_wait_with_its_error(self):
        folder = self.desktop.folder("Renamed")
        setup = install_setup(folder, "setup.exe")
        loader = install_loader(folder, "RUNsetup.exe")
        exit_code = run_as_tool(self.desktop, loader)
        self.desktop.wait_for_window(WINDOW, timeout=90)
        loader.rename(folder / "RUNother.exe")  # before the relaunch, two seconds on
        # On the Linux side, past Wine's sharing: the held file's final path now names nothing, and nothing waits.
        self.assertEqual(exit_code(timeout=60), 2)
        self.assertEqual(self.desktop.windows(WINDOW), [])
        self.assertEqual(setup_starts(setup), [])

    def test_the_waiting_instance_cannot_be_renamed_before_its_relaunch_and_setup_runs_in_its_own_folder(self):
        folder = self.desktop.folder("Held")
        setup = install_setup(folder, "setup.exe", 500)
        loader = install_loader(folder, "RUNsetup.exe")
        self.desktop.wine(["cmd", "/c", "ver"]).wait(timeout=60 * winehost.SLOW)  # a warm cmd starts in a moment
        exit_code = run_as_tool(self.desktop, loader)
        self.desktop.wait_for_window(WINDOW, timeout=90)
        # Through Wine: a rename on the Linux side would bypass its sharing.
        self.desktop.wine(["cmd", "/c", "ren", self.desktop.windows_path(loader), "RUNother.exe"]).wait(60)
        tried = now_ms()
        self.assertEqual(sorted(p.name for p in folder.glob("RUN*")), ["RUNsetup.exe"], "renamed while held")
        self.assertEqual(exit_code(timeout=90), 0)
        self.assertLess(tried, log_time_ms(setup_starts(setup)[0]), "the rename came after the relaunch")
        # The tool started the loader from its own folder (this one's), not the loader's.
        self.assertEqual([line for line in winehost.log_lines(setup) if line.startswith("cwd ")],
                         ["cwd " + self.desktop.windows_path(folder)])


if __name__ == "__main__":
    unittest.main()
