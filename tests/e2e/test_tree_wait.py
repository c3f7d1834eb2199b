"""WAITsetup.exe waits for every process its setup program started: a
bootstrapper that hands the work to a child's child ends first, and the
loader ends only after that work, with the setup program's own code."""

import unittest
from pathlib import Path

import winehost
from winehost import install_loader, install_setup, log_time_ms, now_ms, run_as_tool, setup_ends


def hand_off(folder):
    """setup.exe starts kid.exe and ends at once; kid.exe starts grand.exe,
    which does four seconds of work and ends with a code of its own."""
    for name, config in (("setup.exe", "0 child:kid"), ("kid.exe", "0 child:grand"), ("grand.exe", "4000 9")):
        Path(str(install_setup(folder, name)) + ".cfg").write_text(config)
    return folder / "grand.exe"


class TreeWait(winehost.DesktopCase):
    def test_wait_ends_after_the_last_process_seen_unseen_and_inside_a_job_and_run_before_it(self):
        # A warm prefix: a first start may put Wine's own helpers into the job.
        self.desktop.wine(["wineboot"]).wait(timeout=120 * winehost.SLOW)
        runs = {}
        # RUN first: its end is read before the others' work has ended.
        for name, loader_name, how in (("Run", "RUNsetup.exe", {}), ("Seen", "WAITsetup.exe", {}),
                                       ("Unseen", "waitsetup.exe", {"hidden": True}),
                                       ("InAJob", "WAITsetup.exe", {"job": True})):
            folder = self.desktop.folder("Tree" + name)
            runs[name] = (hand_off(folder), run_as_tool(self.desktop, install_loader(folder, loader_name), **how))
        for name, (work, exit_code) in runs.items():
            code = exit_code(timeout=240)
            ended = now_ms()
            self.assertEqual(code, 0, f"{name}: the setup program's own code, not its grandchild's")
            if name == "Run":
                # Unchanged: the one process only; the work goes on after the loader's end.
                self.assertEqual(setup_ends(work), [], "RUN waited for the setup program's grandchild")
            else:
                self.assertEqual(len(setup_ends(work)), 1, f"{name}: ended before the work")
                self.assertLess(log_time_ms(setup_ends(work)[0]), ended)


if __name__ == "__main__":
    unittest.main()
