"""The waiting window as a person meets it: started beside a setup program,
it shows the hourglass, runs the setup program once through a second
process, closes when that has ended, answers the closing keys, moves when
dragged by its surface, and serves its labels over DDE.

Every case has its own folder on one shared Wine desktop."""

import os
import shutil
import signal
import struct
import time
import unittest
from pathlib import Path

import winehost
from winehost import wait_until

TITLE = "Please wait..."
FRAMES = winehost.ROOT / "src" / "waitwindow" / "frames"
ICON = winehost.ROOT / "resources" / "app.ico"
SCREEN = (1024, 768)
WIDTH, HEIGHT = 161, 153
WHITE, BLACK = (255, 255, 255), (0, 0, 0)
# At 96 dpi: each frame's top-left corner, and the label rectangles (left, top, right, bottom).
FRAME_AT = [(64, 24)] * 5 + [(44, 20), (52, 36), (44, 20)]
FRAME_AREA = (44, 20, 118, 94)
PLEASE_WAIT = (4, 104, 157, 137)
MESSAGE = "Please wait while the installation procedure finishes..."
OPACITY_244 = 244 * 0x01010101  # _NET_WM_WINDOW_OPACITY scales alpha to 32 bits


def read_bmp(path):
    """An uncompressed bottom-up 24-bit BMP as (width, height, rows of RGB tuples, top first)."""
    data = Path(path).read_bytes()
    offset, = struct.unpack_from("<I", data, 10)
    width, height = struct.unpack_from("<ii", data, 18)
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(height):
        row = offset + stride * (height - 1 - y)
        rows.append([(data[row + 3 * x + 2], data[row + 3 * x + 1], data[row + 3 * x]) for x in range(width)])
    return width, height, rows


class Screenshot:
    """The root window as binary PPM, read pixel by pixel."""

    def __init__(self, path):
        data = Path(path).read_bytes()
        fields, at = [], 0
        while len(fields) < 4:
            while data[at:at + 1].isspace():
                at += 1
            start = at
            while not data[at:at + 1].isspace():
                at += 1
            fields.append(data[start:at])
        assert fields[0] == b"P6", fields
        self.width, self.height = int(fields[1]), int(fields[2])
        self.pixels = data[at + 1:]
        # import writes 16 bits a sample on some builds: keep the high byte.
        self.step = 2 if int(fields[3]) > 255 else 1

    def at(self, x, y):
        i = 3 * self.step * (y * self.width + x)
        return tuple(self.pixels[i:i + 3 * self.step:self.step])


def inside(rect, x, y):
    return rect[0] <= x < rect[2] and rect[1] <= y < rect[3]


class WaitWindow(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.desktop = winehost.WineDesktop()
        cls.frames = [read_bmp(FRAMES / f"lava{i}.bmp") for i in range(8)]

    @classmethod
    def tearDownClass(cls):
        cls.desktop.close()

    # --- helpers --------------------------------------------------------------

    def lay_out(self, loader="RUNsetup.exe", setup_ms=1000, marker=False, name=None):
        """A fresh folder with the loader and the stand-in setup.exe."""
        folder = self.desktop.folder(name or self.id().split(".")[-1])
        winehost.install_loader(folder, loader)
        setup = winehost.install_setup(folder, "setup.exe", setup_ms)
        if marker:
            (folder / "done").write_text("")
        self.addCleanup(self.end_leftovers, loader)
        return folder, setup

    def start(self, folder, loader="RUNsetup.exe"):
        self.desktop.start(folder / loader)
        return self.desktop.wait_for_window(TITLE, timeout=90)

    def end_leftovers(self, loader):
        """Ends the processes this case started, so the next case starts clean."""
        self.desktop.end(loader, "setup.exe")
        self.desktop.wait_for_no_window(TITLE, timeout=30)

    def wait_for_close(self, timeout):
        """Waits for the window to go; returns the last moment it was seen (setup-log scale)."""
        return self.desktop.watch_close(TITLE, timeout)[0]

    def assert_loader_ended(self, loader="RUNsetup.exe"):
        wait_until(lambda: not self.desktop.processes(loader), 60, what=f"{loader} to end")

    def drag_by(self, window, start, offset, button=1, follows=False):
        """Drags from a point of the window (window coordinates) by offset; returns the move."""
        x, y, _, _ = self.desktop.geometry(window)
        begin = (x + start[0], y + start[1])
        self.desktop.drag(window, begin, (begin[0] + offset[0], begin[1] + offset[1]), button, follows)
        nx, ny, _, _ = self.desktop.geometry(window)
        return nx - x, ny - y

    def ask_dde(self, folder, service, *items):
        client = folder / "ddeclient.exe"
        shutil.copyfile(winehost.FIXTURES / "ddeclient.exe", client)
        answer = folder / "answer.txt"
        code, output = self.desktop.run_console(client, self.desktop.windows_path(answer), service, "TellMe",
                                                *items, timeout=60)
        return code, answer.read_text() if answer.exists() else output

    # --- the normal run -------------------------------------------------------

    def test_runs_the_setup_once_and_closes_after_it_has_ended(self):
        folder, setup = self.lay_out(setup_ms=4000)
        self.start(folder)
        starts = wait_until(lambda: winehost.setup_starts(setup), 90, what="the setup program to start")
        self.assertEqual(len(starts), 1)
        self.assertIn("show=4", starts[0])
        ends = wait_until(lambda: winehost.setup_ends(setup), 60, what="the setup program to end")
        self.assertIsNone(winehost.close_fault(winehost.log_time_ms(ends[0]), *self.desktop.watch_close(TITLE, 60)))
        self.assertFalse((folder / "done").exists(), "the window leaves no marker behind")
        self.assert_loader_ended()
        self.assertEqual(len(winehost.setup_starts(setup)), 1)

    def test_a_marker_left_from_before_does_not_close_the_window_early(self):
        # Left by an earlier run, or undeletable (read-only): no runner of this
        # start wrote it, so the window waits for this start's setup program.
        for read_only in (False, True):
            with self.subTest(read_only=read_only):
                folder, setup = self.lay_out(setup_ms=6000, marker=True, name=f"stale-{read_only}")
                if read_only:
                    (folder / "done").chmod(0o444)
                self.start(folder)
                # Well before this start's runner could write one (2 s, then the 6 s setup).
                self.assertEqual((folder / "done").exists(), read_only, "a deletable leftover is gone at once")
                closed = self.desktop.watch_close(TITLE, 90)
                ends = wait_until(lambda: winehost.setup_ends(setup), 30, what="the setup program to end")
                self.assertIsNone(winehost.close_fault(winehost.log_time_ms(ends[0]), *closed))
                self.assert_loader_ended()
                self.assertEqual(len(winehost.setup_starts(setup)), 1)
                self.assertEqual((folder / "done").exists(), read_only, "only an undeletable marker stays")

    # --- keys -------------------------------------------------------------------

    def test_upper_case_x_closes_other_keys_do_not_and_the_runner_goes_on(self):
        folder, setup = self.lay_out(setup_ms=30000)
        window = self.start(folder)
        wait_until(lambda: winehost.setup_starts(setup), 90, what="the setup program to start")
        # DDE initiation asks every top-level window, the runner's waiting owner window too.
        self.assertEqual(self.ask_dde(folder, "RUNsetup", "lblPleaseWait"), (0, f"lblPleaseWait=[{MESSAGE}]\n"))
        self.desktop.key(window, "a", "Return", "space", "y")
        time.sleep(3)
        self.assertTrue(self.desktop.windows(TITLE), "only X, x and Escape close the window")
        self.desktop.key(window, "X")
        self.wait_for_close(20)
        self.assertFalse(winehost.setup_ends(setup), "the key closed the window, not the setup's end")
        # Nobody is left to read a marker, so the runner leaves none.
        wait_until(lambda: winehost.setup_ends(setup), 90, what="the setup program to end")
        self.assert_loader_ended()
        self.assertFalse((folder / "done").exists(), "the runner left a marker nobody reads")

    def test_lower_case_x_and_escape_close_the_window(self):
        for key in ("x", "Escape"):
            with self.subTest(key=key):
                folder, _ = self.lay_out(loader="XYZsetup.exe", name=f"key-{key}")
                window = self.start(folder, "XYZsetup.exe")
                time.sleep(1)
                self.desktop.key(window, key)
                self.wait_for_close(20)
                self.assert_loader_ended("XYZsetup.exe")

    def test_closing_key_before_the_relaunch_means_the_setup_never_runs(self):
        folder, setup = self.lay_out(setup_ms=1000)
        self.desktop.start(folder / "RUNsetup.exe")
        window = wait_until(lambda: self.desktop.windows(TITLE), 90, interval=0.02, what="the window")[0]
        self.desktop.x("xdotool", "windowactivate", str(window))
        wait_until(lambda: self.desktop.x("xdotool", "getwindowfocus").strip() == str(window), 10, interval=0.02,
                   what="the window to take the focus")
        loader = self.desktop.processes("RUNsetup.exe")
        self.assertEqual(len(loader), 1, "already relaunched before the key could be typed")
        # The relaunch comes 2 s after the timer starts, which the emulator
        # barely leaves for typing: the loader is held while the key goes in.
        # Input comes before timer ticks, so Escape is handled before any tick.
        os.kill(loader[0], signal.SIGSTOP)
        try:
            self.desktop.x("xdotool", "key", "Escape", check=True)
            time.sleep(0.5)
        finally:
            os.kill(loader[0], signal.SIGCONT)
        self.wait_for_close(20)
        self.assert_loader_ended()
        # A runner would have started the setup program well within this.
        time.sleep(30)
        self.assertEqual(winehost.setup_starts(setup), [], "the setup program ran after all")
        self.assertFalse((folder / "done").exists())

    # --- what the window looks like, its mouse handling and DDE ----------------

    def test_layout_pixels_mouse_and_dde(self):
        # No recognised prefix: the relaunched process runs nothing, so the
        # window stays up until it is closed here.
        folder, setup = self.lay_out(loader="XYZsetup.exe")
        window = self.start(folder, "XYZsetup.exe")
        time.sleep(2)

        x, y, width, height = self.desktop.geometry(window)
        self.assertEqual((width, height), (WIDTH, HEIGHT))
        self.assertEqual((x, y), ((SCREEN[0] - WIDTH) // 2, (SCREEN[1] - HEIGHT) // 2), "centred")
        self.check_window_manager_view(window)
        self.check_pixels(x, y)

        code, answer = self.ask_dde(folder, "XYZsetup", "lblPleaseWait", "lblDDE", "Timer1")
        self.assertEqual(code, 5, answer)
        self.assertEqual(answer.splitlines(), [f"lblPleaseWait=[{MESSAGE}]", "lblDDE=[]", "Timer1 refused"])

        self.assertEqual(self.drag_by(window, (84, 56), (60, 40)), (0, 0), "the hourglass does not drag")
        self.assertEqual(self.drag_by(window, (80, 120), (60, 40)), (0, 0), "the message does not drag")
        self.assertEqual(self.drag_by(window, (160, 24), (-60, 40)), (0, 0), "nor does lblDDE over the border")
        for button in (3, 2):
            self.assertEqual(self.drag_by(window, (20, 20), (60, 40), button), (0, 0), f"button {button} drags")
        self.assertEqual(self.drag_by(window, (20, 20), (60, 40), follows=True), (60, 40), "the background drags")
        self.assertEqual(self.drag_by(window, (0, 76), (-50, -30), follows=True), (-50, -30), "a border line drags")
        self.assertEqual(self.drag_by(window, (140, 90), (30, 20), follows=True), (30, 20))

        self.desktop.key(window, "Escape")
        self.wait_for_close(20)
        self.assertEqual(winehost.setup_starts(setup), [], "XYZsetup runs nothing")

    def check_window_manager_view(self, window):
        state = self.desktop.property(window, "_NET_WM_STATE")
        self.assertIn("_NET_WM_STATE_SKIP_TASKBAR", state, "no taskbar button")
        self.assertIn("= 0, 0, 0, 0", self.desktop.property(window, "_NET_FRAME_EXTENTS"), "no frame")
        self.assertIn("not found", self.desktop.property(window, "_NET_WM_WINDOW_OPACITY"), "opaque on Windows 7")
        # The hidden owner window is never mapped: the waiting window is the loader's only visible one.
        visible = self.desktop.x("xdotool", "search", "--onlyvisible", "--classname", "^xyzsetup.exe$").split()
        self.assertEqual(visible, [str(window)])
        self.check_icon(window)

    def check_icon(self, window):
        """The window's 32 x 32 icon is the application icon's 32-bit image."""
        out = self.desktop.x("xprop", "-id", str(window), "-notype", "32c", "_NET_WM_ICON")
        self.assertIn("=", out, "the window has no icon")
        values = [int(v) & 0xFFFFFFFF for v in out.split("=", 1)[1].replace(",", " ").split()]
        images, at = {}, 0
        while at + 2 <= len(values):
            w, h = values[at], values[at + 1]
            images[(w, h)] = values[at + 2:at + 2 + w * h]
            at += 2 + w * h
        self.assertIn((32, 32), images)
        ico = ICON.read_bytes()
        for entry in range(struct.unpack_from("<H", ico, 4)[0]):
            size, _, _, _, _, bits, _, offset = struct.unpack_from("<BBBBHHII", ico, 6 + 16 * entry)
            if size == 32 and bits == 32:
                break
        else:
            self.fail("app.ico has no 32 x 32 true-colour image")
        pixels = offset + 40
        mismatches = 0
        for py in range(32):
            for px in range(32):
                b, g, r, a = ico[pixels + 4 * ((31 - py) * 32 + px):][:4]
                shown = images[(32, 32)][py * 32 + px]
                if (shown >> 24) != a or (a == 255 and (shown & 0xFFFFFF) != (r << 16 | g << 8 | b)):
                    mismatches += 1
        self.assertEqual(mismatches, 0, "the window's icon differs from the application icon")

    def check_pixels(self, left, top):
        shot = Screenshot(self.desktop.screenshot(self.desktop.root / "wait.ppm"))

        def at(wx, wy):
            return shot.at(left + wx, top + wy)

        for wx in range(WIDTH):
            self.assertEqual(at(wx, 0), BLACK, f"top border at {wx}")
            self.assertEqual(at(wx, HEIGHT - 1), BLACK, f"bottom border at {wx}")
        for wy in range(HEIGHT):
            self.assertEqual(at(0, wy), BLACK, f"left border at {wy}")
            self.assertEqual(at(WIDTH - 1, wy), BLACK, f"right border at {wy}")
        # One pixel wide: inside the lines, white (where no element lies).
        for wx in range(1, WIDTH - 1):
            self.assertEqual(at(wx, 1), WHITE, f"below the top border at {wx}")
            self.assertEqual(at(wx, HEIGHT - 2), WHITE, f"above the bottom border at {wx}")
        for wy in range(1, HEIGHT - 1):
            self.assertEqual(at(1, wy), WHITE, f"right of the left border at {wy}")
            self.assertEqual(at(WIDTH - 2, wy), WHITE, f"left of the right border at {wy}")

        # Exactly one frame is shown, at its own place and size.
        shown = [i for i in range(8) if self.frame_matches(at, i)]
        self.assertEqual(len(shown), 1, f"frames matching the screen: {shown}")
        fw, fh, _ = self.frames[shown[0]]
        fx, fy = FRAME_AT[shown[0]]
        for wy in range(1, HEIGHT - 1):
            for wx in range(1, WIDTH - 1):
                if inside((fx, fy, fx + fw, fy + fh), wx, wy) or inside(PLEASE_WAIT, wx, wy):
                    continue
                self.assertEqual(at(wx, wy), WHITE, f"background at {wx},{wy}")
        dark = sum(1 for wy in range(PLEASE_WAIT[1], PLEASE_WAIT[3]) for wx in range(PLEASE_WAIT[0], PLEASE_WAIT[2])
                   if sum(at(wx, wy)) < 3 * 128)
        self.assertGreater(dark, 150, "the message is drawn")

    def frame_matches(self, at, index):
        width, height, rows = self.frames[index]
        fx, fy = FRAME_AT[index]
        return all(at(fx + x, fy + y) == rows[y][x] for y in range(height) for x in range(width))

    # --- translucency by Windows version --------------------------------------

    def test_translucent_where_the_system_reports_windows_xp(self):
        self.desktop.set_windows_version("winxp")
        self.addCleanup(self.desktop.set_windows_version, "win7")
        folder, _ = self.lay_out(loader="XYZsetup.exe")
        window = self.start(folder, "XYZsetup.exe")
        opacity = wait_until(lambda: "=" in self.desktop.property(window, "_NET_WM_WINDOW_OPACITY")
                             and self.desktop.property(window, "_NET_WM_WINDOW_OPACITY"), 20,
                             what="the window's opacity")
        self.assertEqual(int(opacity.split("=")[1]), OPACITY_244)
        self.desktop.key(window, "Escape")
        self.wait_for_close(20)


if __name__ == "__main__":
    unittest.main()
