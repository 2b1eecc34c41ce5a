"""Helpers for GUI tests of the programs as processes, on an X display (Xvfb in CI).

A Session lays out a fresh program folder with `cmake --install` and starts programs from it,
natively or under Wine (through cmake/wine-run.sh, so they share the build's Wine prefix).
Windows are found and driven with xdotool; screenshots come from ImageMagick's `import`.
"""

import os
import shutil
import subprocess
import tempfile
import time


def run(args, **kwargs):
    return subprocess.run(args, check=True, capture_output=True, **kwargs)


class Picture:
    """Pixels as RGBA bytes, row by row."""

    def __init__(self, width, height, rgba):
        self.width = width
        self.height = height
        self.rgba = rgba

    @staticmethod
    def load(path):
        size = run(["identify", "-format", "%w %h", path + "[0]"]).stdout.split()
        width, height = int(size[0]), int(size[1])
        data = run(["convert", path + "[0]", "-depth", "8", "rgba:-"]).stdout
        return Picture(width, height, data)

    def pixel(self, x, y):
        i = (y * self.width + x) * 4
        return tuple(self.rgba[i:i + 4])


def screenshot():
    """The whole screen as a Picture (alpha 255)."""
    data = run(["import", "-silent", "-window", "root", "-depth", "8", "rgb:-"]).stdout
    size = run(["xdotool", "getdisplaygeometry"]).stdout.split()
    width, height = int(size[0]), int(size[1])
    rgba = bytearray(width * height * 4)
    rgba[0::4] = data[0::3]
    rgba[1::4] = data[1::3]
    rgba[2::4] = data[2::3]
    rgba[3::4] = b"\xff" * (width * height)
    return Picture(width, height, bytes(rgba))


def close_to(a, b, tolerance=24):
    return all(abs(p - q) <= tolerance for p, q in zip(a[:3], b[:3]))


def region_matches(shot, left, top, picture, frame_x, frame_w, tolerance=24, magenta=False):
    """Share of the frame's opaque pixels that the screen shows at (left, top)."""
    checked = matched = 0
    for y in range(picture.height):
        for x in range(frame_w):
            p = picture.pixel(frame_x + x, y)
            if p[3] < 255 or (magenta and p[:3] == (255, 0, 255)):
                continue
            checked += 1
            if close_to(shot.pixel(left + x, top + y), p, tolerance):
                matched += 1
    return matched / checked if checked else 0.0


class Window:
    def __init__(self, wid, name=None):
        self.wid = wid
        self.name = name
        self.size = None

    def _query(self):
        result = subprocess.run(["xdotool", "getwindowgeometry", "--shell", self.wid],
                                capture_output=True)
        if result.returncode != 0:
            return None
        values = dict(line.split("=", 1) for line in result.stdout.decode().split() if "=" in line)
        return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])

    def _find_again(self):
        # Wine may replace a program window's X window (when it starts to be managed, say):
        # the same window, by name and size, under a new id.
        for window in find_windows(self.name) if self.name else []:
            geometry = window._query()
            if geometry and (self.size is None or geometry[2:] == self.size):
                self.wid = window.wid
                return geometry
        return None

    def geometry(self):
        # A window that is being moved may not answer at once; one that is gone never does.
        for _ in range(8):
            geometry = self._query() or self._find_again()
            if geometry:
                self.size = geometry[2:]
                return geometry
            time.sleep(0.3)
        raise AssertionError("window %s (%r) is gone" % (self.wid, self.name))

    def raise_(self):
        # Windows may overlap (the help window over the game's); the click must reach this one.
        self.geometry()  # the current id
        subprocess.run(["xdotool", "windowraise", self.wid], capture_output=True)
        time.sleep(0.2)

    def click(self, x, y):
        """Clicks at (x, y) in window coordinates."""
        self.raise_()
        left, top, _, _ = self.geometry()
        run(["xdotool", "mousemove", "--sync", str(left + x), str(top + y)])
        time.sleep(0.2)
        run(["xdotool", "mousedown", "1"])
        time.sleep(0.1)
        run(["xdotool", "mouseup", "1"])

    def drag(self, x, y, dx, dy):
        """Presses at (x, y) in window coordinates and moves the mouse by (dx, dy) in steps."""
        self.raise_()
        left, top, _, _ = self.geometry()
        run(["xdotool", "mousemove", "--sync", str(left + x), str(top + y)])
        time.sleep(0.2)
        run(["xdotool", "mousedown", "1"])
        time.sleep(0.2)
        for step in range(1, 11):
            run(["xdotool", "mousemove", str(left + x + dx * step // 10),
                 str(top + y + dy * step // 10)])
            time.sleep(0.05)
        time.sleep(0.2)
        run(["xdotool", "mouseup", "1"])
        time.sleep(0.3)

    def key(self, name):
        self.geometry()  # the current id
        run(["xdotool", "windowfocus", "--sync", self.wid])
        run(["xdotool", "key", "--window", self.wid, name])


def find_windows(name):
    result = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^%s$" % name],
                            capture_output=True)
    return [Window(w, name) for w in result.stdout.decode().split()]


def wait_for(condition, timeout=30.0, step=0.2):
    end = time.time() + timeout
    while time.time() < end:
        value = condition()
        if value:
            return value
        time.sleep(step)
    return condition()


def wait_for_window(name, count=1, timeout=40.0):
    windows = wait_for(lambda: len(find_windows(name)) >= count and find_windows(name), timeout)
    if not windows:
        raise AssertionError("no window named %r appeared" % name)
    # Give the first paint a moment.
    time.sleep(1.0)
    return windows


class Session:
    """A fresh program folder and the processes started from it."""

    def __init__(self, build_dir, source_dir, wine):
        self.build_dir = os.path.abspath(build_dir)
        self.source_dir = os.path.abspath(source_dir)
        self.wine = wine
        self.folder = tempfile.mkdtemp(prefix="lobby-gui-")
        run(["cmake", "--install", self.build_dir, "--prefix", self.folder])
        self.processes = []

    def path(self, name):
        return os.path.join(self.folder, name)

    def program(self, name):
        return self.path(name + ".exe" if self.wine else name)

    def start(self, name, *args):
        if self.wine:
            env = dict(os.environ, LOBBY_WINE_BUILD_DIR=self.build_dir)
            command = [os.path.join(self.source_dir, "cmake", "wine-run.sh"), self.program(name)]
        else:
            env = dict(os.environ)
            command = [self.program(name)]
        # What each program prints is kept outside the folder, which goes at the end.
        log = tempfile.NamedTemporaryFile(prefix="lobby-gui-%s-" % name, suffix=".log",
                                          delete=False)
        process = subprocess.Popen(command + list(args), cwd="/", env=env, stdout=log,
                                   stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
        process.log_path = log.name
        log.close()
        self.processes.append(process)
        return process

    def report(self):
        """Exit codes and output of the programs, for a failure's message."""
        lines = []
        for process in self.processes:
            lines.append("%s: exit %r" % (" ".join(process.args[-12:]), process.poll()))
            with open(process.log_path, errors="replace") as f:
                lines += ["  " + l.rstrip() for l in f.readlines()[-15:]
                          if "ALSA" not in l and "AL lib" not in l]
        return "\n".join(lines)

    def close(self):
        for process in self.processes:
            if process.poll() is None:
                process.terminate()
                try:
                    process.wait(10)
                except subprocess.TimeoutExpired:
                    process.kill()
        if self.wine:
            # Programs under Wine are children of the wineserver, not of our launcher; only
            # those started from this session's folder go.
            subprocess.run(["pkill", "-f", os.path.basename(self.folder)], capture_output=True)
            time.sleep(0.5)
        shutil.rmtree(self.folder, ignore_errors=True)
        for process in self.processes:
            os.unlink(process.log_path)


def read_record(path):
    if not os.path.exists(path):
        return []
    with open(path, encoding="latin-1") as f:
        return [line.rstrip("\r\n") for line in f]
