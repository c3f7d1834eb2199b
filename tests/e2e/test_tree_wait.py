"""WAITsetup.exe ends after every process its setup program started but one that breaks away, with the setup
program's own code; RUN still waits for the one process."""

import os
import shutil
import subprocess
import tempfile
import unittest
from pathlib import Path

import winehost
from winehost import install_loader, install_setup, log_lines, run_as_tool, setup_ends

ADMIN = ('<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0"><trustInfo><security>'
         '<requestedPrivileges><requestedExecutionLevel level="requireAdministrator"/></requestedPrivileges>'
         '</security></trustInfo></assembly>')
INSTALLERS = Path(__file__).resolve().parent / "installers"


class TreeWait(winehost.DesktopCase):
    def test_wait_outlasts_a_grandchilds_work_seen_unseen_bound_and_inside_a_job(self):
        self.desktop.wine(["wineboot"]).wait(timeout=120 * winehost.SLOW)  # a cold prefix's helpers join the job
        runs = {}  # name: (folder, exit code)
        # setup.exe starts kid.exe and ends; kid.exe starts grand.exe, which works 4 s and ends with 9.
        # Those that must not wait come first: their ends are read before that work has ended.
        for name, loader_name, how in (("Run", "RUNsetup.exe", {}), ("Breakaway", "WAITsetup.exe", {}),
                                       ("Seen", "WAITsetup.exe", {}), ("Unseen", "waitsetup.exe", {"hidden": True}),
                                       ("InAJob", "WAITsetup.exe", {"job": True}), ("Bound", "WAITsetup.exe", {})):
            folder, setup = self.desktop.folder("Tree" + name), "0 breakaway:kid" if name == "Breakaway" else "0 child:kid"
            for program, config in (("setup.exe", setup), ("kid.exe", "0 child:grand"), ("grand.exe", "4000 9")):
                Path(str(install_setup(folder, program)) + ".cfg").write_text(config)
            loader = install_loader(folder, loader_name)
            if name == "Bound":  # its setup program joins the job while suspended
                (folder / "WAITsetup.exe.manifest").write_text(ADMIN)
                self.assertEqual(run_as_tool(self.desktop, loader, "/Addwaitsetup/Manifest", hidden=True)(), 0)
                shutil.move(folder / "WAITsetup_new.exe", loader)
            runs[name] = (folder, run_as_tool(self.desktop, loader, **how))
        for name, (folder, exit_code) in runs.items():
            self.assertEqual(exit_code(timeout=240), 0, f"{name}: the setup program's own code, not its grandchild's")
            self.assertEqual(setup_ends(folder / "grand.exe") != [], name not in ("Run", "Breakaway"), name)
        self.assertIn("breakaway 0", log_lines(runs["Breakaway"][0] / "setup.exe"), "the breakaway was refused")

    def test_a_real_bootstrappers_msi_is_installed_when_wait_ends_and_still_installing_when_run_ends(self):
        # Real parts that nobody here wrote: msiexec, an MSI from wixl, a bootstrapper from makensis.
        build = Path(tempfile.mkdtemp())
        self.addCleanup(shutil.rmtree, build)
        (build / "payload.bin").write_bytes(os.urandom(60_000_000))
        subprocess.run(["makensis", "-V2", "-NOCD", str(INSTALLERS / "boot.nsi")], cwd=build, check=True)
        self.desktop.wine(["wineboot"]).wait(timeout=120 * winehost.SLOW)
        for prefix, component in (("RUN", "C3A1F0B2-7D4E-4B8A-9F61-3E2D1C0B9A87"),
                                  ("WAIT", "D4B2A1C3-8E5F-4C9B-A072-4F3E2D1C0B98")):
            folder = self.desktop.folder("Boot" + prefix)
            # wixl finds the payload only by a path relative to where it runs.
            subprocess.run(["wixl", "-D", f"Dir=Tree{prefix}", "-D", f"Component={component}", "-D",
                            "Payload=payload.bin", "-o", str(folder / "pkg.msi"), str(INSTALLERS / "pkg.wxs")],
                           cwd=build, check=True)
            shutil.copy(build / "boot.exe", folder)
            self.assertEqual(run_as_tool(self.desktop, install_loader(folder, prefix + "boot.exe"))(timeout=600), 0)
            installing = self.desktop.processes("msiexec.exe")
            if prefix == "WAIT":
                installed = [p.stat().st_size for p in self.desktop.drive_c.glob("Program Files*/TreeWAIT/payload.bin")]
                self.assertEqual((installing, installed), ([], [60_000_000]), "WAIT ended before msiexec")
            else:
                self.assertNotEqual(installing, [], "RUN waited for msiexec, or msiexec was too quick to tell")
                winehost.wait_until(lambda: not self.desktop.processes("msiexec.exe"), 300, what="msiexec's end")


if __name__ == "__main__":
    unittest.main()
