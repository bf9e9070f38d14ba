"""The installed launcher (packaging/orvalink.in): the user's own program
folder made on the first start, brought up to date on every start, the
user's files never touched, the program started inside it.

The launcher is configured here against a scratch "installation": a content
folder standing for /usr/share/orvalink and a stand-in program that writes
down where it ran and with which arguments.
"""
import os
import shutil
import subprocess
import tempfile
import unittest

TEMPLATE = os.environ.get("ORVALINK_LAUNCHER_TEMPLATE",
                          os.path.join(os.path.dirname(__file__), "..", "..", "packaging", "orvalink.in"))

CONTENT = {
    "model.dll": b"MZ model",
    "dev_model.dll": b"MZ dev_model",
    "type.ini": b"QM-5100 America\n",
    "gird_RL_2.bmp": b"BM strip",
    "bk/default_.vmcf": b"factory document",
}

STAND_IN = """#!/bin/sh
{ pwd; for a in "$@"; do printf '[%s]\\n' "$a"; done; } > "$ORVALINK_RUN_RECORD"
"""


class Installation:
    """A scratch prefix with the launcher, a stand-in program and content."""

    def __init__(self, root):
        self.root = root
        self.programs = os.path.join(root, "usr lib", "orvalink")
        self.content = os.path.join(root, "usr", "share", "orvalink")
        os.makedirs(self.programs)
        for name, data in CONTENT.items():
            self.put(name, data)
        program = os.path.join(self.programs, "orvalink")
        with open(program, "w") as f:
            f.write(STAND_IN)
        os.chmod(program, 0o755)
        with open(TEMPLATE) as f:
            text = f.read()
        self.launcher = os.path.join(root, "launcher")
        with open(self.launcher, "w") as f:
            f.write(text.replace("@ORVALINK_INSTALLED_PROGRAMS@", self.programs)
                    .replace("@ORVALINK_INSTALLED_CONTENT@", self.content))
        os.chmod(self.launcher, 0o755)

    def put(self, name, data):
        path = os.path.join(self.content, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)

    def drop(self, name):
        os.remove(os.path.join(self.content, name))


class LauncherTest(unittest.TestCase):

    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="orvalink-launcher-")
        self.addCleanup(shutil.rmtree, self.root, True)
        self.install = Installation(self.root)
        self.home = os.path.join(self.root, "home", "a user")
        os.makedirs(self.home)
        self.record = os.path.join(self.root, "run-record")
        self.folder = os.path.join(self.home, ".local", "share", "orvalink")

    def launch(self, *args, env=None, cwd=None):
        environment = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": self.home,
                       "ORVALINK_RUN_RECORD": self.record}
        environment.update(env or {})
        for name in [k for k, v in environment.items() if v is None]:
            del environment[name]
        if os.path.exists(self.record):
            os.remove(self.record)
        return subprocess.run([self.install.launcher] + list(args), env=environment, cwd=cwd or self.root,
                              capture_output=True, text=True, timeout=30)

    def ran(self):
        """The folder the program ran in and its arguments."""
        with open(self.record) as f:
            lines = f.read().splitlines()
        return lines[0], [line[1:-1] for line in lines[1:]]

    def in_folder(self, name):
        return os.path.join(self.folder, name)

    def read(self, name):
        with open(self.in_folder(name), "rb") as f:
            return f.read()

    def write_users(self, name, data):
        path = self.in_folder(name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)


class FirstStart(LauncherTest):

    def test_makes_the_folder_and_starts_the_program_inside_it(self):
        result = self.launch("--screenshot", "a picture.png", "")
        self.assertEqual(result.returncode, 0, result.stderr)
        where, args = self.ran()
        self.assertEqual(where, self.folder)
        self.assertEqual(args, ["--screenshot", "a picture.png", ""])
        for name, data in CONTENT.items():
            self.assertTrue(os.path.islink(self.in_folder(name)), name)
            self.assertEqual(os.readlink(self.in_folder(name)), os.path.join(self.install.content, name))
            self.assertEqual(self.read(name), data)
        for name in ("mcf", "tmod", "Upgrade"):
            self.assertTrue(os.path.isdir(self.in_folder(name)), name)

    def test_xdg_data_home_names_the_place(self):
        data_home = os.path.join(self.root, "data home")
        result = self.launch(env={"XDG_DATA_HOME": data_home})
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(self.ran()[0], os.path.join(data_home, "orvalink"))
        self.assertFalse(os.path.exists(self.folder))

    def test_a_relative_xdg_data_home_is_ignored(self):
        result = self.launch(env={"XDG_DATA_HOME": "relative/place"})
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(self.ran()[0], self.folder)
        self.assertFalse(os.path.exists(os.path.join(self.root, "relative")))

    def test_without_home_it_says_so_and_starts_nothing(self):
        result = self.launch(env={"HOME": None})
        self.assertNotEqual(result.returncode, 0)
        self.assertIn("HOME", result.stderr)
        self.assertFalse(os.path.exists(self.record))

    def test_a_folder_that_cannot_be_made_is_reported(self):
        # A plain file stands where the folder's parent should be.
        os.makedirs(os.path.join(self.home, ".local"))
        with open(os.path.join(self.home, ".local", "share"), "w") as f:
            f.write("in the way")
        result = self.launch()
        self.assertNotEqual(result.returncode, 0)
        self.assertIn("cannot make the program folder", result.stderr)
        self.assertFalse(os.path.exists(self.record))

    def test_help_and_version_go_straight_to_the_program(self):
        for option in ("--help", "--version"):
            result = self.launch(option)
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertEqual(self.ran()[1], [option])
        self.assertFalse(os.path.exists(self.folder), "a folder made for --help or --version")

    def test_an_incomplete_installation_is_reported(self):
        shutil.rmtree(self.install.content)
        result = self.launch()
        self.assertNotEqual(result.returncode, 0)
        self.assertIn("incomplete", result.stderr)
        self.assertFalse(os.path.exists(self.record))


class LaterStarts(LauncherTest):
    """A newer package under a folder the user has worked in."""

    USERS = {
        "mcf/noname.vmcf": b"my document",
        "mcf/bk/default_.vmcf": b"not ours though it shares a name",
        "modelinfo.dat": b"\xc8\x00\xec\x13\xd0\x07\x09\x04",
        "Signal.dat": b"\x00",
        "Upgrade/QM5100_v2.xmcu": b"fetched upgrade",
        "tmod/tv.vmod": b"a device",
    }

    def setUp(self):
        super().setUp()
        self.assertEqual(self.launch().returncode, 0)
        for name, data in self.USERS.items():
            self.write_users(name, data)

    def assertUsersFilesKept(self):
        for name, data in self.USERS.items():
            self.assertFalse(os.path.islink(self.in_folder(name)), name)
            self.assertEqual(self.read(name), data, name)

    def test_new_content_and_changed_content_reach_the_folder(self):
        self.install.put("type.ini", b"QM-5100 America\nQM-5100 Europe\n")
        self.install.put("Upgrade/readme.txt", b"new in this package")
        result = self.launch()
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(self.read("type.ini"), b"QM-5100 America\nQM-5100 Europe\n")
        self.assertTrue(os.path.islink(self.in_folder("Upgrade/readme.txt")))
        self.assertEqual(self.read("Upgrade/readme.txt"), b"new in this package")
        self.assertUsersFilesKept()

    def test_content_the_package_dropped_loses_its_link_only(self):
        self.install.drop("gird_RL_2.bmp")
        result = self.launch()
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertFalse(os.path.lexists(self.in_folder("gird_RL_2.bmp")))
        self.assertTrue(os.path.islink(self.in_folder("model.dll")))
        self.assertUsersFilesKept()

    def test_a_stray_link_of_ours_is_pointed_back(self):
        os.remove(self.in_folder("model.dll"))
        os.symlink(os.path.join(self.install.content, "dev_model.dll"), self.in_folder("model.dll"))
        result = self.launch()
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(os.readlink(self.in_folder("model.dll")), os.path.join(self.install.content, "model.dll"))

    def test_the_users_own_file_or_link_in_place_of_ours_stays(self):
        os.remove(self.in_folder("type.ini"))
        self.write_users("type.ini", b"my own model list\n")
        mine = os.path.join(self.root, "my strip.bmp")
        with open(mine, "wb") as f:
            f.write(b"BM mine")
        os.remove(self.in_folder("gird_RL_2.bmp"))
        os.symlink(mine, self.in_folder("gird_RL_2.bmp"))
        self.install.put("type.ini", b"the package's newer list\n")
        result = self.launch()
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertFalse(os.path.islink(self.in_folder("type.ini")))
        self.assertEqual(self.read("type.ini"), b"my own model list\n")
        self.assertEqual(os.readlink(self.in_folder("gird_RL_2.bmp")), mine)
        self.assertUsersFilesKept()

    def test_a_link_that_cannot_be_made_is_reported_and_the_program_still_starts(self):
        # The user put a file where the package now brings a folder.
        self.write_users("help", b"my notes")
        self.install.put("help/index.txt", b"the package's help")
        result = self.launch()
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("cannot link", result.stderr)
        self.assertEqual(self.read("help"), b"my notes")
        self.assertEqual(self.ran()[0], self.folder)

    def test_starting_from_anywhere_runs_in_the_folder(self):
        elsewhere = os.path.join(self.root, "elsewhere")
        os.makedirs(elsewhere)
        result = self.launch(cwd=elsewhere)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(self.ran()[0], self.folder)
        self.assertEqual(os.listdir(elsewhere), [])


if __name__ == "__main__":
    unittest.main(verbosity=2)
