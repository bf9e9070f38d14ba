"""A key's IR code as a person handles it in Button Properties: learned from
another remote through the QM-5100 (the virtual remote hands it an NEC
code made from Pronto Hex) or loaded from a learned code file through the
open dialog, shot to try it, kept after OK."""
import os
import subprocess
import tempfile
import time

import pyatspi

from userpath import CLI, RemoteSim, UserPathCase, extents, sensitive, showing, states, wait_for, xdotool


class KeyCodes(UserPathCase):

    @staticmethod
    def nec_pronto(address, command):
        """An NEC code as Pronto Hex, the way codes are passed around."""
        words = [0x0000, 0x006D, 34, 0x0000, 0x0156, 0x00AB]
        for byte in (address, address ^ 0xFF, command, command ^ 0xFF):
            for bit in range(8):
                words += [0x0015, 0x0040 if byte >> bit & 1 else 0x0015]
        words += [0x0015, 0x05F7]
        return " ".join("%04X" % w for w in words)

    def remote(self, commands=(0x08,)):
        folder = tempfile.mkdtemp(prefix="orvalink-remote-")
        self.ir_log = os.path.join(folder, "ir.log")
        # The other remote's keys: NEC codes, not ones the TV template holds,
        # handed in turn, one each time the remote learns.
        learn = os.path.join(folder, "other-remote")
        os.makedirs(learn)
        for i, command in enumerate(commands):
            made = subprocess.run([CLI, "codes", "--from-pronto", "-", os.path.join(learn, "%02d.sbin" % i)],
                                  input=self.nec_pronto(0x04, command), capture_output=True, text=True)
            self.assertEqual(made.returncode, 0, made.stderr)
        sim = RemoteSim(os.path.join(folder, "flash.bin"), "--ir-log", self.ir_log, "--learn", learn)
        self.addCleanup(sim.stop)
        return sim

    def log_lines(self):
        if not os.path.exists(self.ir_log):
            return []
        with open(self.ir_log) as f:
            return [line.split() for line in f.read().splitlines() if line]

    def open_key_6(self, p, lcd, page="Code"):
        keys = wait_for("the first page's keys",
                        lambda: (lambda k: k if any(n.startswith("Key 6") for n in k) else None)(self.key_pictures(p, lcd)))
        x, y, w, h = next(e for n, e in keys.items() if n.split()[:2] == ["Key", "6"])
        xdotool("mousemove", "--sync", x + w // 2, y + h // 2)
        xdotool("click", 3)
        time.sleep(0.3)
        p.key("Down", "Return")  # Properties
        editor = p.window("Button Properties")
        if page:
            p.click(p.wait(page, ["page tab"], editor))
        if page == "Code":
            p.wait("Learn IR code mode", ["push button"], editor)
        return editor

    def key_pictures(self, p, lcd):
        return {n.name: tuple(extents(n)) for n in p.find_all(None, None, lcd)
                if n is not lcd and n.name.startswith("Key ")}

    def shoot(self, p, editor):
        """Holds Shoot down a moment, as a person tries a code, and returns
        the code the remote received."""
        before = len(self.log_lines())
        x, y, w, h = extents(p.find("Shoot IR code", ["push button"], editor))
        xdotool("mousemove", "--sync", x + w // 2, y + h // 2)
        xdotool("mousedown", 1)
        time.sleep(0.6)
        xdotool("mouseup", 1)
        lines = wait_for("the remote to fire and release the code",
                         lambda: (lambda new: new if [l[0] for l in new][-1:] == ["released"] else None)(
                             self.log_lines()[before:]))
        events = [l[0] for l in lines]
        self.assertEqual(events[0], "received", events)
        self.assertIn("fired", events)
        return lines[0][1]

    def open_tv(self, commands=(0x08,)):
        sim = self.remote(commands)
        p = self.start_program(extra_env={"ORVALINK_LINK_PORT": sim.pty + "=COM3"})
        dialog = self.start_dialog(p)
        p.click(p.find("Yes", ["push button"], dialog))
        wait_for("the main window's menus", lambda: self.menu_bar_usable(p))
        main = self.main_window(p)
        p.click(p.wait("TV", ["table cell", "tree item"], main))
        return p, p.wait("Soft keys", None, main)

    def learned_count(self):
        return [l[0] for l in self.log_lines()].count("learned")

    def test_a_learned_code_is_shot_and_kept(self):
        p, lcd = self.open_tv()

        editor = self.open_key_6(p, lcd)
        factory = self.shoot(p, editor)

        p.click(p.find("Learn IR code mode", ["push button"], editor))
        leave = p.find("Leave learning mode", ["push button"], editor)
        wait_for("learning mode", lambda: sensitive(leave))
        # While it learns, the other pages and the code buttons rest; OK
        # stays usable, and ends learning first.
        self.assertFalse(sensitive(p.find("Shoot IR code", ["push button"], editor)))
        # A click on another page's tab does not leave the code page.
        p.click(p.find("Label", ["page tab"], editor))
        self.assertTrue(showing(leave))
        wait_for("the remote to hand its code", lambda: "learned" in [l[0] for l in self.log_lines()])
        time.sleep(0.5)
        p.shot("key-editor-learned")
        p.click(leave)
        ok = p.find("OK", ["push button"], editor)
        wait_for("learning to end", lambda: sensitive(ok) and not sensitive(leave), timeout=10)
        self.assertTrue(showing(p.find("Waveform", None, editor)))

        learned = self.shoot(p, editor)
        self.assertNotEqual(learned, factory, "Shoot sent the factory code after learning")
        p.click(ok)
        wait_for("the key editor to close", lambda: p.find("Button Properties") is None)

        # Opened again, the key shoots the learned code.
        editor = self.open_key_6(p, lcd)
        self.assertEqual(self.shoot(p, editor), learned)
        p.click(p.find("Cancel", ["push button"], editor))
        wait_for("the key editor to close", lambda: p.find("Button Properties") is None)

    def test_a_cycle_key_of_two_learned_codes(self):
        p, lcd = self.open_tv(commands=(0x10, 0x11))
        editor = self.open_key_6(p, lcd, "Attribute")
        p.click(p.wait("Cycle", ["radio button"], editor))
        self.answer_message(p, "Do you want to delete this IR code ?", "Yes")
        wait_for("the key editor active again", lambda: states(editor).contains(pyatspi.STATE_ACTIVE))
        p.click(p.wait("Cycle", ["page tab"], editor))
        grid = p.wait("Cycle steps", None, editor)
        # Each time in learning mode the remote learns one key of the other
        # remote; each becomes a step.
        for step in (1, 2):
            p.click(p.wait("Enter learning IR code mode", ["push button"], editor))
            wait_for("code %d learned" % step, lambda: self.learned_count() == step)
            wait_for("step %d in the list" % step, lambda: grid.queryTable().nRows == step)
            leave = p.find("Leave learning mode", ["push button"], editor)
            p.click(leave)
            wait_for("learning to end", lambda: sensitive(p.find("Enter learning IR code mode", ["push button"], editor)),
                     timeout=10)
        p.shot("key-editor-cycle")
        p.click(p.find("OK", ["push button"], editor))
        wait_for("the key editor to close", lambda: p.find("Button Properties") is None)

        editor = self.open_key_6(p, lcd, "Cycle")
        grid = p.wait("Cycle steps", None, editor)
        wait_for("the two steps again", lambda: grid.queryTable().nRows == 2)
        p.click(p.find("Cancel", ["push button"], editor))
        wait_for("the key editor to close", lambda: p.find("Button Properties") is None)

    def test_a_code_loaded_from_a_file(self):
        # Another program's NEC code, kept as a learned code file.
        sbin = os.path.join(tempfile.mkdtemp(prefix="orvalink-codes-"), "amp-volume.sbin")
        made = subprocess.run([CLI, "codes", "--from-pronto", "-", sbin],
                              input=self.nec_pronto(0x12, 0x34), capture_output=True, text=True)
        self.assertEqual(made.returncode, 0, made.stderr)
        p, lcd = self.open_tv()
        editor = self.open_key_6(p, lcd)

        p.click(p.find("Load", ["push button"], editor))
        files = wait_for("the open dialog", lambda: next(
            (w for w in p.windows() if w.name not in ("Orvalink ", "TV", "Button Properties")), None))
        p.wait("File name:", ["label"], files)
        p.key("ctrl+a")
        p.type(sbin)
        p.key("Return")
        # The dialog belonged to Button Properties: it is the window to work
        # in again, showing the loaded code and what it is.
        wait_for("the key editor active again", lambda: states(editor).contains(pyatspi.STATE_ACTIVE))
        p.wait("Protocol: NEC %d / %d" % (0x12, 0x34), ["label"], editor)
        # Shoot sends the file's code to the remote.
        with open(sbin, "rb") as f:
            self.assertEqual(self.shoot(p, editor), f.read().hex())
        p.click(p.find("OK", ["push button"], editor))
        wait_for("the key editor to close", lambda: p.find("Button Properties") is None)

        # Opened again, the key holds the loaded code.
        editor = self.open_key_6(p, lcd)
        p.wait("Protocol: NEC %d / %d" % (0x12, 0x34), ["label"], editor)
        p.click(p.find("Cancel", ["push button"], editor))
        wait_for("the key editor to close", lambda: p.find("Button Properties") is None)
