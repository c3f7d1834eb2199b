"""WAITsetup.exe waits for every process its setup program started: a
bootstrapper that hands the work to a child's child ends first, and the
loader ends only after that work, with the setup program's own code."""

import os
import shutil
import subprocess
import tempfile
import unittest
from pathlib import Path

import winehost
from winehost import install_loader, install_setup, log_time_ms, now_ms, run_as_tool, setup_ends


ADMIN = ('<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0"><trustInfo><security>'
         '<requestedPrivileges><requestedExecutionLevel level="requireAdministrator"/></requestedPrivileges>'
         '</security></trustInfo></assembly>')
INSTALLERS = Path(__file__).resolve().parent / "installers"


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
                                       ("InAJob", "WAITsetup.exe", {"job": True}), ("Bound", "WAITsetup.exe", {})):
            folder = self.desktop.folder("Tree" + name)
            work, loader = hand_off(folder), install_loader(folder, loader_name)
            if name == "Bound":  # its setup program starts suspended, and joins the job so
                (folder / "WAITsetup.exe.manifest").write_text(ADMIN)
                self.assertEqual(run_as_tool(self.desktop, loader, "/Addwaitsetup/Manifest", hidden=True)(), 0)
                shutil.move(folder / "WAITsetup_new.exe", loader)
            runs[name] = (work, run_as_tool(self.desktop, loader, **how))
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

    def test_a_real_bootstrappers_msi_is_installed_when_wait_ends_and_still_installing_when_run_ends(self):
        # Real parts that nobody here wrote: msiexec, an MSI from wixl, a bootstrapper from makensis.
        build = Path(tempfile.mkdtemp())
        self.addCleanup(shutil.rmtree, build)
        (build / "payload.bin").write_bytes(os.urandom(60_000_000))
        subprocess.run(["makensis", "-V2", "-NOCD", str(INSTALLERS / "boot.nsi")], cwd=build, check=True,
                       stdout=subprocess.DEVNULL)
        self.desktop.wine(["wineboot"]).wait(timeout=120 * winehost.SLOW)
        for loader_name, component in (("RUNboot.exe", "C3A1F0B2-7D4E-4B8A-9F61-3E2D1C0B9A87"),
                                       ("WAITboot.exe", "D4B2A1C3-8E5F-4C9B-A072-4F3E2D1C0B98")):
            name = "Tree" + loader_name[:-8]
            folder = self.desktop.folder("Boot" + name)
            # wixl finds the payload only by a path relative to where it runs.
            subprocess.run(["wixl", "-D", f"Dir={name}", "-D", f"Component={component}", "-D", "Payload=payload.bin",
                            "-o", str(folder / "pkg.msi"), str(INSTALLERS / "pkg.wxs")], cwd=build, check=True)
            (folder / "boot.exe").write_bytes((build / "boot.exe").read_bytes())
            code = run_as_tool(self.desktop, install_loader(folder, loader_name))(timeout=600)
            installing = self.desktop.processes("msiexec.exe")
            installed = [p for p in self.desktop.drive_c.glob(f"Program Files*/{name}/payload.bin")
                         if p.stat().st_size == 60_000_000]
            self.assertEqual(code, 0, loader_name)
            if loader_name.startswith("WAIT"):
                self.assertEqual((installing, len(installed)), ([], 1), "WAIT ended before msiexec")
            else:
                self.assertNotEqual(installing, [], "RUN waited for msiexec, or msiexec was too quick to tell")
                winehost.wait_until(lambda: not self.desktop.processes("msiexec.exe"), 300, what="msiexec's end")


if __name__ == "__main__":
    unittest.main()
