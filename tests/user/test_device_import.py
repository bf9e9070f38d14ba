"""A whole device's codes imported as a person does it: a Flipper file of
another remote's codes chosen from the device tree's "Import codes…", the
proposed keys looked at and one changed in the import table, OK; the
device's keys then hold the codes (Button Properties shows them decoded),
and Cancel on a second import changes nothing."""
import os
import tempfile
import time

from userpath import UserPathCase, extents, wait_for, xdotool

# Another remote's codes, as a Flipper keeps them: NEC device 4.
SIGNALS = [("Power", 0x08), ("Vol_up", 0x02), ("KEY_MUTE", 0x0D), ("Netflix", 0x28)]


def signal_file(folder):
    path = os.path.join(folder, "other-tv.ir")
    with open(path, "w") as f:
        f.write("Filetype: IR signals file\nVersion: 1\n")
        for name, command in SIGNALS:
            f.write("#\nname: %s\ntype: parsed\nprotocol: NEC\naddress: 04 00 00 00\n"
                    "command: %02X 00 00 00\n" % (name, command))
    return path


def lone_items(p, dialog, caption):
    box = p.find(caption, ["list"], dialog)
    return [c.name for c in p.find_all(None, ["list item"], box, only_showing=False)]


def key_cells(p, table, nodes=False):
    """The Key column of the import table, row by row: the chosen keys' names
    (or the cells, to click on the box over each)."""
    cells = [c for c in p.find_all(None, ["table cell"], table, only_showing=False)]
    keys = cells[2::3]
    return keys if nodes else [c.name for c in keys]


def open_import_table(case, p, device, path):
    """From the main window's tree: the device's menu, "Import codes…", the
    file chosen in the open dialog; returns the import table's window."""
    main = case.main_window(p)
    # The device tree is the leftmost: an open layout editor's key list
    # names its device as well.
    p.wait(device, ["table cell", "tree item"], main)
    node = min(p.find_all(device, ["table cell", "tree item"], main), key=lambda n: extents(n)[0])
    p.click(node)
    p.click(node, button=3)
    p.click(p.wait("Import codes\u2026", ["menu item"]))
    known = ("Orvalink ", device)
    files = wait_for("the open dialog", lambda: next(
        (w for w in p.windows() if w.name not in known and p.find("File name:", ["label"], w)), None))
    p.key("ctrl+a")
    p.type(path)
    p.key("Return")
    return p.window("Import codes")


class DeviceImport(UserPathCase):

    def open_key(self, p, editor, number):
        """Button Properties of soft key `number`, on its Code page."""
        lcd = p.wait("Soft keys", None, editor)
        key = wait_for("key %d's picture" % number, lambda: next(
            (n for n in p.find_all(None, None, lcd) if n.name.split()[:2] == ["Key", str(number)]), None))
        x, y, w, h = extents(key)
        xdotool("mousemove", "--sync", x + w // 2, y + h // 2)
        xdotool("click", 3)
        time.sleep(0.3)
        p.key("Down", "Return")  # Properties
        properties = p.window("Button Properties")
        p.click(p.wait("Code", ["page tab"], properties))
        return properties

    def key_menu(self, p, editor, number, item):
        """A right click on soft key `number` and `item` of its menu."""
        lcd = p.wait("Soft keys", None, editor)
        key = next(n for n in p.find_all(None, None, lcd) if n.name.split()[:2] == ["Key", str(number)])
        x, y, w, h = extents(key)
        xdotool("mousemove", "--sync", x + w // 2, y + h // 2)
        xdotool("click", 3)
        p.click(p.wait(item, ["menu item"]))

    def close_properties(self, p, properties, button="Cancel"):
        p.click(p.find(button, ["push button"], properties))
        wait_for("Button Properties to close", lambda: p.find("Button Properties") is None)

    def test_a_file_imported_into_the_tv_from_the_tree(self):
        path = signal_file(tempfile.mkdtemp(prefix="orvalink-import-"))
        p = self.start_program()
        dialog = self.start_dialog(p)
        p.click(p.find("Yes", ["push button"], dialog))
        wait_for("the main window's menus", lambda: self.menu_bar_usable(p))

        table = open_import_table(self, p, "TV", path)
        # Proposed: Power, Vol_up and KEY_MUTE to their keys; Netflix to none.
        wait_for("the signal without a key",
                 lambda: lone_items(p, table, "Signals without a key") == ["Netflix"])
        self.assertIn("Key 6 \u2014 1", lone_items(p, table, "Keys without a signal"))
        self.assertNotIn("Key 0 \u2014 Power", lone_items(p, table, "Keys without a signal"))
        # Netflix goes to the digit 1 key: its box's seventh key down.
        self.assertEqual(key_cells(p, table), ["Key 0 \u2014 Power", "Key 1 \u2014 Vol+", "Key 5 \u2014 Mute",
                                                "(no key)"])
        p.click(key_cells(p, table, nodes=True)[3])
        p.key("Escape")
        p.key(*["Down"] * 7)
        wait_for("every signal to have a key", lambda: lone_items(p, table, "Signals without a key") == [])
        self.assertNotIn("Key 6 \u2014 1", lone_items(p, table, "Keys without a signal"))
        p.shot("import-table")
        self.assertEqual(key_cells(p, table)[3], "Key 6 \u2014 1")
        p.click(p.find("OK", ["push button"], table))
        wait_for("the import table to close", lambda: p.find("Import codes") is None)

        # The TV's layout editor holds the codes: Button Properties shows them.
        editor = p.window("TV")
        properties = self.open_key(p, editor, 6)
        p.wait("Protocol: NEC 4 / 40", ["label"], properties)
        self.close_properties(p, properties)

        # A second import, cancelled, leaves the key as it was.
        table = open_import_table(self, p, "TV", path)
        p.click(key_cells(p, table, nodes=True)[0])
        p.key("Escape", "Down")
        wait_for("Power moved to the next key", lambda: key_cells(p, table)[0] == "Key 1 \u2014 Vol+")
        p.click(p.find("Cancel", ["push button"], table))
        wait_for("the import table to close", lambda: p.find("Import codes") is None)
        properties = self.open_key(p, editor, 6)
        p.wait("Protocol: NEC 4 / 40", ["label"], properties)
        self.close_properties(p, properties)

        # The layout editor's own menu writes the device's codes, those not
        # yet saved too, as a Flipper file.
        out = os.path.join(os.path.dirname(path), "tv-out.ir")
        self.key_menu(p, editor, 6, "Export codes\u2026")
        wait_for("the save dialog", lambda: next(
            (w for w in p.windows() if w.name not in ("Orvalink ", "TV") and p.find("File name:", ["label"], w)),
            None))
        p.key("ctrl+a")
        p.type(out)
        p.key("Return")
        wait_for("the exported file", lambda: os.path.exists(out))
        with open(out) as f:
            text = f.read()
        self.assertTrue(text.startswith("Filetype: IR signals file\n"), text[:80])
        self.assertIn("name: 1\ntype: parsed\nprotocol: NEC\naddress: 04 00 00 00\ncommand: 28 00 00 00\n", text)
