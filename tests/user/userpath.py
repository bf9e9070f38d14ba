"""Driving the real orvalink program as a person does.

The program runs in a scratch copy of the staged program folder, started
with no test options. Input goes through the X server as real pointer and
key events (xdotool); what the windows show is read through the
accessibility bus (AT-SPI), the way a screen reader reads it.
"""
import os
import shutil
import signal
import struct
import subprocess
import tempfile
import time
import unittest

import pyatspi

PROGRAM_DIR = os.environ["ORVALINK_PROGRAM_DIR"]
REMOTE_SIM = os.environ.get("ORVALINK_REMOTE_SIM", "")
CLI = os.environ.get("ORVALINK_CLI", "")
SHOTS = os.environ.get("ORVALINK_USER_SHOTS", "")

WAIT = 30.0  # seconds: how long a window may take to show what we wait for (on a busy machine)
PAINT_WAIT = 5.0  # seconds: a window still blank after this looks broken to a person


class Timeout(AssertionError):
    pass


def wait_for(what, check, timeout=WAIT, interval=0.1):
    """Polls `check` until it gives something true; fails naming `what`."""
    end = time.monotonic() + timeout
    last_error = None
    while True:
        try:
            value = check()
            if value:
                return value
        except Exception as e:  # the window may be changing under us
            last_error = e
        if time.monotonic() > end:
            raise Timeout("timed out waiting for %s%s" % (what, " (%s)" % last_error if last_error else ""))
        time.sleep(interval)


def xdotool(*args):
    subprocess.run(["xdotool"] + [str(a) for a in args], check=True)


# ---------------------------------------------------------------- pictures

def x_windows(pid):
    """The X ids of the mapped top-level windows of process `pid`."""
    out = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(pid)],
                         capture_output=True, text=True, check=False)
    return out.stdout.split()


def x_window_name(wid):
    out = subprocess.run(["xdotool", "getwindowname", wid], capture_output=True, text=True, check=False)
    return out.stdout.strip()


def window_pixels(wid):
    """The window's picture as the X server hands it out for its own id, as
    RGB bytes; None when the window has gone meanwhile."""
    out = subprocess.run(["import", "-window", wid, "-depth", "8", "rgb:-"],
                         capture_output=True, check=False)
    return out.stdout if out.returncode == 0 and out.stdout else None


def single_colour(pixels):
    return pixels[:3] * (len(pixels) // 3) == pixels


# ---------------------------------------------------------------- accessibility

def _walk(node, depth=0, limit=25):
    if node is None or depth > limit:
        return
    yield node
    try:
        count = node.childCount
    except Exception:
        return
    for i in range(count):
        try:
            child = node.getChildAtIndex(i)
        except Exception:
            continue
        yield from _walk(child, depth + 1, limit)


def role(node):
    return node.getRoleName()


def states(node):
    return node.getState()


def showing(node):
    s = states(node)
    return s.contains(pyatspi.STATE_SHOWING) and s.contains(pyatspi.STATE_VISIBLE)


def sensitive(node):
    s = states(node)
    return s.contains(pyatspi.STATE_SENSITIVE) and s.contains(pyatspi.STATE_ENABLED)


def checked(node):
    return states(node).contains(pyatspi.STATE_CHECKED)


def extents(node):
    return node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)


def text_of(node):
    t = node.queryText()
    return t.getText(0, t.characterCount)


class Program:
    """One run of orvalink in a scratch program folder."""

    def __init__(self, remembered_model=True, extra_env=None, folder=None):
        self.folder = folder or tempfile.mkdtemp(prefix="orvalink-user-")
        if folder is None:
            shutil.copytree(PROGRAM_DIR, self.folder, dirs_exist_ok=True, symlinks=True)
        if remembered_model:
            # Start mode 200: the picker stays hidden; the QM-5100, family 2000.
            with open(os.path.join(self.folder, "t5minfo.dat"), "wb") as f:
                f.write(struct.pack("<4H", 200, 5100, 2000, 1033))
        env = dict(os.environ)
        env.pop("QT_QPA_PLATFORM", None)
        env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
        # The single-instance socket lies in the temporary folder: one of its
        # own, so that no other orvalink on this machine counts as a first
        # instance (runs in the same folder share it).
        env["TMPDIR"] = os.path.join(self.folder, "tmp")
        os.makedirs(env["TMPDIR"], exist_ok=True)
        env.update(extra_env or {})
        self.log = open(os.path.join(self.folder, "orvalink.log"), "ab")
        self.process = subprocess.Popen([os.path.join(self.folder, "orvalink")], cwd=self.folder, env=env,
                                        stdout=self.log, stderr=subprocess.STDOUT, start_new_session=True)

    # The program as the accessibility bus shows it.
    def app(self):
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            a = desktop.getChildAtIndex(i)
            try:
                if a is not None and a.get_process_id() == self.process.pid:
                    return a
            except Exception:
                continue
        return None

    def find_all(self, name=None, roles=None, within=None, only_showing=True):
        root = within if within is not None else self.app()
        found = []
        for node in _walk(root):
            try:
                if name is not None and node.name != name:
                    continue
                if roles is not None and role(node) not in roles:
                    continue
                if only_showing and node is not root and not showing(node):
                    continue
                found.append(node)
            except Exception:
                continue
        return found

    def find(self, name=None, roles=None, within=None, only_showing=True):
        nodes = self.find_all(name, roles, within, only_showing)
        return nodes[0] if nodes else None

    def wait(self, name, roles=None, within=None, timeout=WAIT):
        return wait_for("%s %r" % ("/".join(roles) if roles else "control", name),
                        lambda: self.find(name, roles, within), timeout)

    def window(self, caption, timeout=WAIT):
        found = self.wait(caption, WINDOW_ROLES, timeout=timeout)
        self.check_painted()
        return found

    def blank_windows(self):
        """Names of the program's mapped windows whose picture is one colour:
        never painted, or left up for good under another of its windows."""
        blank = []
        for wid in x_windows(self.process.pid):
            pixels = window_pixels(wid)
            if pixels is not None and single_colour(pixels):
                blank.append("%s %r" % (wid, x_window_name(wid)))
        return blank

    def check_painted(self):
        """Every window of the program on the screen, taken by its own id,
        shows a picture: none stays a single colour."""
        last = []

        def painted():
            last[:] = self.blank_windows()
            return not last
        try:
            wait_for("the program's windows to be painted", painted, timeout=PAINT_WAIT, interval=0.3)
        except Timeout:
            self.shot("blank-window")
            raise AssertionError("blank windows on the screen: %s" % ", ".join(last))

    def windows(self):
        app = self.app()
        out = []
        if app is None:
            return out
        for i in range(app.childCount):
            w = app.getChildAtIndex(i)
            try:
                if w is not None and showing(w):
                    out.append(w)
            except Exception:
                pass
        return out

    def captions(self):
        return [w.name for w in self.windows()]

    # Real input.
    def click(self, node, button=1):
        x, y, w, h = extents(node)
        assert w > 0 and h > 0, "no area to click on %r" % node.name
        xdotool("mousemove", "--sync", x + w // 2, y + h // 2)
        time.sleep(0.05)
        xdotool("click", button)
        time.sleep(0.15)

    def key(self, *keys):
        for k in keys:
            xdotool("key", "--clearmodifiers", k)
            time.sleep(0.1)

    def type(self, text):
        xdotool("type", "--delay", 20, text)

    def shot(self, name):
        if SHOTS:
            os.makedirs(SHOTS, exist_ok=True)
            subprocess.run(["import", "-window", "root", os.path.join(SHOTS, name + ".png")], check=False)

    def ended(self, timeout=WAIT):
        try:
            self.process.wait(timeout)
            return True
        except subprocess.TimeoutExpired:
            return False

    def stop(self):
        if self.process.poll() is None:
            os.killpg(self.process.pid, signal.SIGTERM)
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                os.killpg(self.process.pid, signal.SIGKILL)
                self.process.wait(5)
        self.log.close()

    def log_text(self):
        with open(os.path.join(self.folder, "orvalink.log"), "rb") as f:
            return f.read().decode("utf-8", "replace")


WINDOW_ROLES = ("frame", "dialog", "filler", "window", "alert")


class RemoteSim:
    """The virtual remote on a pseudo-terminal."""

    def __init__(self, flash_file, *options):
        self.process = subprocess.Popen([REMOTE_SIM, "--flash", flash_file] + list(options),
                                        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, start_new_session=True)
        self.pty = self.process.stdout.readline().decode().strip()
        assert self.pty.startswith("/dev/"), "the virtual remote named no terminal"

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait(5)


class UserPathCase(unittest.TestCase):
    """A test with one program run, stopped whatever happens."""

    remembered_model = True
    extra_env = None

    def start_program(self, **kw):
        self.program = Program(remembered_model=kw.get("remembered_model", self.remembered_model),
                               extra_env=kw.get("extra_env", self.extra_env))
        self.addCleanup(self._stop)
        wait_for("the program on the accessibility bus", self.program.app)
        return self.program

    def _stop(self):
        if self._outcome_failed():
            self.program.shot("failed-" + self.id().split(".")[-1])
            print("---- program output ----\n" + self.program.log_text())
        self.program.stop()
        shutil.rmtree(self.program.folder, ignore_errors=True)

    def _outcome_failed(self):
        outcome = getattr(self, "_outcome", None)
        if outcome is None:
            return False
        result = getattr(outcome, "result", None)
        if result is None:
            return False
        return any(t is self for t, _ in result.failures + result.errors)

    def start_dialog(self, p):
        dialog = p.window("Welcome to Orvalink !")
        wait_for("the start dialog's Yes to be usable", lambda: sensitive(p.find("Yes", ["push button"], dialog)))
        return dialog

    def main_window(self, p):
        return p.window("Orvalink ")

    def focus_main(self, p):
        """Clicks the main window's status bar, as a user clicks a window
        before typing into it, and waits until the window is the active one:
        keys go to the active window, and after a dialog closes the window
        manager may leave none active."""
        main = self.main_window(p)
        p.click(p.find(None, ["status bar"], main))
        wait_for("the main window to be active", lambda: states(main).contains(pyatspi.STATE_ACTIVE))
        return main

    def menu_bar_usable(self, p):
        bar = p.find(None, ["menu bar"], self.main_window(p))
        return bar is not None and sensitive(bar)

    @staticmethod
    def showing_message(p, text):
        """The window that shows the message `text`, or None."""
        for w in p.windows():
            for label in p.find_all(None, ["label"], w):
                if label.name.strip() == text.strip():
                    return w
        return None

    def message_box(self, p, text):
        box = wait_for("the message %r" % text, lambda: self.showing_message(p, text))
        p.check_painted()
        return box

    def answer_message(self, p, text, button="OK"):
        """Waits for a message box showing `text` and presses `button` in it."""
        w = self.message_box(p, text)
        p.click(p.find(button, ["push button"], w))
        wait_for("the message %r to close" % text, lambda: self.showing_message(p, text) is None)
