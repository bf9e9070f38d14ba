"""The user guide's pictures, taken from the real program as a person uses it.

Run by scripts/guide-pictures.sh inside the user-path suite's desktop (Xvfb,
openbox, the accessibility bus): the program starts with no test options in a
scratch copy of the staged program folder, is driven by pointer and key
events (xdotool) and read through AT-SPI (tests/user/userpath.py). Each
picture is cut from the screen around the windows it shows, frames included,
and saved into ORVALINK_GUIDE_PICTURES.

It is written as a unittest case so a window that does not come is a clear
failure naming it.
"""
import os
import shutil
import subprocess
import tempfile
import time
import unittest

import userpath
from userpath import RemoteSim, UserPathCase, extents, sensitive, wait_for

OUT = os.environ["ORVALINK_GUIDE_PICTURES"]
SCREEN = (1280, 900)
# The program folder, where an installed Orvalink keeps it for a user, below
# a scratch folder: its path shows in some messages.
FOLDER = os.path.join(tempfile.gettempdir(), "home", "you", ".local", "share", "orvalink")


class GuideProgram(userpath.Program):
    """orvalink in a fresh copy of the staged program folder at FOLDER."""

    def __init__(self, extra_env):
        self.folder = FOLDER
        shutil.rmtree(FOLDER, ignore_errors=True)
        shutil.copytree(userpath.PROGRAM_DIR, FOLDER, symlinks=True)
        env = dict(os.environ)
        env.pop("QT_QPA_PLATFORM", None)
        env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
        env.update(extra_env)
        self.log = open(os.path.join(FOLDER, "orvalink.log"), "wb")
        self.process = subprocess.Popen([os.path.join(FOLDER, "orvalink")], cwd=FOLDER, env=env, stdout=self.log,
                                        stderr=subprocess.STDOUT, start_new_session=True)


def x_windows(pid):
    """The program's windows on screen as the X server knows them: the
    client rectangle (x0, y0, x1, y1), the window manager's frame around it
    (left, right, top, bottom) and whether it is a pop-up (override-redirect,
    like the tree's pop-up menu, which is not on the accessibility bus)."""
    found = []
    ids = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(pid)], capture_output=True,
                         text=True).stdout.split()
    for window in ids:
        info = subprocess.run(["xwininfo", "-id", window], capture_output=True, text=True).stdout
        fields = dict(line.strip().split(":", 1) for line in info.splitlines() if ":" in line)
        x = int(fields["Absolute upper-left X"])
        y = int(fields["Absolute upper-left Y"])
        frame = [0, 0, 0, 0]
        line = subprocess.run(["xprop", "-id", window, "_NET_FRAME_EXTENTS"], capture_output=True,
                              text=True).stdout
        if "=" in line:
            frame = [int(v) for v in line.split("=")[1].split(",")]
        found.append({"client": (x, y, x + int(fields["Width"]), y + int(fields["Height"])), "frame": frame,
                      "popup": fields.get("Override Redirect State", "").strip() == "yes"})
    return found


def popups(pid):
    return [w["client"] for w in x_windows(pid) if w["popup"]]


def save_picture(name, pid, framed=(), bare=()):
    """Saves the screen around the `framed` windows (accessibility nodes,
    taken with their frames) and the `bare` rectangles (pop-up menus) as
    OUT/name.png."""
    # The pointer rests in the corner, so no button shows as hovered.
    subprocess.run(["xdotool", "mousemove", str(SCREEN[0] - 1), str(SCREEN[1] - 1)], check=True)
    time.sleep(0.6)
    windows = x_windows(pid)
    boxes = list(bare)
    for node in framed:
        x, y, w, h = extents(node)
        window = next((xw for xw in windows if all(abs(a - b) <= 2 for a, b in zip(xw["client"], (x, y, x + w, y + h)))),
                      None)
        assert window is not None, "no X window for %r at %s" % (node.name, (x, y, w, h))
        left, right, top, bottom = window["frame"]
        x0, y0, x1, y1 = window["client"]
        boxes.append((x0 - left, y0 - top, x1 + right, y1 + bottom))
    x0 = max(0, min(b[0] for b in boxes))
    y0 = max(0, min(b[1] for b in boxes))
    x1 = min(SCREEN[0], max(b[2] for b in boxes))
    y1 = min(SCREEN[1], max(b[3] for b in boxes))
    os.makedirs(OUT, exist_ok=True)
    path = os.path.join(OUT, name + ".png")
    subprocess.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (x1 - x0, y1 - y0, x0, y0), "+repage",
                    "-strip", path], check=True)
    print("picture:", path)


class GuidePictures(UserPathCase):

    def start_program(self, extra_env):
        self.program = GuideProgram(extra_env)
        self.addCleanup(self._stop)
        wait_for("the program on the accessibility bus", self.program.app)
        return self.program

    def factory_main_window(self):
        """The program started for a new user: the QM-5100 picked, the
        factory configuration loaded from the start dialog."""
        p = self.start_program(extra_env={})
        picker = p.window("Model Select")
        p.click(p.wait("QM-5100", ["list item"], picker))
        ok = p.find("OK", ["push button"], picker)
        wait_for("OK to become usable", lambda: sensitive(ok))
        p.click(ok)
        dialog = self.start_dialog(p)
        p.click(p.find("Yes", ["push button"], dialog))
        wait_for("the main window's menus", lambda: self.menu_bar_usable(p))
        return p, self.main_window(p)

    def remote(self):
        folder = tempfile.mkdtemp(prefix="orvalink-guide-remote-")
        # At the wire's own pace, so the gauge can be seen on its way.
        sim = RemoteSim(os.path.join(folder, "flash.bin"), "--wire")
        self.addCleanup(sim.stop)
        return sim

    def transfer(self, p, main, button, name):
        """Starts a transfer with the main window's `button`, pictures it on
        its way and at its end."""
        p.click(button)
        if name == "download":
            question = wait_for("the save question", lambda: next(
                (w for w in p.windows() if w.name == "My Orvalink Program!"), None))
            save_picture("download-question", p.process.pid, framed=[main, question])
            p.click(p.find("No", ["push button"], question))
        status = p.window("Transmission Status")
        gauge = p.find("Progress", ["progress bar"], status)
        value = gauge.queryValue()
        wait_for("the gauge to be on its way", lambda: value.currentValue > 0.4 * value.maximumValue, timeout=90)
        save_picture(name, p.process.pid, framed=[main, status])
        ok = p.find("OK", ["push button"], status)
        wait_for("every block", lambda: sensitive(ok), timeout=120)
        p.click(ok)
        # "Verify after upload" is on: the upload's message says it was read back.
        text = ("Download Flash Data Ok !" if name == "download"
                else "Upload Flash Data Ok !\nUpload verified: 1013 blocks as sent.")
        box = self.message_box(p, text)
        save_picture(name + "-done", p.process.pid, framed=[main, box])
        p.click(p.find("OK", ["push button"], box))
        wait_for("the message to close", lambda: sensitive(p.find(None, ["menu bar"], main)))

    def test_a_first_session(self):
        sim = self.remote()
        p = self.start_program(extra_env={"ORVALINK_LINK_PORT": sim.pty + "=COM3"})

        # The model picker of a first start.
        picker = p.window("Model Select")
        p.click(p.wait("QM-5100", ["list item"], picker))
        ok = p.find("OK", ["push button"], picker)
        wait_for("OK to become usable", lambda: sensitive(ok))
        save_picture("model-picker", p.process.pid, framed=[picker])
        p.click(ok)

        # The start dialog over the main window.
        dialog = self.start_dialog(p)
        main = self.main_window(p)
        save_picture("start-dialog", p.process.pid, framed=[main, dialog])
        p.click(p.find("Yes", ["push button"], dialog))
        wait_for("the start dialog to close", lambda: p.find("Welcome to Orvalink !") is None)
        wait_for("the main window's menus", lambda: self.menu_bar_usable(p))

        # The main window with the factory configuration's devices.
        tv = p.wait("TV", ["table cell", "tree item"], main)
        save_picture("main-window", p.process.pid, framed=[main])

        # A device open in its layout editor, then closed again.
        p.click(tv)
        lcd = p.wait("Soft keys", None, main)
        wait_for("the editor's keys", lambda: len(p.find_all(None, None, lcd)) > 10)
        save_picture("device-editor", p.process.pid, framed=[main])
        lx, ly, lw, lh = extents(lcd)
        cancel = next(b for b in p.find_all("Cancel", ["push button"], main) if extents(b)[1] > ly + lh)
        p.click(cancel)
        wait_for("the editor to close", lambda: p.find("Soft keys", None, main) is None)

        # The remote's settings.
        p.click(p.find("Edit", ["menu item"], p.find(None, ["menu bar"], main)))
        p.click(p.wait("Edit Remote config", ["menu item"]))
        settings = p.window("Remote Config")
        save_picture("remote-settings", p.process.pid, framed=[main, settings])
        p.click(p.find("Cancel", ["push button"], settings))
        wait_for("the settings dialog to close", lambda: p.find("Remote Config") is None)

        # A device's pop-up menu (the tree's nodes are made anew meanwhile).
        tv = p.wait("TV", ["table cell", "tree item"], main)
        p.click(tv, button=3)
        menu = wait_for("the device's pop-up menu", lambda: popups(p.process.pid))
        save_picture("device-menu", p.process.pid, framed=[main], bare=menu)
        p.key("Escape")
        wait_for("the pop-up menu to close", lambda: not popups(p.process.pid))

        # Upload to the (virtual) remote, then download it back.
        self.transfer(p, main, p.find("Upload data to remote control", ["push button"], main), "upload")
        self.transfer(p, main, p.find("Download data from remote control", ["push button"], main), "download")

        # The About box.
        p.click(p.find("Help", ["menu item"], p.find(None, ["menu bar"], main)))
        p.click(p.wait("About Orvalink", ["menu item"]))
        about = wait_for("the About box", lambda: next(
            (w for w in p.windows() if w.getRoleName() == "dialog"), None))
        p.wait("Copyright (C) Tavero. All rights reserved.", ["label"], about)
        save_picture("about", p.process.pid, framed=[about])
        p.key("Escape")

    def test_comparing_two_configurations(self):
        p, main = self.factory_main_window()

        # A backup that differs from the factory configuration: a key moved
        # and one relabelled on the TV, the contrast set higher.
        backup = os.path.join(FOLDER, "mcf", "backup.vmcf")
        changed_copy(os.path.join(FOLDER, "bk", "default_.vmcf"), backup)
        p.click(p.find("File", ["menu item"], p.find(None, ["menu bar"], main)))
        p.click(p.wait("Compare with\u2026", ["menu item"]))
        wait_for("the open dialog", lambda: next((w for w in p.windows() if w.name != "Orvalink "), None))
        time.sleep(0.3)
        p.type(backup)
        p.key("Return")
        compare = p.window("Compare with backup.vmcf")
        p.wait("Differences", ["tree", "tree table"], compare)
        save_picture("compare", p.process.pid, framed=[main, compare])
        p.click(p.find("Close", ["push button"], compare))

    def test_make_code(self):
        """Button Properties' "Make code…" with NEC device 4, function 8."""
        import test_key_codes
        p, main = self.factory_main_window()
        p.click(p.wait("TV", ["table cell", "tree item"], main))
        lcd = p.wait("Soft keys", None, main)
        editor = test_key_codes.KeyCodes.open_key_6(self, p, lcd)
        p.click(p.find("Make code\u2026", ["push button"], editor))
        make = p.window("Make code")
        for name, value in (("Device", 4), ("Function", 8)):
            p.click(p.find(name, ["spin button"], make))
            p.key("ctrl+a")
            p.type(str(value))
        wait_for("the code read back", lambda: next(
            (l for l in p.find_all(None, ["label"], make) if l.name.startswith("Decoded: NEC 4 / 8")), None))
        save_picture("make-code", p.process.pid, framed=[editor, make])
        p.click(p.find("Cancel", ["push button"], make))

    def test_link_trace(self):
        """Tools "Record link trace…" checked, its menu open."""
        p, main = self.factory_main_window()
        item = "Record link trace\u2026"
        p.click(p.find("Tools", ["menu item"], p.find(None, ["menu bar"], main)))
        p.click(p.wait(item, ["menu item", "check menu item"]))
        wait_for("the save dialog", lambda: next((w for w in p.windows() if w.name != "Orvalink "), None))
        time.sleep(0.3)
        p.key("ctrl+a")
        p.type(os.path.join(FOLDER, "link.trace"))
        p.key("Return")
        wait_for("the save dialog to close", lambda: all(w.name == "Orvalink " for w in p.windows()))
        p.click(p.find("Tools", ["menu item"], p.find(None, ["menu bar"], main)))
        p.wait(item, ["menu item", "check menu item"])
        menu = wait_for("the Tools menu", lambda: popups(p.process.pid))
        save_picture("link-trace-menu", p.process.pid, framed=[main], bare=menu)
        p.key("Escape")

    def key_pictures(self, p, lcd):
        import test_key_codes
        return test_key_codes.KeyCodes.key_pictures(self, p, lcd)


def changed_copy(document, out):
    """`document` with the TV's key 15 one cell to the right, its key 16
    named "Menu" and the contrast at 34, through the command line's extract
    and pack."""
    raw = out + ".bin"
    subprocess.run([userpath.CLI, "extract", document, raw], check=True, capture_output=True)
    with open(raw, "rb") as f:
        image = bytearray(f.read())
    devices, store, settings = 150 * 264, 245 * 264, 103 * 264
    for key, change in ((15, "move"), (16, "label")):
        record = image[devices + 264 + 4 * key] | image[devices + 264 + 4 * key + 1] << 8
        at = store + 8 * record
        if change == "move":
            image[at + 4] += 0x10
        else:
            image[at + 8:at + 13] = b"Menu\0"
    image[settings + 38] = 34
    with open(raw, "wb") as f:
        f.write(image)
    subprocess.run([userpath.CLI, "pack", raw, out, "--kind", "100", "--model", "2000", "--version", "1.05"],
                   check=True, capture_output=True)
    os.remove(raw)


if __name__ == "__main__":
    unittest.main()


class ImportCodesPicture(UserPathCase):
    """The import table of "Import codes…", opened from the device tree's
    menu with a Flipper file of another TV's codes."""

    start_program = GuidePictures.start_program

    def test_the_import_table(self):
        from test_device_import import open_import_table
        folder = tempfile.mkdtemp(prefix="orvalink-guide-import-")
        path = os.path.join(folder, "living-room-tv.ir")
        signals = [("Power", 0x08), ("Vol_up", 0x02), ("Vol_dn", 0x03), ("Ch_next", 0x00), ("Ch_prev", 0x01),
                   ("Mute", 0x0D), ("KEY_1", 0x11), ("KEY_2", 0x12), ("Menu", 0x43), ("Netflix", 0x28)]
        with open(path, "w") as f:
            f.write("Filetype: IR signals file\nVersion: 1\n")
            for name, command in signals:
                f.write("#\nname: %s\ntype: parsed\nprotocol: NEC\naddress: 04 00 00 00\n"
                        "command: %02X 00 00 00\n" % (name, command))
        p = self.start_program({})
        picker = p.window("Model Select")
        p.click(p.wait("QM-5100", ["list item"], picker))
        ok = p.find("OK", ["push button"], picker)
        wait_for("OK to become usable", lambda: sensitive(ok))
        p.click(ok)
        dialog = self.start_dialog(p)
        p.click(p.find("Yes", ["push button"], dialog))
        wait_for("the main window's menus", lambda: self.menu_bar_usable(p))
        table = open_import_table(self, p, "TV", path)
        p.wait("Netflix", ["list item"], table)
        save_picture("import-codes", p.process.pid, framed=[table])
        p.click(p.find("Cancel", ["push button"], table))
