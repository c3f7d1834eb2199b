"""The loader's start-up and runner, end to end under Wine: which setup
program each name runs, the silent end, the runner's wait and its marker."""

import shutil
import time
import unittest
from pathlib import Path

import winehost
from winehost import install_loader, install_setup, setup_ends, setup_starts, wait_until

WINDOW = "Please wait..."


class LoaderRuns(winehost.DesktopCase):
    def loaders_running(self, *names):
        return [pid for name in names for pid in self.desktop.processes(name)]

    def start_beside_setup(self, folder_name, loader_name="RUNsetup.exe", run_ms=500, setup_config=None):
        """Lays out the loader beside a stand-in setup.exe, starts it as a user
        would and waits for its window; returns (folder, loader, setup, window)."""
        folder = self.desktop.folder(folder_name)
        loader = install_loader(folder, loader_name)
        setup = install_setup(folder, "setup.exe", run_ms=run_ms)
        if setup_config:
            Path(str(setup) + ".cfg").write_text(setup_config)
        self.desktop.start(loader)
        return folder, loader, setup, self.desktop.wait_for_window(WINDOW)

    def wait_until_ended(self, *names, timeout=120):
        wait_until(lambda: not self.loaders_running(*names), timeout, what=f"{names} to end")

    def test_each_prefix_runs_the_candidate_it_selects(self):
        # launcher name -> (the program it must run, look-alikes it must leave alone)
        cases = {
            "RUNsetup": ("setup.exe", ["etup.exe", "tup.exe", "up.exe"]),
            "runSetup": ("Setup.exe", []),
            "LOADERsetup": ("ERsetup.exe", ["DERsetup.exe", "setup.exe", "Rsetup.exe"]),
            "STARTsetup": ("setup.exe", ["RTsetup.exe", "Tsetup.exe", "etup.exe"]),
            "STAGEsetup": ("GEsetup.exe", ["Esetup.exe", "setup.exe"]),
            "PRJRUNsetup": ("setup.exe", ["RUNsetup.exe", "UNsetup.exe", "Nsetup.exe"]),
            "PRJsetup": ("setup.exe", ["etup.exe", "tup.exe"]),
        }
        folders = {}
        for number, (name, (target, others)) in enumerate(cases.items()):
            # Folder names that differ in more than letter case, as on Windows.
            folder = self.desktop.folder(f"Prefix{number}-{name}")
            loader = install_loader(folder, name + ".exe")
            for program in [target, *others]:
                install_setup(folder, program, run_ms=500)
            folders[name] = folder
            self.desktop.start(loader)
        images = [name + ".exe" for name in cases]
        wait_until(lambda: self.loaders_running(*images), 60, what="the loaders to start")
        self.wait_until_ended(*images, timeout=300)
        for name, (target, others) in cases.items():
            folder = folders[name]
            starts = setup_starts(folder / target)
            self.assertEqual(len(starts), 1, f"{name} should run {target} once: {starts}")
            self.assertIn("show=4", starts[0])
            for other in others:
                self.assertEqual(setup_starts(folder / other), [], f"{name} must not run {other}")
            self.assertFalse((folder / "done").exists(), f"{name} left its marker behind")

    def test_no_candidate_ends_silently_without_window_or_file(self):
        folder = self.desktop.folder("Alone")
        loader = install_loader(folder, "RUNsetup.exe")
        install_setup(folder, "other.exe")
        before = sorted(p.name for p in folder.iterdir())
        proc = self.desktop.start(loader)
        seen_window = False
        deadline = time.monotonic() + 120 * winehost.SLOW
        while proc.poll() is None and time.monotonic() < deadline:
            seen_window = seen_window or bool(self.desktop.windows(WINDOW))
            time.sleep(0.2)
        self.assertIsNotNone(proc.poll(), "the loader should end by itself")
        self.assertFalse(seen_window)
        self.assertEqual(sorted(p.name for p in folder.iterdir()), before)
        self.assertEqual(setup_starts(folder / "other.exe"), [])

    def test_runner_waits_for_the_setup_program_and_a_second_start_ends_at_once(self):
        folder, loader, setup, window = self.start_beside_setup("Waits", run_ms=12000)
        wait_until(lambda: setup_starts(setup), 90, what="the setup program to start")
        # A start while the runner waits finds the folder claimed and ends at once.
        self.assertEqual(winehost.run_as_tool(self.desktop, loader)(timeout=60), 1618)
        self.assertEqual(len(setup_starts(setup)), 1, "a second start ran the setup program again")
        self.assertEqual(setup_ends(setup), [], "the setup run should still be going")
        self.assertFalse((folder / "done").exists(), "no marker while the setup program runs")
        self.assertEqual(self.desktop.windows(WINDOW), [window], "the runner and the second start show no window")
        wait_until(lambda: setup_ends(setup), 120, what="the setup run to end")
        self.wait_until_ended("RUNsetup.exe", timeout=60)
        self.assertFalse((folder / "done").exists(), "the marker was left behind")

    def test_a_setup_program_that_broadcasts_to_all_windows_is_not_blocked(self):
        # Installers announce changes to every top-level window and wait for
        # each to answer; the runner's hidden owner window must answer too.
        _, _, setup, _ = self.start_beside_setup("Broadcast", setup_config="500 broadcast")
        wait_until(lambda: setup_ends(setup), 90, what="the broadcasting setup program to end")
        self.desktop.wait_for_no_window(WINDOW, timeout=90)
        self.wait_until_ended("RUNsetup.exe")
        self.assertTrue(any(line.startswith("broadcast ") for line in winehost.log_lines(setup)))

    def test_unrecognised_prefix_runs_nothing_and_leaves_the_window_to_the_user(self):
        folder, _, setup, window = self.start_beside_setup("Unknown", loader_name="XYZsetup.exe")
        # The relaunch comes after 2 s; give its runner ample time to have ended.
        wait_until(lambda: len(self.desktop.processes("XYZsetup.exe")) == 2, 60, interval=0.05,
                   what="the relaunched runner")
        wait_until(lambda: len(self.desktop.processes("XYZsetup.exe")) == 1, 60, what="the runner to end")
        time.sleep(5)
        self.assertEqual(setup_starts(setup), [])
        self.assertFalse((folder / "done").exists())
        self.assertEqual(self.desktop.windows(WINDOW), [window])
        self.desktop.key(window, "Escape")
        self.desktop.wait_for_no_window(WINDOW)
        self.wait_until_ended("XYZsetup.exe")

    def test_missing_target_marks_at_once_and_the_window_closes(self):
        # Candidate 4 of RUNsetup is up.exe: it lets the start go on, but the
        # runner's target, setup.exe, is missing.
        folder = self.desktop.folder("NoTarget")
        loader = install_loader(folder, "RUNsetup.exe")
        decoy = install_setup(folder, "up.exe")
        self.desktop.start(loader)
        self.desktop.wait_for_window(WINDOW)
        self.desktop.wait_for_no_window(WINDOW, timeout=90)
        self.wait_until_ended("RUNsetup.exe")
        self.assertEqual(setup_starts(decoy), [])
        self.assertFalse((folder / "done").exists())

    def test_a_folder_named_done_is_never_taken_for_the_marker(self):
        folder = self.desktop.folder("DoneFolder")
        loader = install_loader(folder, "RUNsetup.exe")
        setup = install_setup(folder, "setup.exe", run_ms=500)
        (folder / "done").mkdir()
        self.desktop.start(loader)
        self.desktop.wait_for_window(WINDOW)
        # No marker can be written; the window closes once its runner has ended.
        closed = self.desktop.watch_close(WINDOW, 90)
        self.assertIsNone(winehost.close_fault(winehost.log_time_ms(setup_ends(setup)[0]), *closed))
        self.wait_until_ended("RUNsetup.exe")
        self.assertTrue((folder / "done").is_dir())


class PlantedLibraries(unittest.TestCase):
    """System DLL names planted beside the loader are never loaded by it."""

    # Not imm32, version or ole32: Wine's own start-up loads those by name
    # before any code of the program runs (Windows takes them from its
    # known system DLLs).
    PLANTED = ["shell32", "uxtheme", "dwmapi", "comctl32", "shlwapi", "shcore", "propsys"]

    def test_a_whole_run_loads_no_planted_dll(self):
        overrides = ";".join(f"{name}=n,b" for name in self.PLANTED)
        with winehost.WineDesktop(dll_overrides=overrides) as desktop:
            folder = desktop.folder("Downloads")
            loader = install_loader(folder, "RUNsetup.exe")
            setup = install_setup(folder, "setup.exe", run_ms=500)
            for name in self.PLANTED:
                shutil.copyfile(winehost.FIXTURES / "planted.dll", folder / f"{name}.dll")
            desktop.start(loader)
            desktop.wait_for_window(WINDOW)
            wait_until(lambda: setup_ends(setup), 90, what="the setup program to end")
            desktop.wait_for_no_window(WINDOW, timeout=90)
            # Each planted copy lists the processes that loaded it. The
            # stand-in setup program is an ordinary program and may load them.
            loaders = {f"{p.name}: {line}" for p in Path(folder).glob("*.loaded")
                       for line in p.read_text().splitlines() if "RUNsetup" in line}
            self.assertEqual(loaders, set())
            self.assertEqual(len(setup_starts(setup)), 1)


if __name__ == "__main__":
    unittest.main()
