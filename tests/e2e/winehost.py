"""A Wine desktop for the end-to-end tests: a virtual X display with a window
manager, a Wine prefix of its own, and the means to drive and watch Windows
programs the way a person would (windows by title, keys, mouse, screenshots).

Every wait here is bounded; the product may wait forever, a test never does.
"""

import ctypes
import fcntl
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time
import unittest
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
LOADER = Path(os.environ.get("LOADER_EXE", ROOT / "dist" / "prjLomdra.exe"))
FIXTURES = Path(os.environ.get("FIXTURES_DIR", ROOT / "build" / "mingw" / "tests" / "bin"))
TEMPLATE = Path(os.environ.get("WINE_TEMPLATE", ROOT / "build" / "native" / "wineprefix-template"))

# Wine on a loaded two-core machine is slow: generous bounds, never tight ones.
SLOW = float(os.environ.get("WINE_TIME_FACTOR", "1"))

# While a short setup program runs, the waiting window polls once per cycle of
# eight frames. A close is "within one poll" when it comes no later than that
# after the setup's end, plus the slack of seeing a window go (an X search)
# and of Wine's timer on a loaded machine.
POLL_MS = 8 * 249
CLOSE_SLACK_MS = 1500 * SLOW


def wait_until(predicate, timeout, interval=0.1, what="condition"):
    """Polls predicate until it returns a true value; returns it, or raises."""
    deadline = time.monotonic() + timeout * SLOW
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out after {timeout * SLOW:.0f} s waiting for {what}")
        time.sleep(interval)


# What can stand before a Windows program on its Linux command line.
WINE_LOADERS = ("wine", "wine-preloader", "wine64", "wine64-preloader")


def _base_env():
    env = dict(os.environ)
    env["WINEDEBUG"] = "-all"
    env["WINEDLLOVERRIDES"] = "mscoree=;mshtml="
    return env


def ensure_template():
    """Creates the shared, pristine Wine prefix once; sessions copy it."""
    TEMPLATE.parent.mkdir(parents=True, exist_ok=True)
    with open(str(TEMPLATE) + ".lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if (TEMPLATE / "system.reg").exists():
            return
        building = Path(str(TEMPLATE) + ".building")
        shutil.rmtree(building, ignore_errors=True)
        env = _base_env()
        env["WINEPREFIX"] = str(building)
        env.pop("DISPLAY", None)
        subprocess.run(["wine", "wineboot", "-i"], env=env, check=True, timeout=300,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=env, timeout=120)
        building.rename(TEMPLATE)


class WineDesktop:
    """One Xvfb display with openbox and one Wine prefix, torn down on close."""

    def __init__(self, windows_version=None, dll_overrides=None, lang=None):
        ensure_template()
        self.root = Path(tempfile.mkdtemp(prefix="loader-e2e-"))
        self.prefix = self.root / "prefix"
        shutil.copytree(TEMPLATE, self.prefix, symlinks=True)
        self._procs = []
        self.env = _base_env()
        self.env["WINEPREFIX"] = str(self.prefix)
        try:
            self.display = self._start_xvfb()
            self.env["DISPLAY"] = self.display
            if dll_overrides:
                self.env["WINEDLLOVERRIDES"] += ";" + dll_overrides
            if lang:  # Wine's ANSI code page follows the locale: ja_JP.UTF-8 gives 932
                self.env.update(LANG=lang, LC_ALL=lang)
            self._start_window_manager()
            subprocess.run(["wineserver", "-p"], env=self.env, timeout=60)
            if windows_version:
                self.set_windows_version(windows_version)
        except BaseException:
            self.close()  # a class whose set-up fails is never torn down
            raise

    # --- set-up and tear-down -------------------------------------------------

    def _start_xvfb(self):
        """Starts Xvfb on a display number of its own, returned once it serves.

        The number is named, not searched for: a server that searches from 0
        binds, and on finding the number taken unlinks again, the socket file
        of every live display below its own, and a client connecting meanwhile
        (openbox, seen here) is refused. A named number that is taken is
        refused by its lock file before any socket is touched: try the next."""
        first = 100 + os.getpid() % 400
        for number in range(first, first + 50):
            read_fd, write_fd = os.pipe()
            proc = subprocess.Popen(
                ["Xvfb", f":{number}", "-displayfd", str(write_fd), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                 "-noreset"],  # the set-up's probes come and go before openbox connects
                pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            os.close(write_fd)
            with os.fdopen(read_fd, "rb") as pipe:
                ready = pipe.read()  # the number once it serves; nothing when it ends
            if ready.strip() == str(number).encode():
                self._procs.append(proc)
                return f":{number}"
            proc.wait(timeout=60)
        raise RuntimeError(f"Xvfb found no free display from :{first}")

    def _start_window_manager(self):
        """Waits until openbox manages the screen, or ends: then says why.
        Under load openbox was seen to end at once, unable to open a display
        that answered a moment later: such a start is made again."""
        log = self.root / "openbox.log"
        for _ in range(5):
            with open(log, "w") as out:
                proc = self._spawn(["openbox", "--sm-disable"], stdout_file=out, stderr_file=subprocess.STDOUT)
            wait_until(lambda: proc.poll() is not None or self._window_manager_running(), 60, what="openbox")
            if proc.poll() is None:
                return
            if "Failed to open the display" not in log.read_text():
                break
        raise RuntimeError(f"openbox ended with {proc.returncode}: {log.read_text().strip()}")

    def _spawn(self, args, stdout_file=subprocess.DEVNULL, stderr_file=subprocess.DEVNULL, **kwargs):
        proc = subprocess.Popen(args, env=self.env, stdout=stdout_file,
                                stderr=stderr_file, **kwargs)
        self._procs.append(proc)
        return proc

    def _window_manager_running(self):
        out = subprocess.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], env=self.env,
                             capture_output=True, text=True).stdout
        return "window id" in out

    def close(self):
        try:
            subprocess.run(["wineserver", "-k"], env=self.env, timeout=60,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        except subprocess.TimeoutExpired:
            pass
        for proc in reversed(self._procs):
            if proc.poll() is None:
                proc.send_signal(signal.SIGTERM)
                try:
                    proc.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    proc.kill()
        shutil.rmtree(self.root, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    # --- the Windows side -------------------------------------------------------

    @property
    def drive_c(self):
        return self.prefix / "drive_c"

    def folder(self, name):
        """A fresh folder C:\\<name>; returns its Linux path."""
        path = self.drive_c / name
        path.mkdir(parents=True, exist_ok=False)
        return path

    @staticmethod
    def windows_path(path):
        """The Windows form of a path inside the prefix's drive C."""
        parts = Path(path).parts
        index = parts.index("drive_c")
        return "C:\\" + "\\".join(parts[index + 1:])

    def set_windows_version(self, version):
        self.wine(["reg", "add", r"HKCU\Software\Wine", "/v", "Version", "/t", "REG_SZ", "/d",
                   version, "/f"]).wait(timeout=60 * SLOW)

    def wine(self, args, cwd=None, stderr_file=subprocess.DEVNULL):
        """Starts a Windows program (a path or a builtin command) under Wine."""
        return self._spawn(["wine", *[str(a) for a in args]], cwd=cwd, stderr_file=stderr_file)

    def run_console(self, exe, *args, timeout=600):
        """Runs a console program to its end; returns (exit code, its output)."""
        exe = Path(exe)
        # A file, not a pipe: Wine's helper processes inherit the handle and
        # would hold a pipe open long after the program has ended.
        with tempfile.TemporaryFile(mode="w+", errors="replace") as out:
            proc = subprocess.Popen(["wine", self.windows_path(exe), *args], env=self.env, cwd=exe.parent,
                                    stdout=out, stderr=subprocess.STDOUT)
            try:
                code = proc.wait(timeout=timeout * SLOW)
            except subprocess.TimeoutExpired:
                proc.kill()
                code = None
            out.seek(0)
            return code, out.read()

    def start(self, exe, *args, stderr_file=subprocess.DEVNULL):
        """Starts a program the way Explorer would: from its own folder."""
        exe = Path(exe)
        return self.wine([self.windows_path(exe), *args], cwd=exe.parent, stderr_file=stderr_file)

    def processes(self, image_name):
        """Ids of live processes of this prefix whose image is image_name."""
        found = []
        wanted = image_name.lower()
        for entry in Path("/proc").iterdir():
            if not entry.name.isdigit():
                continue
            try:
                environ = (entry / "environ").read_bytes()
                args = (entry / "cmdline").read_bytes().decode(errors="replace").split("\0")
                state = (entry / "stat").read_text().split(") ")[-1].split()[0]
            except OSError:
                continue
            if state == "Z":
                continue
            if f"WINEPREFIX={self.prefix}".encode() not in environ.split(b"\0"):
                continue
            # The image is the first program named: under an emulator the
            # emulator and Wine's loader come before it, and the arguments
            # after it (a deployment tool's target) are not the process.
            names = [arg.replace("/", "\\").split("\\")[-1].lower() for arg in args]
            image = next((name for name in names if not name.startswith("qemu-") and name not in WINE_LOADERS), "")
            if image == wanted:
                found.append(int(entry.name))
        return found

    def end(self, *images):
        """Ends every process of these images, so the next case starts clean."""
        for pid in [pid for image in images for pid in self.processes(image)]:
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass

    # --- the X side -------------------------------------------------------------

    def x(self, *args, check=False):
        result = subprocess.run([*args], env=self.env, capture_output=True, text=True, timeout=60)
        if check and result.returncode != 0:
            raise AssertionError(f"{args[0]} failed: {result.stderr}")
        return result.stdout

    def windows(self, title):
        """X ids of mapped windows whose title is exactly title."""
        for _ in range(5):
            result = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", f"^{_escape(title)}$"],
                                    env=self.env, capture_output=True, text=True, timeout=60)
            # A window that vanishes mid-search makes the whole search come
            # back empty with an X error: search again rather than report none.
            if "error" not in result.stderr.lower():
                break
            time.sleep(0.1)
        return [int(w) for w in result.stdout.split()]

    def wait_for_window(self, title, timeout=60):
        return wait_until(lambda: self.windows(title), timeout, what=f"window '{title}'")[0]

    def wait_for_no_window(self, title, timeout=60):
        wait_until(lambda: not self.windows(title), timeout, what=f"window '{title}' to close")

    def watch_close(self, title, timeout=60):
        """Waits for the window to go; returns the last moment it was seen and
        the first moment it was gone, on the setup log's scale."""
        seen = now_ms()

        def gone():
            nonlocal seen
            if self.windows(title):
                seen = now_ms()
                return False
            return True

        wait_until(gone, timeout, interval=0.05, what=f"window '{title}' to close")
        return seen, now_ms()

    def geometry(self, window):
        """(x, y, width, height) of a window on the screen."""
        out = self.x("xdotool", "getwindowgeometry", "--shell", str(window), check=True)
        values = dict(line.split("=", 1) for line in out.split())
        return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])

    def activate(self, window):
        self.x("xdotool", "windowactivate", "--sync", str(window))
        time.sleep(0.3)

    def key(self, window, *keys):
        """Types keys into a window, as a person at the keyboard would."""
        self.activate(window)
        self.x("xdotool", "key", "--delay", "100", *keys, check=True)

    def drag(self, window, start, end, button=1, follows=False, steps=20):
        """Presses at start, moves in small steps to end, releases. Each stage
        waits for what it hands on, not for a time: for Wine to have read the
        press, where the window should follow, for it to follow every step,
        and at the end for the window manager to let go of the pointer."""
        for attempt in range(1, 4):
            wait_until(lambda: not self.pointer_grabbed(), 60, what="the pointer to be free")
            origin = self.geometry(window)[:2]
            self._point(start)
            before = self.user_time(window)
            self.x("xdotool", "mousedown", str(button), check=True)
            wait_until(lambda: self.user_time(window) != before, 60, what="Wine to read the press")
            for i in range(1, steps + 1):
                point = (start[0] + (end[0] - start[0]) * i // steps, start[1] + (end[1] - start[1]) * i // steps)
                if not follows:
                    self._point(point)
                    continue
                # Until the window manager has taken up the move, a motion goes to
                # Wine and is lost to it: it is made again until the window follows.
                at = (origin[0] + point[0] - start[0], origin[1] + point[1] - start[1])
                try:
                    wait_until(lambda: self._point(point, again=True) or self.geometry(window)[:2] == at,
                               20 if i == 1 and attempt < 3 else 60, what=f"the window to follow the pointer to {point}")
                except AssertionError:
                    if i > 1 or attempt == 3:
                        raise
                    # Under load the window manager, once in a few dozen drags, never takes
                    # up the move that Wine asks of it: let go and press again, as a person would.
                    self.x("xdotool", "mouseup", str(button), check=True)
                    break
            else:
                break
        self.x("xdotool", "mouseup", str(button), check=True)
        wait_until(lambda: not self.pointer_grabbed(), 60, what="the window manager to end the move")

    def _point(self, point, again=False):
        if again:  # the pointer is there already: a motion needs a step away first
            self.x("xdotool", "mousemove", str(point[0] + 1), str(point[1]), check=True)
        # No --sync: it waits many seconds when the pointer does not move.
        self.x("xdotool", "mousemove", str(point[0]), str(point[1]), check=True)

    def user_time(self, window):
        """The server time of the last press that Wine has read for the
        window's process (0 before any): Wine keeps it on a window of its own."""
        holder = self.property(window, "_NET_WM_USER_TIME_WINDOW").split("#")[-1].strip()
        out = self.property(int(holder, 16), "_NET_WM_USER_TIME")
        return int(out.split("=")[1]) if "=" in out else 0

    def pointer_grabbed(self):
        """Whether a client holds the pointer, as the window manager does while
        it moves a window. A grab of our own succeeds only where none is held,
        and ends with our connection."""
        display = _X11.XOpenDisplay(self.display.encode())
        if not display:
            return True  # unknown: ask again
        try:
            return _X11.XGrabPointer(display, _X11.XDefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0) != 0
        finally:
            _X11.XCloseDisplay(display)

    def screenshot(self, path, area=None):
        """The screen, or the part (x, y, width, height) of it, as an image file."""
        crop = ["-crop", "{2}x{3}+{0}+{1}".format(*area), "+repage"] if area else []
        subprocess.run(["import", "-display", self.display, "-window", "root", *crop, str(path)],
                       env=self.env, check=True, timeout=60)
        return path

    def property(self, window, name):
        return self.x("xprop", "-id", str(window), name)


def _x11():
    lib = ctypes.CDLL("libX11.so.6")
    lib.XOpenDisplay.restype = ctypes.c_void_p
    lib.XOpenDisplay.argtypes = [ctypes.c_char_p]
    lib.XDefaultRootWindow.restype = ctypes.c_ulong
    lib.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    # display, window, owner events, event mask, pointer and keyboard modes, confine to, cursor, time
    lib.XGrabPointer.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_uint, ctypes.c_int,
                                 ctypes.c_int, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_ulong]
    lib.XCloseDisplay.argtypes = [ctypes.c_void_p]
    return lib


_X11 = _x11()


class DesktopCase(unittest.TestCase):
    """Test cases that share one Wine desktop, each in folders of its own."""

    @classmethod
    def setUpClass(cls):
        cls.desktop = WineDesktop()

    @classmethod
    def tearDownClass(cls):
        cls.desktop.close()


def _escape(title):
    return "".join("\\" + c if c in r".^$*+?()[]{}|\\" else c for c in title)


# --- files that tests lay out beside the loader -------------------------------

def nested(total):
    """A folder path below C:\\ of exactly total characters, "C:" and backslashes included."""
    parts, length = [], 2
    while length < total:
        room = total - length - 1
        take = 59 if room == 61 else min(60, room)  # never leave room for a backslash alone
        parts.append(("L" + "x" * 59)[:take])
        length += 1 + take
    return "/".join(parts)


def install_loader(folder, name):
    """Copies the built loader into folder under name (for example RUNsetup.exe)."""
    target = Path(folder) / name
    shutil.copyfile(LOADER, target)
    return target


# The code Wine's shell leaves for a setup.exe that is no program: 193
# (ERROR_BAD_EXE_FORMAT) under Wine 8, 6 under Wine 10, and its own value 11
# where its error box cleared the thread's error.
NO_PROGRAM_CODES = (193, 6, 11)


def run_as_tool(desktop, exe, *args, hidden=False, quit=False, swapped=False, job=False, parent=None,
                stderr_file=subprocess.DEVNULL):
    """Starts exe as a deployment tool does (the deploy fixture), on a desktop
    that nobody sees if hidden; returns a function that waits for its whole
    exit code. With quit, the tool asks it to quit (WM_QUIT) once it is up;
    with swapped, it starts exe suspended where nobody sees, puts a copy in
    place of its file (moved to exe.aside) and then lets it run; parent names
    the image of the process it starts it under; with job, it runs it inside a
    job of its own, as an agent may.
    Wine's debug output of every process it starts goes to stderr_file."""
    tool = desktop.root / "deploy.exe"
    if not tool.exists():
        shutil.copyfile(FIXTURES / "deploy.exe", tool)
    # A file, not a pipe, as in run_console.
    out = tempfile.TemporaryFile(mode="w+")
    mode = (["hidden"] if hidden else ["quit"] if quit else ["swapped"] if swapped else ["job"] if job
            else ["parent=" + parent] if parent else [])
    proc = desktop._spawn(["wine", str(tool), *mode, desktop.windows_path(exe), *args],
                          stdout_file=out, stderr_file=stderr_file)

    def exit_code(timeout=180):
        proc.wait(timeout=timeout * SLOW)
        out.seek(0)
        return int(out.read())
    return exit_code


def install_setup(folder, name, run_ms=1000):
    """Copies the stand-in setup program into folder; it runs for run_ms."""
    target = Path(folder) / name
    shutil.copyfile(FIXTURES / "fakesetup.exe", target)
    Path(str(target) + ".cfg").write_text(str(run_ms))
    return target


def setup_starts(setup):
    """The start lines that the stand-in setup program has logged."""
    return [line for line in log_lines(setup) if line.startswith("start ")]


def setup_ends(setup):
    return [line for line in log_lines(setup) if line.startswith("end ")]


def log_time_ms(line):
    return int(line.split()[1])


def log_lines(setup):
    log = Path(str(setup) + ".log")
    return log.read_text().splitlines() if log.exists() else []


def now_ms():
    """Now, on the scale of the setup log's times (milliseconds since 1601)."""
    return int(time.time() * 1000) + 11644473600 * 1000


def close_fault(ended_ms, last_seen, gone):
    """What was wrong with a window's close (None when nothing): it must
    outlast the setup program's end and go within one poll of it."""
    if last_seen < ended_ms - 250:
        return "the window closed before the setup program ended"
    if gone - ended_ms > POLL_MS + CLOSE_SLACK_MS:
        return f"the window closed {gone - ended_ms} ms after the setup program's end, past its next poll"
    return None


# --- the loader's named locks ---------------------------------------------------

def _path_hash(path):
    """FNV-1a 64 over the upper-cased path, as the loader names its locks."""
    value = 14695981039346656037
    for byte in path.upper().encode("ascii"):
        value = ((value ^ byte) * 1099511628211) & 0xFFFFFFFFFFFFFFFF
    return f"{value:016x}"


def instance_lock_name(windows_exe_path):
    """The per-session name from which a loader once took its role."""
    return "Local\\SetupLoader." + _path_hash(windows_exe_path)


def hold_name(desktop, kind, name, tools):
    """Holds a named event or mutex (kind "event" or "mutex", "-nodacl" for an
    empty DACL) in another Wine process (the holdname fixture, copied into
    tools) until the returned release is called. A name "runner:<folder>" is
    the lock a loader in that folder claims."""
    tools = Path(tools)
    tools.mkdir(parents=True, exist_ok=True)
    program = tools / "holdname.exe"
    if not program.exists():
        shutil.copyfile(FIXTURES / "holdname.exe", program)
    tag = _path_hash(kind + name)
    held, release = tools / (tag + ".held"), tools / (tag + ".release")
    proc = desktop.wine([desktop.windows_path(program), kind, name, desktop.windows_path(held),
                         desktop.windows_path(release)])
    wait_until(held.exists, 120, what=f"the {kind} {name} to be held")

    def release_it():
        release.write_text("")
        proc.wait(timeout=60 * SLOW)
    return release_it


def read_box_report(report):
    """What the boxreader fixture wrote: caption, text, icon, and a list of buttons."""
    box = {"buttons": []}
    for line in Path(report).read_text(encoding="cp1252").splitlines():
        key, _, value = line.partition("=")
        value = re.sub(r"\\(.)", lambda m: {"r": "\r", "n": "\n"}.get(m[1], m[1]), value)
        if key == "button":
            box["buttons"].append(value)
        else:
            box[key] = value
    return box
