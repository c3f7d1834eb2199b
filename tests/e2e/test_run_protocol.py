"""One setup run per start, end to end under Wine: names another program
took first, two quick starts, and a folder on read-only media."""

import shutil
import subprocess
import time
import unittest
from pathlib import Path

import winehost
from winehost import install_loader, install_setup, run_as_tool, setup_ends, setup_starts, wait_until

WINDOW = "Please wait..."
BOX = "Setup Loader Application"


class RunProtocol(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.desktop = winehost.WineDesktop()
        cls.tools = cls.desktop.folder("Tools")
        shutil.copy(winehost.FIXTURES / "boxreader.exe", cls.tools)

    @classmethod
    def tearDownClass(cls):
        cls.desktop.close()

    def setUp(self):
        # What a failed case left running is ended, so the next case starts clean.
        self.addCleanup(self.desktop.end, "RUNsetup.exe", "setup.exe")

    def loaders(self):
        return self.desktop.processes("RUNsetup.exe")

    def assert_closes_within_a_poll_of_the_end(self, setup, timeout=120):
        """Watches the window until it closes: it must stay while the setup
        program runs and go soon after its end."""
        seen = self.desktop.watch_close(WINDOW, timeout)[0]
        end = winehost.log_time_ms(wait_until(lambda: setup_ends(setup), 30, what="the setup program's end")[0])
        # Seen is the last sample that found it: a close just after the end
        # can fall between two samples.
        self.assertGreaterEqual(seen, end - 250, "the window closed before the setup program had ended")
        # Polls come every 250 ms here; the rest is Wine's own slowness.
        self.assertLess(seen - end, 5000 * winehost.SLOW, "the window stayed long after the setup's end")
        wait_until(lambda: not self.loaders(), 60, what="the loaders to end")
        self.assertEqual(len(setup_starts(setup)), 1, "the setup program should run exactly once")

    def lay_out(self, name, run_ms=500):
        folder = self.desktop.folder(name)
        return folder, install_loader(folder, "RUNsetup.exe"), install_setup(folder, "setup.exe", run_ms=run_ms)

    def hold(self, kind, name):
        self.addCleanup(winehost.hold_name(self.desktop, kind, name, self.tools))

    def test_names_made_first_by_another_program_change_no_role_and_hold_no_start(self):
        for kind in ("mutex", "mutex-nodacl", "event", "event-nodacl"):
            with self.subTest(kind=kind):
                folder, loader, setup = self.lay_out("First-" + kind)
                # The per-session name a waiting loader once took its role from.
                self.hold(kind, winehost.instance_lock_name(self.desktop.windows_path(loader)))
                exit_code = run_as_tool(self.desktop, loader)
                self.desktop.wait_for_window(WINDOW, timeout=90)
                self.assertEqual(exit_code(timeout=120), 0)
                self.assertEqual(len(setup_starts(setup)), 1)
                self.assertFalse((folder / "done").exists(), "a marker was left behind")
        for kind in ("mutex", "mutex-nodacl"):
            with self.subTest(kind=kind, lock="the folder's"):
                folder, loader, setup = self.lay_out("Claimed-" + kind)
                self.hold(kind, "runner:" + self.desktop.windows_path(folder))
                # The holder lets go only after five minutes: the start must not wait for it.
                self.assertEqual(run_as_tool(self.desktop, loader, hidden=True)(timeout=60), 1618)
                self.assertEqual(setup_starts(setup), [])

    def test_another_kind_of_object_on_the_folders_lock_gives_one_message_and_runs_nothing(self):
        folder, loader, setup = self.lay_out("Locked")
        self.hold("event", "runner:" + self.desktop.windows_path(folder))
        report = self.tools / "locked.box"
        reader = self.desktop.wine([self.desktop.windows_path(self.tools / "boxreader.exe"),
                                    self.desktop.windows_path(report), BOX, "120"])
        exit_code = run_as_tool(self.desktop, loader)
        box = self.desktop.wait_for_window(BOX, timeout=120)
        wait_until(report.exists, 60, what="the box reader's report")
        reader.wait(timeout=60 * winehost.SLOW)
        text = winehost.read_box_report(report)["text"]
        self.assertIn('its lock object "Global\\SetupLoader.Runner.', text)
        self.assertIn("(error 6)", text, "the system's reason: the name belongs to another kind of object")
        self.assertEqual(len(self.loaders()), 1, "one loader, showing the message")
        self.assertEqual(self.desktop.windows(WINDOW), [])
        self.desktop.key(box, "Return")
        self.assertEqual(exit_code(timeout=60), 6)
        self.assertEqual(setup_starts(setup), [])
        self.assertEqual(sorted(p.name for p in folder.iterdir()), ["RUNsetup.exe", "setup.exe", "setup.exe.cfg"])

    def test_a_marker_that_is_a_link_to_a_file_elsewhere_is_neither_written_nor_deleted(self):
        secret = self.desktop.folder("Elsewhere") / "secret.txt"
        for moment in ("before the start", "while setup runs", "dangling"):
            with self.subTest(moment=moment):
                secret.unlink(missing_ok=True)
                if moment != "dangling":
                    secret.write_bytes(b"precious")
                folder, loader, setup = self.lay_out("Linked " + moment, run_ms=3000)
                if moment != "while setup runs":
                    (folder / "done").symlink_to(secret)
                exit_code = run_as_tool(self.desktop, loader)
                if moment == "while setup runs":
                    wait_until(lambda: setup_starts(setup), 90, what="the setup program to start")
                    (folder / "done").symlink_to(secret)
                self.assertEqual(exit_code(timeout=120), 0)
                self.assertEqual(secret.read_bytes() if secret.exists() else None,
                                 None if moment == "dangling" else b"precious", "nothing made through the link")
                self.assertTrue((folder / "done").is_symlink(), "the link itself stays: it is no file of the folder")

    def test_the_window_ends_with_its_runner_between_polls_and_a_marker_from_anyone_else_changes_nothing(self):
        # Ends about 65 s in: the schedule polls from 60 to 62 s, then not until 70 s.
        folder, loader, setup = self.lay_out("Between polls", run_ms="62000 3010")
        exit_code = run_as_tool(self.desktop, loader)
        self.desktop.wait_for_window(WINDOW, timeout=90)
        wait_until(lambda: setup_starts(setup), 90, what="the setup program to start")
        (folder / "done").write_bytes(b"anyone's")
        seen, gone = self.desktop.watch_close(WINDOW, timeout=180)
        end = winehost.log_time_ms(wait_until(lambda: setup_ends(setup), 30, what="the setup program's end")[0])
        self.assertGreaterEqual(seen, end - 250, "the window closed before the setup program had ended")
        self.assertLess(gone - end, winehost.POLL_MS + winehost.CLOSE_SLACK_MS, "it waited for a poll")
        self.assertEqual(exit_code(timeout=60), 3010)
        self.assertEqual(len(setup_starts(setup)), 1)

    def test_two_starts_close_together_run_the_setup_once(self):
        # The second start may reach the folder by another path: through a link
        # or a drive letter it is still the same file, so it waits with the first.
        for delay, link in ((0.1, None), (1.0, None), (0.5, "TwiceLink"), (0.6, "e:")):
            with self.subTest(delay=delay, link=link):
                folder = self.desktop.folder(f"Twice{delay}")
                loader = install_loader(folder, "RUNsetup.exe")
                setup = install_setup(folder, "setup.exe", run_ms=5000)
                drive = link == "e:"  # a drive root: started from E:\\sub, then from E:\\
                if link:
                    (self.desktop.prefix / "dosdevices" if drive else self.desktop.drive_c).joinpath(link).symlink_to(folder)
                (folder / "sub").mkdir()
                for start in (folder / "sub", folder) if drive else (loader, self.desktop.drive_c / str(link) / loader.name):
                    self.desktop.wine(["E:\\RUNsetup.exe"], cwd=start) if drive else self.desktop.start(start if link else loader)
                    time.sleep(delay)
                wait_until(lambda: self.desktop.windows(WINDOW), 90, what="the waiting window")
                wait_until(lambda: setup_starts(setup), 90, what="the setup program to start")
                self.assertEqual(len(self.desktop.windows(WINDOW)), 1, "waiting windows")
                self.assert_closes_within_a_poll_of_the_end(setup)
                self.assertFalse((folder / "done").exists(), "a marker was left behind")

    def test_a_folder_held_sharing_nothing_then_let_go_splits_no_claim(self):
        folder, loader, setup = self.lay_out("Unshared", run_ms=8000)
        held, release = self.tools / "unshared.held", self.tools / "unshared.release"
        win = self.desktop.windows_path
        holder = self.desktop.wine([winehost.FIXTURES / "holdopen.exe", win(folder), "none", win(held), win(release)])
        wait_until(held.exists, 120, what="the folder to be held")
        first = run_as_tool(self.desktop, loader)
        wait_until(lambda: setup_starts(setup), 90, what="the setup program to start")
        release.write_text("")
        holder.wait(timeout=60 * winehost.SLOW)
        self.assertEqual(run_as_tool(self.desktop, loader, hidden=True)(timeout=60), 1618)
        self.assertEqual((first(), len(setup_starts(setup))), (0, 1))

    def test_a_folder_link_retargeted_before_the_relaunch_starts_nothing_of_the_other_folder(self):
        folder, loader, setup = self.lay_out("Retargeted")
        other = self.desktop.folder("RetargetedPlanted")
        planted = [install_setup(other, name) for name in ("RUNsetup.exe", "setup.exe")]
        Path(str(planted[0]) + ".cfg").write_text("500 66")
        link, swap = self.desktop.drive_c / "RetargetedLink", self.desktop.drive_c / "RetargetedLink.new"
        link.symlink_to(folder)
        ends = run_as_tool(self.desktop, link / "RUNsetup.exe", hidden=True)
        wait_until(self.loaders, 90, what="the loader")
        time.sleep(1)
        swap.symlink_to(other)
        swap.replace(link)
        self.assertIn(ends(timeout=180), (0, 577, 1618))
        self.assertEqual([setup_starts(p) for p in planted], [[], []], "a program of the other folder ran")

    def test_a_start_whose_parent_runs_from_another_folder_joins_no_claim_there(self):
        folder, loader, setup = self.lay_out("ParentHere", run_ms=15000)
        other = self.desktop.folder("ParentElsewhere")
        (other / loader.name).hardlink_to(loader)  # the same file, by a name in another folder
        other_setup = install_setup(other, "setup.exe")
        self.hold("mutex", "runner:" + self.desktop.windows_path(other))  # claimed, as by its own waiting loader
        first = run_as_tool(self.desktop, loader)
        wait_until(lambda: setup_starts(setup), 90, what="the setup program to start")
        self.assertEqual(run_as_tool(self.desktop, other / loader.name, parent=loader.name)(timeout=60), 1618)
        self.assertEqual((first(), setup_starts(other_setup)), (0, []))

    def test_a_read_only_folder_closes_the_window_after_the_setup_ends(self):
        folder = self.desktop.folder("Medium")
        install_loader(folder, "RUNsetup.exe")
        logs = self.desktop.folder("MediumLog")
        # The folder cannot take the setup program's log either.
        setup = install_setup(folder, "setup.exe")
        Path(str(setup) + ".cfg").write_text("4000 - " + self.desktop.windows_path(logs / "setup.exe.log"))
        mounted = subprocess.run(["mount", "--bind", str(folder), str(folder)], capture_output=True, text=True)
        if mounted.returncode != 0:
            self.skipTest(f"a read-only folder needs a bind mount, which failed: {mounted.stderr.strip()}")
        # Lazily: a process a failed case left may still hold the folder.
        self.addCleanup(subprocess.run, ["umount", "-l", str(folder)], check=True)
        subprocess.run(["mount", "-o", "remount,bind,ro", str(folder)], check=True)
        self.assertNotEqual(subprocess.run(["touch", str(folder / "probe")], capture_output=True).returncode, 0)

        self.desktop.start(folder / "RUNsetup.exe")
        self.desktop.wait_for_window(WINDOW, timeout=90)
        self.assert_closes_within_a_poll_of_the_end(logs / "setup.exe")


if __name__ == "__main__":
    unittest.main()
