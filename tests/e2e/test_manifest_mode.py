"""The manifest embedding mode of the real loader under Wine, used as a
packager would: a manifest beside the loader, the switch on the command line,
a message box read and answered with OK.

X shows only a message box's title, so the fixture program boxreader reads
its text, buttons and icon from inside the same Wine prefix; the test then
presses Return on the box, as a person would, and checks that the loader ends.
"""

import ctypes
import hashlib
import os
import re
import shutil
import struct
import subprocess
import tempfile
import time
import unittest
from pathlib import Path

import signing
import winehost
from winehost import install_setup, nested, run_as_tool, setup_starts, wait_until

BOX = "Setup Loader Application"
LOADER_NAME = "RUNSetup"
SWITCH = "/Addrunsetup/Manifest"
SUCCESS_TAIL = "_new.exe: A copy of the setup loader has been written, with the manifest file included."
NOT_FOUND = "Manifest file not found."

# UTF-8 with a byte order mark and accented letters: bytes above 0x7F that
# any text conversion on the way would change.
MANIFEST = ("\ufeff<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
            "<!-- Pilote réseau, Crème brûlée, Ærøskøbing, naïve, Grüße -->\r\n"
            "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\r\n"
            "  <description>Installateur du pilote — édition spéciale</description>\r\n"
            "</assembly>\r\n").encode("utf-8")

LEVEL = ('<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0"><trustInfo><security>'
         '<requestedPrivileges><requestedExecutionLevel level={}/></requestedPrivileges></security></trustInfo>'
         '</assembly>')
NOT_PREPARED = ": This is not the setup program this loader was prepared for. It was not started."
REFUSES_MODE = "This copy is bound to its setup program; embed the manifest with the unbound loader."
ADMIN = LEVEL.format("'requireAdministrator'").encode()


def resource_list(exe):
    """(type, name, language, size) of every resource in an executable."""
    out = subprocess.run(["wrestool", "-l", str(exe)], capture_output=True, text=True, check=True).stdout
    found = []
    for line in out.splitlines():
        match = re.search(r"--type=(\S+) --name=(\S+) --language=(\S+) .*size=(\d+)", line)
        if match:
            found.append(match.groups())
    return found


def resource_bytes(exe, type_, name, language=None):
    args = ["wrestool", "-x", "--raw", f"--type={type_}", f"--name={name}"]
    if language is not None:
        args.append(f"--language={language}")
    return subprocess.run([*args, str(exe)], capture_output=True, check=True).stdout


def other_resources(exe):
    """Every resource but the application manifest, with its bytes."""
    return {entry: resource_bytes(exe, *entry[:3]) for entry in resource_list(exe) if entry[0] != "24"}


def pe_checksum(image):
    return image[int.from_bytes(image[0x3C:0x40], "little") + 88:][:4]


class Tries:
    """Counts the loader's tries at a step that another program's hold refuses.
    A delete of the copy in the making, through inotify: Wine opens the file
    (without writing) for every try, also one its sharing refuses. A rename by
    handle opens nothing, so in the loader's Wine trace (trace+file, written to
    the file that trace() gives): NtSetInformationFile with class 10."""

    def __init__(self, path=None):
        self.name, self.libc, self.seen, self.fd = Path(path or ".").name.encode(), ctypes.CDLL(None), 0, None
        if path:
            self.fd = self.libc.inotify_init1(os.O_NONBLOCK)
            self.libc.inotify_add_watch(self.fd, str(Path(path).parent).encode(), 16)  # IN_CLOSE_NOWRITE
        self.log = tempfile.TemporaryFile(mode="w+", errors="replace")

    def trace(self):
        return self.log

    def count(self):
        if self.fd is None:
            self.log.seek(0)
            return sum(1 for line in self.log if "NtSetInformationFile" in line and line.rstrip().endswith(",0x0000000a)"))
        try:
            data = os.read(self.fd, 65536)
        except BlockingIOError:
            return self.seen
        at = 0
        while at < len(data):
            length = struct.unpack_from("I", data, at + 12)[0]
            self.seen += data[at + 16:at + 16 + length].rstrip(b"\0") == self.name
            at += 16 + length
        return self.seen

    def close(self):
        if self.fd is not None:
            os.close(self.fd)
        self.log.close()


def folder_listing(folder):
    return sorted((p.name, p.is_dir(), p.stat().st_size) for p in Path(folder).iterdir())


class ManifestMode(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.desktop = winehost.WineDesktop()
        cls.tools = cls.desktop.folder("tools")
        for program in ("boxreader.exe", "holdopen.exe"):
            shutil.copy(winehost.FIXTURES / program, cls.tools / program)

    @classmethod
    def tearDownClass(cls):
        cls.desktop.close()

    # --- helpers -----------------------------------------------------------------

    def case_folder(self, suffix=""):
        """A fresh folder for one case, holding the loader as RUNSetup.exe."""
        folder = self.desktop.folder(self._testMethodName[5:] + suffix)
        winehost.install_loader(folder, LOADER_NAME + ".exe")
        return folder

    def end_answering_boxes(self, ends):
        """A start's exit code (None after 300 s) and how many boxes it showed, each answered."""
        boxes = 0
        for _ in range(30):
            try:
                return ends(10), boxes
            except subprocess.TimeoutExpired:
                for box in self.desktop.windows(BOX):
                    self.desktop.key(box, "Return")
                    boxes += 1
        return None, boxes

    def win(self, path):
        return self.desktop.windows_path(path)

    def wait_for_exit(self, image, timeout=90):
        wait_until(lambda: not self.desktop.processes(image), timeout, what=f"{image} to end")

    def run_with_box(self, loader, *args, during=None, trace=None):
        """Starts the loader, calls during (if given) while it works, reads
        the message box it shows, presses OK and waits for the loader to end;
        returns what the box showed. With trace (a file), the loader's file
        calls are traced into it."""
        report = self.tools / (Path(loader).parent.name + ".box")
        report.unlink(missing_ok=True)
        # A box left up by a case that failed would be read in place of the next one.
        self.addCleanup(self.desktop.end, Path(loader).name)
        reader = self.desktop.wine([self.win(self.tools / "boxreader.exe"), self.win(report), BOX, "180"])
        if trace:
            self.addCleanup(setattr, self.desktop, "env", self.desktop.env)
            self.desktop.env = dict(self.desktop.env, WINEDEBUG="-all,trace+file")
        self.desktop.start(loader, *args, stderr_file=trace or subprocess.DEVNULL)
        if during:
            during()
        window = self.desktop.wait_for_window(BOX, timeout=180)
        wait_until(report.exists, 120, what="the box reader's report")
        reader.wait(timeout=60 * winehost.SLOW)
        box = winehost.read_box_report(report)
        # The box is the mode's last word: the loader stays until it is answered.
        self.assertTrue(self.desktop.processes(Path(loader).name), "the loader ended before OK was pressed")
        self.desktop.key(window, "Return")
        self.desktop.wait_for_no_window(BOX, timeout=60)
        self.wait_for_exit(Path(loader).name)
        self.assertEqual(box["caption"], BOX)
        self.assertEqual(box["buttons"], ["OK"], "an OK button only")
        self.assertEqual(box["icon"], "no", "no icon")
        return box["text"]

    def hold(self, path, sharing):
        """Keeps path open in another Wine process until the returned release is called."""
        held = self.tools / (Path(path).name + ".held")
        release = self.tools / (Path(path).name + ".release")
        held.unlink(missing_ok=True)
        release.unlink(missing_ok=True)
        proc = self.desktop.wine([self.win(self.tools / "holdopen.exe"), self.win(path), sharing,
                                  self.win(held), self.win(release)])
        wait_until(held.exists, 120, what="the file to be held open")

        def release_it():
            release.write_text("")
            proc.wait(timeout=60 * winehost.SLOW)
        return release_it

    # --- the mode at work -------------------------------------------------------------

    def test_embeds_the_manifest_byte_for_byte_and_keeps_the_other_resources(self):
        folder = self.case_folder()
        loader = folder / (LOADER_NAME + ".exe")
        (folder / (LOADER_NAME + ".exe.manifest")).write_bytes(MANIFEST)

        text = self.run_with_box(loader, SWITCH)

        self.assertEqual(text, self.win(folder) + "\\" + LOADER_NAME + SUCCESS_TAIL)
        copy = folder / (LOADER_NAME + "_new.exe")
        self.assertEqual(resource_bytes(copy, 24, 1, 0), MANIFEST)
        self.assertEqual([e for e in resource_list(copy) if e[0] == "24"], [("24", "1", "0", str(len(MANIFEST)))])
        kept = other_resources(winehost.LOADER)
        self.assertTrue(kept, "the loader carries resources besides its manifest")
        self.assertEqual(other_resources(copy), kept)
        # Only the copy is written: the loader and the manifest stay as they were.
        self.assertEqual(loader.read_bytes(), winehost.LOADER.read_bytes())
        self.assertEqual((folder / (LOADER_NAME + ".exe.manifest")).read_bytes(), MANIFEST)
        self.assertEqual(sorted(p.name for p in folder.iterdir()),
                         sorted([LOADER_NAME + ".exe", LOADER_NAME + ".exe.manifest", LOADER_NAME + "_new.exe"]))

    def test_an_earlier_copy_is_replaced_and_a_rerun_rebuilds_it(self):
        folder = self.case_folder()
        loader = folder / (LOADER_NAME + ".exe")
        manifest = folder / (LOADER_NAME + ".exe.manifest")
        copy = folder / (LOADER_NAME + "_new.exe")
        copy.write_bytes(b"EARLIER COPY " * (2 * winehost.LOADER.stat().st_size // 13))
        manifest.write_bytes(MANIFEST)

        text = self.run_with_box(loader, SWITCH)
        self.assertTrue(text.endswith(SUCCESS_TAIL), text)
        self.assertNotIn(b"EARLIER COPY", copy.read_bytes())
        self.assertEqual(resource_bytes(copy, 24, 1, 0), MANIFEST)
        first_size = copy.stat().st_size

        shorter = '<?xml version="1.0"?><assembly manifestVersion="1.0"/>\r\n'.encode()
        manifest.write_bytes(shorter)
        text = self.run_with_box(loader, SWITCH)
        self.assertTrue(text.endswith(SUCCESS_TAIL), text)
        self.assertEqual(resource_bytes(copy, 24, 1, 0), shorter)
        self.assertLessEqual(copy.stat().st_size, first_size)
        self.assertEqual(other_resources(copy), other_resources(winehost.LOADER))

    def test_a_read_only_loader_still_gets_a_copy_with_the_manifest(self):
        # Loaders kept on discs or in version control are often read-only,
        # and a plain copy passes the bit on to the file the update rewrites.
        folder = self.case_folder()
        loader = folder / (LOADER_NAME + ".exe")
        (folder / (LOADER_NAME + ".exe.manifest")).write_bytes(MANIFEST)
        loader.chmod(0o444)
        text = self.run_with_box(loader, SWITCH)
        self.assertTrue(text.endswith(SUCCESS_TAIL), text)
        copy = folder / (LOADER_NAME + "_new.exe")
        self.assertEqual(resource_bytes(copy, 24, 1, 0), MANIFEST)
        self.assertTrue(copy.stat().st_mode & 0o200, "the copy is left writable for signing")

    def test_a_signed_loaders_copy_is_left_unsigned_and_clean_then_signs_and_verifies(self):
        # Embedding rewrites the copy: the loader's signature cannot fit it,
        # and a stale certificate table left inside would be signed over.
        folder = self.case_folder()
        loader = folder / (LOADER_NAME + ".exe")
        cert, key = signing.throwaway_certificate(folder.parent, "packager")
        signing.sign(cert, key, loader)
        old_table = loader.read_bytes()[signing.security_directory(loader)[0]:]
        (folder / (LOADER_NAME + ".exe.manifest")).write_bytes(MANIFEST)

        text = self.run_with_box(loader, SWITCH)
        self.assertTrue(text.endswith(SUCCESS_TAIL), text)

        copy = folder / (LOADER_NAME + "_new.exe")
        self.assertEqual(signing.security_directory(copy), (0, 0))
        self.assertNotIn(old_table, copy.read_bytes())
        passed, said = signing.verify(cert, copy)
        self.assertFalse(passed)
        self.assertIn("No signature found", said)
        self.assertNotIn("invalid PE checksum", said)

        self.assertNotIn("Warning", signing.sign(cert, key, copy))
        passed, said = signing.verify(cert, copy)
        self.assertTrue(passed, said)
        self.assertNotIn("Warning", said)
        self.assertEqual(resource_bytes(copy, 24, 1, 0), MANIFEST)

    # --- binding an elevating copy to its setup program ---------------------------

    def embed_and_install(self, folder, manifest):
        """Embeds manifest where nobody sees; installs the copy as the loader and
        returns the manifest mode's exit code."""
        loader = folder / (LOADER_NAME + ".exe")
        (folder / (LOADER_NAME + ".exe.manifest")).write_bytes(manifest)
        code = run_as_tool(self.desktop, loader, SWITCH, hidden=True)()
        if (folder / (LOADER_NAME + "_new.exe")).exists():
            shutil.move(folder / (LOADER_NAME + "_new.exe"), loader)
        return code

    def test_an_elevating_copy_starts_only_the_setup_program_it_was_bound_to(self):
        folder = self.case_folder()
        setup = install_setup(folder, "Setup.exe")
        Path(str(setup) + ".cfg").write_text("500 3010")
        (folder / (LOADER_NAME + ".exe.manifest")).write_bytes(LEVEL.format("'requireAdministrator'").encode("utf-16"))
        text = self.run_with_box(folder / (LOADER_NAME + ".exe"), SWITCH)
        digest = hashlib.sha256(setup.read_bytes()).hexdigest()
        self.assertEqual(text, f"{self.win(folder)}\\{LOADER_NAME}{SUCCESS_TAIL}\r\nBound to Setup.exe, SHA-256 "
                         f"{digest[:16]}...")
        shutil.move(folder / (LOADER_NAME + "_new.exe"), folder / (LOADER_NAME + ".exe"))
        self.assertEqual(run_as_tool(self.desktop, folder / (LOADER_NAME + ".exe"), hidden=True)(), 3010)
        # Renamed beside another program, or its own changed by one byte: nothing starts.
        other = self.case_folder("_other")
        shutil.copy(folder / (LOADER_NAME + ".exe"), other / "RUNother.exe")
        other_setup = install_setup(other, "other.exe")
        self.assertEqual(run_as_tool(self.desktop, other / "RUNother.exe", hidden=True)(), 577)
        # Swapped for a byte-for-byte copy between its start and its hold: it runs from no file it holds.
        self.assertEqual(run_as_tool(self.desktop, folder / (LOADER_NAME + ".exe"), swapped=True)(), 577)
        data = setup.read_bytes()
        setup.write_bytes(data[:-1] + bytes([data[-1] ^ 1]))
        self.assertEqual(run_as_tool(self.desktop, folder / (LOADER_NAME + ".exe"), hidden=True)(), 577)
        self.assertEqual(self.run_with_box(folder / (LOADER_NAME + ".exe")), self.win(setup) + NOT_PREPARED)
        self.assertEqual(len(setup_starts(setup)), 1)
        self.assertEqual(setup_starts(other_setup), [])

    def test_a_bound_copy_starts_its_setup_program_itself_there_and_refuses_the_mode(self):
        bound, plain = self.case_folder(), self.case_folder("_plain")
        # The bound one is a link to the versioned file: started by the held file's final
        # path, it logs under that file's name, not the link's.
        setups = {bound: install_setup(bound, "Setup-1.0.exe"), plain: install_setup(plain, "Setup.exe")}
        (bound / "Setup.exe").symlink_to("Setup-1.0.exe")
        for setup in setups.values():
            Path(str(setup) + ".cfg").write_text("500 env")
        self.assertEqual(self.embed_and_install(bound, ADMIN), 0)
        env = dict(self.desktop.env)
        self.addCleanup(setattr, self.desktop, "env", env)
        self.desktop.env = dict(env, WINEDEBUG="-all,trace+exec", __compat_layer="RunAsInvoker", LOADER_PROBE="kept")
        # No start through the shell, which reads the user's class registrations; the unbound one's setup program only.
        for folder, shell_starts in ((bound, 0), (plain, 1)):
            with tempfile.TemporaryFile(mode="w+", errors="replace") as trace:
                self.assertEqual(run_as_tool(self.desktop, folder / (LOADER_NAME + ".exe"), stderr_file=trace)(), 0)
                trace.seek(0)
                lines = [line for line in trace if "ShellExecuteEx" in line]
            self.assertEqual(len(lines), shell_starts, lines)
        self.desktop.env = env
        seen = {folder: Path(str(setup) + ".env").read_text().splitlines() for folder, setup in setups.items()}
        self.assertIn("cwd " + self.win(bound), winehost.log_lines(setups[bound]))
        self.assertIn("__compat_layer=RunAsInvoker", seen[plain])
        self.assertEqual([line for line in seen[bound] if line.upper().startswith("__COMPAT_LAYER=")], [])
        self.assertIn("LOADER_PROBE=kept", seen[bound], "the rest of the environment, as the system reads it")
        # Its copy would carry the binding over to a file nobody checked: nothing read or written.
        before = folder_listing(bound)
        self.assertEqual(self.run_with_box(bound / (LOADER_NAME + ".exe"), SWITCH), REFUSES_MODE)
        self.assertEqual(run_as_tool(self.desktop, bound / (LOADER_NAME + ".exe"), SWITCH, hidden=True)(), 50)
        self.assertEqual(folder_listing(bound), before)

    def test_a_bound_copy_started_through_a_retargeted_link_runs_only_its_own_setup_program(self):
        own, planted = self.case_folder(), self.desktop.folder(self._testMethodName[5:] + "_planted")
        setup = install_setup(own, "Setup.exe")
        # A sparse gigabyte of overlay keeps the runner hashing for seconds.
        with open(setup, "r+b") as data:
            data.truncate(1 << 30)
        Path(str(setup) + ".cfg").write_text("4000 3010")
        self.assertEqual(self.embed_and_install(own, ADMIN), 0)
        others = [install_setup(planted, name) for name in (LOADER_NAME + ".exe", "Setup.exe")]
        (planted / "done").write_bytes(b"theirs")
        link = self.desktop.drive_c / "Link"

        def point(target):
            os.symlink(target, str(link) + ".new")
            os.replace(str(link) + ".new", link)
        moments = {"the first 2 s": lambda: self.desktop.wait_for_window("Please wait...", timeout=120),
                   "the hash": lambda: wait_until(lambda: len(self.desktop.processes(LOADER_NAME + ".exe")) == 2,
                                                  120, interval=0.05, what="the runner"),
                   "the setup run": lambda: wait_until(lambda: len(setup_starts(setup)) == runs + 1, 180,
                                                       what="the setup program")}
        # Wine names a process after the first path its file was mapped by (here the
        # link's), so a relaunch or a parent check after the retarget sees the planted
        # file: the start then ends with 577, or its runner defers with 1618. A runner
        # that opens its own file only after the retarget (under load) holds the planted
        # one: 577 too. Each 577 says so in a box. Nothing planted runs.
        allowed = {"the first 2 s": (577,), "the hash": (3010, 1618, 577), "the setup run": (3010,)}
        runs = 0
        for moment, reached in moments.items():
            point(own)
            ends = run_as_tool(self.desktop, link / (LOADER_NAME + ".exe"))
            reached()
            point(planted)
            code, boxes = self.end_answering_boxes(ends)
            self.assertIn(code, allowed[moment], moment)
            self.assertEqual(boxes > 0, code == 577, moment)
            runs += code == 3010
            self.assertEqual(len(setup_starts(setup)), runs, moment)
            self.assertEqual([setup_starts(other) for other in others], [[], []], moment)
            self.assertEqual((planted / "done").read_bytes(), b"theirs", moment)
            self.assertFalse((own / "done").exists(), moment)

    def test_a_bound_copy_whose_folder_is_renamed_meanwhile_runs_only_its_own_setup_program(self):
        runner_up = lambda: wait_until(lambda: len(self.desktop.processes(LOADER_NAME + ".exe")) == 2, 120,
                                       interval=0.05, what="the runner")
        window_up = lambda: self.desktop.wait_for_window("Please wait...", timeout=120)
        # By the Win32 call, as an attacker with the user's rights would: the held folder refuses it.
        # On the Linux side, as a server that lets it through would: the start is confirmed, or 577
        # with a box. Under load, a runner already holding its setup program starts it where it now
        # lies (3010); one that checks its parent after the move sees the planted loader and defers (1618).
        for moment, reached, win32, allowed in (("the first 2 s", window_up, True, (3010,)),
                                                ("the hash", runner_up, True, (3010,)),
                                                ("the first 2 s", window_up, False, (577,)),
                                                ("the hash", runner_up, False, (577, 3010, 1618))):
            with self.subTest(moment=moment, win32=win32):
                own = self.case_folder(f"{len(moment)}{win32}")
                planted = self.desktop.folder(own.name + "_planted")
                setup = install_setup(own, "Setup.exe")
                with open(setup, "r+b") as data:  # a sparse gigabyte keeps the runner hashing for seconds
                    data.truncate(1 << 30)
                # It runs on well past the renamer's four seconds.
                Path(str(setup) + ".cfg").write_text("10000 3010")
                self.assertEqual(self.embed_and_install(own, ADMIN), 0)
                others = [install_setup(planted, name) for name in (LOADER_NAME + ".exe", "Setup.exe")]
                ends = run_as_tool(self.desktop, own / (LOADER_NAME + ".exe"))
                reached()
                if win32:
                    report = self.tools / (own.name + ".renamed")
                    self.desktop.wine([winehost.FIXTURES / "renamer.exe", self.win(own), self.win(planted), "4",
                                       self.win(report)])
                    wait_until(lambda: report.exists() and report.read_text(), 120, what="the renamer's report")
                    self.assertTrue(report.read_text().startswith("refused"), report.read_text())
                else:
                    os.rename(own, str(own) + ".aside")
                    os.rename(planted, own)
                code, boxes = self.end_answering_boxes(ends)
                self.assertIn(code, allowed)
                self.assertEqual(boxes > 0, code == 577)
                self.assertEqual([setup_starts(other) for other in others], [[], []], "a planted program ran")
                runs = setup_starts(Path(str(own) + ".aside") / "Setup.exe" if not win32 else setup)
                self.assertEqual(len(runs), 1 if code == 3010 else 0)

    def test_a_bound_copy_installs_though_another_holds_its_folder_and_its_running_setup_program_keeps_its_name(self):
        folder, planted = self.case_folder(), self.desktop.folder(self._testMethodName[5:] + "_planted")
        setup = install_setup(folder, "Setup.exe")
        Path(str(setup) + ".cfg").write_text("8000 3010")
        self.assertEqual(self.embed_and_install(folder, ADMIN), 0)
        self.addCleanup(self.hold(folder, "none"))
        ends = run_as_tool(self.desktop, folder / (LOADER_NAME + ".exe"))
        wait_until(lambda: setup_starts(setup), 120, what="the setup program")
        report = self.tools / "setup.renamed"
        self.desktop.wine([winehost.FIXTURES / "renamer.exe", self.win(setup),
                           self.win(install_setup(planted, "Setup.exe")), "3", self.win(report)])
        wait_until(lambda: report.exists() and report.read_text(), 120, what="the renamer's report")
        self.assertTrue(report.read_text().startswith("refused"), report.read_text())
        self.assertEqual(ends(), 3010)

    def test_a_copy_that_asks_no_elevation_is_unbound_and_one_that_asks_needs_its_setup_program(self):
        folder = self.case_folder()
        setup = install_setup(folder, "Setup.exe")
        self.assertEqual(self.embed_and_install(folder, LEVEL.format('"asInvoker"').encode("utf-8-sig")), 0)
        Path(str(setup) + ".cfg").write_text("500 7")
        setup.write_bytes(setup.read_bytes() + b"changed")
        self.assertEqual(run_as_tool(self.desktop, folder / (LOADER_NAME + ".exe"), hidden=True)(), 7)
        bare = self.case_folder("_bare")
        self.assertEqual(self.embed_and_install(bare, LEVEL.format('"highestAvailable"').encode()), 2)
        self.assertEqual(sorted(p.name for p in bare.iterdir()), [LOADER_NAME + ".exe", LOADER_NAME + ".exe.manifest"])

    # --- nothing to embed ----------------------------------------------------------

    def test_a_missing_manifest_or_loader_file_says_not_found_and_writes_nothing(self):
        without_manifest = self.case_folder("_manifest")
        # A folder by the manifest's name is no manifest either.
        folder_manifest = self.case_folder("_folder")
        (folder_manifest / (LOADER_NAME + ".exe.manifest")).mkdir()
        # Started under another extension, the loader file launcher name + ".exe" is missing.
        without_loader = self.desktop.folder(self._testMethodName[5:] + "_loader")
        winehost.install_loader(without_loader, LOADER_NAME + ".bin")
        (without_loader / (LOADER_NAME + ".exe.manifest")).write_bytes(MANIFEST)

        for loader in (without_manifest / (LOADER_NAME + ".exe"), folder_manifest / (LOADER_NAME + ".exe"),
                       without_loader / (LOADER_NAME + ".bin")):
            with self.subTest(loader.parent.name):
                before = folder_listing(loader.parent)
                self.assertEqual(self.run_with_box(loader, SWITCH), NOT_FOUND)
                self.assertEqual(folder_listing(loader.parent), before)

    def test_a_manifest_that_is_a_link_is_refused_and_nothing_is_read_through_it(self):
        secret = self.desktop.folder(self._testMethodName[5:] + "_elsewhere") / "secret.xml"
        secret.write_bytes(ADMIN)
        for kind, plant in (("symlink", os.symlink), ("hard link", os.link)):
            with self.subTest(kind=kind):
                folder = self.case_folder("_" + kind.replace(" ", ""))
                install_setup(folder, "Setup.exe")
                manifest = folder / (LOADER_NAME + ".exe.manifest")
                plant(secret, manifest)
                self.assertEqual(self.run_with_box(folder / (LOADER_NAME + ".exe"), SWITCH),
                                 self.win(manifest) + ": The manifest file is a link or has a second name elsewhere; "
                                 "nothing was embedded.")
                self.assertEqual(run_as_tool(self.desktop, folder / (LOADER_NAME + ".exe"), SWITCH, hidden=True)(), 1920)
                self.assertEqual(sorted(p.name for p in folder.glob(LOADER_NAME + "_new*")), [])

    def test_an_empty_manifest_is_refused_and_nothing_is_written(self):
        folder = self.case_folder()
        manifest = folder / (LOADER_NAME + ".exe.manifest")
        manifest.write_bytes(b"")
        before = folder_listing(folder)
        text = self.run_with_box(folder / (LOADER_NAME + ".exe"), SWITCH)
        self.assertEqual(text, self.win(manifest) + ": The manifest file is empty; nothing was embedded.")
        self.assertEqual(folder_listing(folder), before)

    # --- folders the ANSI calls cannot take as they are -------------------------------

    def test_a_loader_path_of_251_to_259_characters_still_finds_its_manifest(self):
        # The loader's path fits the ANSI limit, its manifest's path does not.
        folder = self.desktop.folder(nested(255 - len("\\" + LOADER_NAME + ".exe")))
        loader = winehost.install_loader(folder, LOADER_NAME + ".exe")
        self.assertEqual(len(self.win(loader)), 255)
        (folder / (LOADER_NAME + ".exe.manifest")).write_bytes(MANIFEST)
        # The message names the copy by the folder's 8.3 form.
        text = self.run_with_box(loader, SWITCH)
        self.assertTrue(text.endswith(SUCCESS_TAIL), text)
        self.assertEqual(resource_bytes(folder / (LOADER_NAME + "_new.exe"), 24, 1, 0), MANIFEST)

    def test_a_folder_whose_8_3_form_is_too_long_too_is_named_in_a_message(self):
        # Thirty levels: even at eight characters a level, the path stays too long.
        folder = self.desktop.folder("/".join(f"Level-{i:02d}xx" for i in range(30)))
        winehost.install_setup(folder, "setup.exe")
        text = self.run_with_box(winehost.install_loader(folder, LOADER_NAME + ".exe"))
        self.assertIn(self.win(folder) + "\r\n", text)
        self.assertIn("path is 332 characters long, but at most 237 fit", text)
        self.assertEqual(winehost.setup_starts(folder / "setup.exe"), [])
        # With no setup program beside it, the loader ends there as silently as anywhere.
        bare = self.desktop.folder("/".join(f"Level-{i:02d}yy" for i in range(30)))
        self.desktop.start(winehost.install_loader(bare, LOADER_NAME + ".exe")).wait(timeout=120 * winehost.SLOW)
        self.assertEqual(self.desktop.windows(BOX), [], "a message box with nothing to run")

    # --- the switch ------------------------------------------------------------------

    def test_the_switch_in_other_letter_cases_or_with_more_text_starts_the_normal_mode(self):
        variants = (["/addrunsetup/Manifest"], ["/AddRUNSetup/Manifest"], ["/Addrunsetup/manifest"],
                    [SWITCH, "more"])
        for number, args in enumerate(variants):
            with self.subTest(" ".join(args)):
                folder = self.case_folder(str(number))
                (folder / (LOADER_NAME + ".exe.manifest")).write_bytes(MANIFEST)
                winehost.install_setup(folder, "Setup.exe", run_ms=500)
                self.desktop.start(folder / (LOADER_NAME + ".exe"), *args)
                window = self.desktop.wait_for_window("Please wait...", timeout=120)
                self.assertFalse(self.desktop.windows(BOX), "no message box in the normal mode")
                self.desktop.key(window, "Escape")
                self.desktop.wait_for_no_window("Please wait...", timeout=60)
                self.wait_for_exit(LOADER_NAME + ".exe")
                self.wait_for_exit("Setup.exe")
                self.assertFalse((folder / (LOADER_NAME + "_new.exe")).exists())

    def test_a_japanese_name_matches_its_switch_and_finds_its_setup_program(self):
        # Code page 932: the second byte of ア (83 41) is the letter A.
        with winehost.WineDesktop(lang="ja_JP.UTF-8") as desktop:
            folder = desktop.folder("drv")
            loader = winehost.install_loader(folder, "RUNア.exe")
            (folder / "RUNア.exe.manifest").write_bytes(MANIFEST)
            desktop.start(loader, "/Addrunア/Manifest")
            desktop.key(desktop.wait_for_window(BOX, timeout=180), "Return")
            self.assertEqual(resource_bytes(folder / "RUNア_new.exe", 24, 1, 0), MANIFEST)
            setup = winehost.install_setup(folder, "ア.exe", run_ms=500)
            desktop.start(loader)
            wait_until(lambda: winehost.setup_ends(setup), 180, what="the setup program to end")
            self.assertEqual(len(winehost.setup_starts(setup)), 1)

    # --- failures ----------------------------------------------------------------------

    def test_an_earlier_copy_that_cannot_be_replaced_names_the_failure_and_the_file(self):
        folder = self.case_folder()
        (folder / (LOADER_NAME + ".exe.manifest")).write_bytes(MANIFEST)
        copy = folder / (LOADER_NAME + "_new.exe")
        copy.mkdir()

        text = self.run_with_box(folder / (LOADER_NAME + ".exe"), SWITCH)

        self.assertIn(self.win(copy), text)
        self.assertIn("(error ", text)
        self.assertNotIn(SUCCESS_TAIL, text)
        self.assertTrue(copy.is_dir())
        self.assertEqual(list(copy.iterdir()), [])

    def test_a_manifest_that_cannot_be_read_names_it_and_no_copy_is_made(self):
        folder = self.case_folder()
        manifest = folder / (LOADER_NAME + ".exe.manifest")
        manifest.write_bytes(MANIFEST)
        release = self.hold(manifest, "none")
        try:
            text = self.run_with_box(folder / (LOADER_NAME + ".exe"), SWITCH)
        finally:
            release()
        self.assertIn(self.win(manifest), text)
        self.assertIn("(error ", text)
        self.assertNotIn(SUCCESS_TAIL, text)
        self.assertFalse((folder / (LOADER_NAME + "_new.exe")).exists())

    def test_a_scanner_holding_the_copy_is_waited_out_and_past_the_retry_leaves_no_copy(self):
        # Held before the mode starts, let go once the loader has been refused
        # twice: the earlier copy (the rename of the finished copy waits) or
        # what a run cut short left (its removal waits). Or held past the
        # retry (2 s) and let go 4 s into the wait (up to 10 s) to remove it.
        for name, sharing in (("_new.exe", "none"), ("_new.exe.tmp", "readwrite"), ("_new.exe.tmp", "nodelete")):
            with self.subTest(name=name, sharing=sharing):
                folder = self.case_folder(name.replace(".", "") + sharing)
                (folder / (LOADER_NAME + ".exe.manifest")).write_bytes(MANIFEST)
                copy, partial = folder / (LOADER_NAME + "_new.exe"), folder / (LOADER_NAME + "_new.exe.tmp")
                copy.write_bytes(b"earlier copy")
                partial.write_bytes(b"left by a run that was cut short")
                release = self.hold(folder / (LOADER_NAME + name), sharing)
                loader = winehost.LOADER.read_bytes()
                tries = Tries(None if name == "_new.exe" else partial)
                self.addCleanup(tries.close)

                def come_to_it():
                    # The copy stands finished (its checksum written) for the rename; or the
                    # loader has ended, giving up too soon: its box tells.
                    finished = lambda: partial.exists() and pe_checksum(partial.read_bytes()) != pe_checksum(loader)
                    wait_until(lambda: self.desktop.windows(BOX) or name != "_new.exe" or finished(), 120,
                               what="the loader to come to the held file")
                    wait_until(lambda: self.desktop.windows(BOX) or tries.count() >= 2, 120,
                               what="the loader to be refused twice")
                    time.sleep(4 if sharing == "nodelete" else 0)
                    release()
                text = self.run_with_box(folder / (LOADER_NAME + ".exe"), SWITCH, during=come_to_it,
                                         trace=tries.trace() if name == "_new.exe" else None)
                self.assertFalse(partial.exists(), "the copy in the making is removed")
                if sharing == "nodelete":
                    self.assertTrue(text.startswith(self.win(copy) + ": No copy was written. "), text)
                    self.assertIn("(error 32)", text)
                    self.assertEqual(copy.read_bytes(), b"earlier copy")
                    continue
                self.assertTrue(text.endswith(SUCCESS_TAIL), text)
                self.assertEqual(resource_bytes(copy, 24, 1, 0), MANIFEST)
                checked = subprocess.run(["osslsigncode", "verify", "-in", str(copy)], capture_output=True, text=True)
                self.assertNotIn("invalid PE checksum", checked.stdout)

    def test_the_copy_embeds_the_manifest_that_was_judged_though_the_file_changes_after(self):
        folder = self.case_folder()
        manifest, partial = folder / (LOADER_NAME + ".exe.manifest"), folder / (LOADER_NAME + "_new.exe.tmp")
        judged = LEVEL.format('"asInvoker"').encode()
        manifest.write_bytes(judged)
        partial.write_bytes(b"left by a run that was cut short")
        release = self.hold(partial, "none")  # its removal waits, the manifest read and judged
        tries = Tries(partial)
        self.addCleanup(tries.close)

        def change_it():
            wait_until(lambda: tries.count() >= 2, 120, what="the removal to be refused twice")
            manifest.write_bytes(LEVEL.format('"requireAdministrator"').encode())
            release()
        text = self.run_with_box(folder / (LOADER_NAME + ".exe"), SWITCH, during=change_it)
        self.assertTrue(text.endswith(SUCCESS_TAIL), text)
        self.assertEqual(resource_bytes(folder / (LOADER_NAME + "_new.exe"), 24, 1, 0), judged)

    def test_a_copy_cut_short_by_a_full_disk_names_the_failure_and_leaves_nothing(self):
        # A file system with room for the loader and a third of its copy.
        folder = self.desktop.drive_c / "full"
        folder.mkdir()
        pages = winehost.LOADER.stat().st_size // 4096
        if subprocess.run(["mount", "-t", "tmpfs", "-o", f"size={(pages * 4 // 3 + 2) * 4096}", "tmpfs",
                           str(folder)], capture_output=True).returncode:
            self.skipTest("no small file system can be mounted here")
        self.addCleanup(subprocess.run, ["umount", "-l", str(folder)])
        (folder / (LOADER_NAME + ".exe.manifest")).write_bytes(MANIFEST)
        text = self.run_with_box(winehost.install_loader(folder, LOADER_NAME + ".exe"), SWITCH)
        self.assertIn("(error 112)", text)
        self.assertEqual(sorted(p.name for p in folder.iterdir()),
                         [LOADER_NAME + ".exe", LOADER_NAME + ".exe.manifest"])

    def test_a_copy_in_the_making_held_elsewhere_is_reported_never_as_success_and_leaves_no_copy(self):
        folder = self.case_folder()
        (folder / (LOADER_NAME + ".exe.manifest")).write_bytes(MANIFEST)
        copy, partial = folder / (LOADER_NAME + "_new.exe"), folder / (LOADER_NAME + "_new.exe.tmp")
        copy.write_bytes(b"earlier copy")
        partial.write_bytes(b"left by a run that was cut short")
        # Another program keeps what a run cut short left open, sharing it for
        # everything: its delete succeeds, but its name stays until the holder
        # lets go, and no new copy can be made under it.
        release = self.hold(partial, "readwrite")
        try:
            text = self.run_with_box(folder / (LOADER_NAME + ".exe"), SWITCH)
        finally:
            release()
        self.assertTrue(text.startswith(self.win(copy) + ": No copy was written. "), text)
        self.assertIn("(error 32)", text)
        self.assertNotIn(SUCCESS_TAIL, text)
        self.assertEqual(copy.read_bytes(), b"earlier copy", "an earlier copy is replaced only by a finished one")
        self.assertFalse(partial.exists())

if __name__ == "__main__":
    unittest.main()
