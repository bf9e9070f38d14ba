"""Comparing configurations as a person does: File, "Compare with…", a
document picked in the open dialog, the differences read in the tree, and a
double click on a key that opens its device's editor on that key."""
import os
import struct
import subprocess
import time

import pyatspi

from userpath import CLI, UserPathCase, extents, states, wait_for, xdotool

DEVICE_PAGES = 150 * 264
BLOCK_STORE = 245 * 264


def moved_copy(document, out, folder):
    """The factory document with the TV's key 15 one cell to the right,
    through the command line's extract and pack."""
    raw = os.path.join(folder, "image.bin")
    subprocess.run([CLI, "extract", document, raw], check=True, capture_output=True)
    with open(raw, "rb") as f:
        image = bytearray(f.read())
    record, _ = struct.unpack_from("<HH", image, DEVICE_PAGES + 264 * 1 + 4 * 15)
    at = BLOCK_STORE + 8 * record
    image[at + 4] += 0x10  # the column, in the high half of byte 4
    with open(raw, "wb") as f:
        f.write(image)
    subprocess.run([CLI, "pack", raw, out, "--kind", "100", "--model", "2000", "--version", "1.05"],
                   check=True, capture_output=True)
    os.remove(raw)


class CompareWith(UserPathCase):

    def test_compare_with_a_document_and_open_the_key(self):
        p = self.start_program()
        other = os.path.join(p.folder, "mcf", "moved.vmcf")
        moved_copy(os.path.join(p.folder, "bk", "default_.vmcf"), other, p.folder)

        dialog = self.start_dialog(p)
        p.click(p.find("Yes", ["push button"], dialog))
        wait_for("the main window's menus", lambda: self.menu_bar_usable(p))
        main = self.main_window(p)
        p.click(p.wait("File", ["menu item"], main))
        p.click(p.wait("Compare with\u2026", ["menu item"]))
        wait_for("the open dialog", lambda: next(
            (w for w in p.windows() if w.name != "Orvalink "), None))
        time.sleep(0.3)
        p.type(other)
        p.key("Return")

        compare = p.window("Compare with moved.vmcf")
        p.check_painted()
        self.assertIsNotNone(p.wait("Differences", ["tree", "tree table"], compare))
        summary = "1 difference from moved.vmcf to this configuration. Double-click a key to open it."
        self.assertIsNotNone(p.find(summary, ["label"], compare))
        self.assertIsNotNone(p.find("device TV", ["table cell", "tree item"], compare))
        self.assertIsNotNone(p.find("moved from page 1, column 1, row 6 to page 1, column 0, row 6",
                                    ["table cell", "tree item"], compare))
        key = p.find('key 15 "-/--"', ["table cell", "tree item"], compare)
        self.assertIsNotNone(p.find("Close", ["push button"], compare))
        p.shot("compare")

        x, y, w, h = extents(key)
        xdotool("mousemove", "--sync", x + min(w, 60) // 2, y + h // 2)
        time.sleep(0.1)
        xdotool("click", "--repeat", 2, "--delay", 80, 1)

        # The TV's editor opens in the main window with key 15 selected in
        # its key list.
        def selected():
            keys = p.find("Keys", None, main)
            if keys is None:
                return None
            for node in p.find_all(None, None, keys):
                if node.name.startswith("Key 15 ") and states(node).contains(pyatspi.STATE_SELECTED):
                    return node.name
            return None
        self.assertEqual(wait_for("the TV editor on key 15", selected), "Key 15 \u2014 -/--")
        self.assertIsNotNone(p.find("Soft keys", None, main))
        p.shot("compare-key-opened")


if __name__ == "__main__":
    import unittest
    unittest.main()
