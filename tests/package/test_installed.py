"""The installed package as a new user meets it: /usr/bin/orvalink started
with a fresh HOME from somewhere else, driven through the user-path driver
(tests/user/userpath.py) on its own X server.

Run by scripts/package-check.sh after the package is installed:

    PYTHONPATH=tests/package tests/user/run-session.sh /usr/share/orvalink "" \
        /usr/bin/orvalink-cli test_installed
"""
import os
import shutil
import signal
import struct
import subprocess
import tempfile

import userpath
from userpath import UserPathCase, sensitive, wait_for

LAUNCHER = os.environ.get("ORVALINK_LAUNCHER", "/usr/bin/orvalink")
CONTENT = os.environ.get("ORVALINK_INSTALLED_CONTENT", "/usr/share/orvalink")
CLI = userpath.CLI or "/usr/bin/orvalink-cli"


class InstalledProgram(userpath.Program):
    """One run of the installed launcher for a user whose HOME is new."""

    def __init__(self, home, env_changes=None):
        self.home = home
        data_home = (env_changes or {}).get("XDG_DATA_HOME") or os.path.join(home, ".local", "share")
        self.folder = os.path.join(data_home, "orvalink")
        env = dict(os.environ)
        env.pop("QT_QPA_PLATFORM", None)
        env.pop("XDG_DATA_HOME", None)
        env["HOME"] = home
        env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
        env.update(env_changes or {})
        self.log_path = os.path.join(home, "orvalink.log")
        self.log = open(self.log_path, "ab")
        # Started from a folder that is not the program folder, as a menu does.
        self.process = subprocess.Popen([LAUNCHER], cwd="/", env=env, stdout=self.log, stderr=subprocess.STDOUT,
                                        start_new_session=True)

    def log_text(self):
        with open(self.log_path, "rb") as f:
            return f.read().decode("utf-8", "replace")


class InstalledCase(UserPathCase):

    def setUp(self):
        self.home = tempfile.mkdtemp(prefix="orvalink-home-")
        self.addCleanup(shutil.rmtree, self.home, True)

    def start_installed(self, env_changes=None):
        self.program = InstalledProgram(self.home, env_changes)
        self.addCleanup(self._stop_installed)
        wait_for("the installed program on the accessibility bus", self.program.app)
        return self.program

    def _stop_installed(self):
        if self._outcome_failed():
            self.program.shot("failed-" + self.id().split(".")[-1])
            print("---- program output ----\n" + self.program.log_text())
        self.program.stop()

    def content_names(self):
        names = []
        for top, _, files in os.walk(CONTENT):
            names += [os.path.relpath(os.path.join(top, f), CONTENT) for f in files]
        return sorted(names)


class FirstStart(InstalledCase):

    def test_a_new_user_gets_the_picker_then_the_start_dialog(self):
        p = self.start_installed()
        self.assertEqual(p.process.pid, p.app().get_process_id(), "the launcher did not hand over to the program")
        picker = p.window("Model Select")
        ok = p.find("OK", ["push button"], picker)
        p.click(p.wait("QM-5100", ["list item"], picker))
        wait_for("OK to become usable", lambda: sensitive(ok))
        p.click(ok)
        dialog = self.start_dialog(p)
        self.assertEqual(dialog.name, "Welcome to Orvalink !")

        # The user's program folder, made on this start.
        names = self.content_names()
        self.assertIn("bk/default_.vmcf", names)
        for name in names:
            path = os.path.join(p.folder, name)
            self.assertTrue(os.path.islink(path), name)
            self.assertEqual(os.readlink(path), os.path.join(CONTENT, name))
        for name in ("mcf", "tmod", "Upgrade"):
            self.assertTrue(os.path.isdir(os.path.join(p.folder, name)), name)
        # The program writes its own files there.
        with open(os.path.join(p.folder, "modelinfo.dat"), "rb") as f:
            self.assertEqual(struct.unpack("<4H", f.read(8))[1:3], (5100, 2000))
        self.assertTrue(os.path.isfile(os.path.join(p.folder, "Signal.dat")))

        p.click(p.find("Cancel", ["push button"], dialog))
        self.assertTrue(p.ended(), "the program went on after Cancel in the start dialog")


class WorkingInTheFolder(InstalledCase):

    def test_new_default_and_save_land_in_the_users_folder(self):
        data_home = os.path.join(self.home, "data home")
        folder = os.path.join(data_home, "orvalink")
        os.makedirs(folder)
        # A remembered QM-5100: no picker.
        with open(os.path.join(folder, "t5minfo.dat"), "wb") as f:
            f.write(struct.pack("<4H", 200, 5100, 2000, 1033))
        p = self.start_installed({"XDG_DATA_HOME": data_home})
        dialog = self.start_dialog(p)
        p.click(p.find("Yes", ["push button"], dialog))
        wait_for("the main window's menus", lambda: self.menu_bar_usable(p))
        self.assertIsNotNone(p.wait("TV", ["table cell", "tree item"], self.main_window(p)))

        # Save asks where the new document goes; it becomes the user's own file.
        main = self.main_window(p)
        p.click(p.find("File", ["menu item"], p.find(None, ["menu bar"], main)))
        p.click(p.wait("Save", ["menu item"]))
        files = wait_for("the save dialog", lambda: next((w for w in p.windows() if w.name != main.name), None))
        p.wait("File name:", ["label"], files)
        saved = os.path.join(folder, "mcf", "mine.vmcf")
        p.key("ctrl+a")
        p.type(saved)
        p.key("Return")
        wait_for("the saved document", lambda: os.path.isfile(saved) and not os.path.islink(saved))
        info = subprocess.run([CLI, "info", saved], capture_output=True, text=True, timeout=30)
        self.assertEqual(info.returncode, 0, info.stderr)
        self.assertIn("model: 2000", info.stdout)
        self.assertTrue(os.path.isfile(os.path.join(folder, "t5minfo.dat")))
        p.click(p.find("File", ["menu item"], p.find(None, ["menu bar"], main)))
        p.click(p.wait("Exit", ["menu item"]))
        self.assertTrue(p.ended(), "the program went on after Exit")
