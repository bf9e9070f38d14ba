"""A key's IR code made from the numbers a forum prints ("NEC, device 4,
function 8") and imported from a shared IR file, in Button Properties: the
code shown before OK, kept after it, and shot at the virtual remote, whose IR
log shows the protocol's timings."""
import os
import re
import subprocess
import tempfile
import time

import pyatspi

import test_key_codes
from userpath import CLI, UserPathCase, extents, states, wait_for, xdotool

def nec_timings(device, function):
    """An NEC frame's marks and spaces in microseconds as the protocol
    publishes them (the space after the last mark is the gap)."""
    durations = [9000, 4500]
    for byte in (device, device ^ 0xFF, function, function ^ 0xFF):
        for bit in range(8):
            durations += [560, 1690 if byte >> bit & 1 else 560]
    return durations + [560]


class KeyCodeMake(UserPathCase):
    # The helpers of the key code tests, borrowed one by one: their class
    # itself in this module would run its tests here too.
    remote = test_key_codes.KeyCodes.remote
    log_lines = test_key_codes.KeyCodes.log_lines
    open_key_6 = test_key_codes.KeyCodes.open_key_6
    key_pictures = test_key_codes.KeyCodes.key_pictures
    shoot = test_key_codes.KeyCodes.shoot
    open_tv = test_key_codes.KeyCodes.open_tv
    nec_pronto = staticmethod(test_key_codes.KeyCodes.nec_pronto)

    def sent_timings(self, received_hex):
        """The marks and spaces of the first frame of a code the remote
        received, read back through orvalink-cli as Pronto Hex."""
        sbin = os.path.join(tempfile.mkdtemp(prefix="orvalink-sent-"), "sent.sbin")
        with open(sbin, "wb") as f:
            f.write(bytes.fromhex(received_hex))
        shown = subprocess.run([CLI, "codes", "--sbin", sbin, "--pronto"], capture_output=True, text=True)
        self.assertEqual(shown.returncode, 0, shown.stderr)
        words = [int(w, 16) for w in re.findall(r"\b[0-9A-Fa-f]{4}\b", shown.stdout)]
        self.assertEqual(words[0], 0, shown.stdout)
        period = words[1] * 0.241246
        once = words[2]
        return [round(w * period) for w in words[4:4 + 2 * once]]

    def assert_nec(self, received_hex, device, function):
        sent = self.sent_timings(received_hex)
        expected = nec_timings(device, function)
        self.assertEqual(len(sent), len(expected) + 1, sent)
        for i, (got, want) in enumerate(zip(sent, expected)):
            self.assertLess(abs(got - want), max(30, want * 0.05), "duration %d: %d us, not %d" % (i, got, want))

    def set_number(self, p, dialog, name, value):
        box = p.find(name, ["spin button"], dialog)
        p.click(box)
        p.key("ctrl+a")
        p.type(str(value))
        wait_for("%s to show %d" % (name, value),
                 lambda: box.queryValue().currentValue == value)

    def close_editor(self, p, editor, button="OK"):
        p.click(p.find(button, ["push button"], editor))
        wait_for("the key editor to close", lambda: p.find("Button Properties") is None)

    def test_a_code_made_from_numbers_is_shot_and_kept(self):
        p, lcd = self.open_tv()
        editor = self.open_key_6(p, lcd)

        p.click(p.find("Make code\u2026", ["push button"], editor))
        dialog = p.window("Make code")
        # NEC is the first protocol; it has neither a sub-device nor a toggle.
        self.assertFalse(states(p.find("Sub-device", ["spin button"], dialog)).contains(pyatspi.STATE_SENSITIVE))
        self.set_number(p, dialog, "Device", 4)
        self.set_number(p, dialog, "Function", 8)
        # Before OK, the code as the key will hold it, read back.
        result = wait_for("the code read back",
                          lambda: next((l for l in p.find_all(None, ["label"], dialog)
                                        if l.name.startswith("Decoded: NEC 4 / 8")), None))
        self.assertIn("carrier", result.name)
        self.assertTrue(p.find("Waveform", None, dialog))
        time.sleep(0.3)
        p.shot("make-code")
        p.click(p.find("OK", ["push button"], dialog))
        wait_for("the dialog to close", lambda: p.find("Make code") is None)
        wait_for("the key editor active again", lambda: states(editor).contains(pyatspi.STATE_ACTIVE))
        p.wait("Protocol: NEC 4 / 8", ["label"], editor)
        p.shot("key-editor-made")

        self.assert_nec(self.shoot(p, editor), 4, 8)
        self.close_editor(p, editor)

        # Opened again, the key holds the code made.
        editor = self.open_key_6(p, lcd)
        p.wait("Protocol: NEC 4 / 8", ["label"], editor)
        self.close_editor(p, editor, "Cancel")

    def test_a_code_imported_from_a_flipper_file(self):
        folder = tempfile.mkdtemp(prefix="orvalink-codes-")
        path = os.path.join(folder, "amplifier.ir")
        with open(path, "w") as f:
            f.write("Filetype: IR signals file\nVersion: 1\n"
                    "# The amplifier's remote\n"
                    "#\nname: Power\ntype: parsed\nprotocol: NEC\naddress: 07 00 00 00\ncommand: 20 00 00 00\n"
                    "#\nname: Vol_up\ntype: parsed\nprotocol: NEC\naddress: 07 00 00 00\ncommand: 21 00 00 00\n")
        p, lcd = self.open_tv()
        editor = self.open_key_6(p, lcd)

        p.click(p.find("Import code\u2026", ["push button"], editor))
        files = wait_for("the open dialog", lambda: next(
            (w for w in p.windows() if w.name not in ("Orvalink ", "TV", "Button Properties")), None))
        p.wait("File name:", ["label"], files)
        p.key("ctrl+a")
        p.type(path)
        p.key("Return")
        dialog = p.window("Import code")
        grid = p.wait("Signals", None, dialog)
        wait_for("both signals listed", lambda: grid.queryTable().nRows == 2)
        table = grid.queryTable()
        self.assertEqual([table.getAccessibleAt(r, 0).name for r in range(2)], ["Power", "Vol_up"])
        self.assertEqual([table.getAccessibleAt(r, 1).name for r in range(2)], ["NEC 7 / 32", "NEC 7 / 33"])
        x, y, w, h = extents(table.getAccessibleAt(1, 0))
        xdotool("mousemove", "--sync", x + w // 2, y + h // 2)
        xdotool("click", 1)
        wait_for("Vol_up read back", lambda: next((l for l in p.find_all(None, ["label"], dialog)
                                                    if l.name.startswith("Decoded: NEC 7 / 33")), None))
        p.shot("import-code")
        p.click(p.find("OK", ["push button"], dialog))
        wait_for("the dialog to close", lambda: p.find("Import code") is None)
        p.wait("Protocol: NEC 7 / 33", ["label"], editor)

        self.assert_nec(self.shoot(p, editor), 7, 0x21)

        # Exported again as a Flipper file, the key's code is the one imported.
        out = os.path.join(folder, "volume.ir")
        p.click(p.find("Export code\u2026", ["push button"], editor))
        files = wait_for("the save dialog", lambda: next(
            (w for w in p.windows() if w.name not in ("Orvalink ", "TV", "Button Properties")), None))
        p.wait("File name:", ["label"], files)
        p.key("ctrl+a")
        p.type(out)
        p.key("Return")
        wait_for("the exported file", lambda: os.path.exists(out))
        with open(out) as f:
            exported = f.read()
        self.assertIn("protocol: NEC", exported)
        self.assertIn("address: 07 00 00 00", exported)
        self.assertIn("command: 21 00 00 00", exported)
        wait_for("the key editor active again", lambda: states(editor).contains(pyatspi.STATE_ACTIVE))
        self.close_editor(p, editor)
