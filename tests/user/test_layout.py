"""The layout editor as a person uses it: open a device from the tree, drag a
key with the pointer, delete one from its menu, save; and the remote settings
dialog from the Edit menu."""
import time

from userpath import UserPathCase, extents, sensitive, showing, wait_for, xdotool

CELL_W, CELL_H = 34, 28  # a grid cell on screen


class LayoutEditor(UserPathCase):

    def open_default(self, p):
        dialog = self.start_dialog(p)
        p.click(p.find("Yes", ["push button"], dialog))
        wait_for("the main window's menus", lambda: self.menu_bar_usable(p))
        return self.main_window(p)

    def open_tv(self, p, main):
        p.click(p.wait("TV", ["table cell", "tree item"], main))
        return p.wait("Soft keys", None, main)

    def key_pictures(self, p, lcd):
        """The key pictures showing on the LCD, by name, with their extents."""
        out = {}
        for node in p.find_all(None, None, lcd):
            if node is not lcd and node.name.startswith("Key "):
                out[node.name] = tuple(extents(node))
        return out

    def drag(self, start, by, steps=12):
        x, y = start
        xdotool("mousemove", "--sync", x, y)
        time.sleep(0.1)
        xdotool("mousedown", 1)
        time.sleep(0.1)
        for i in range(1, steps + 1):
            xdotool("mousemove", "--sync", x + by[0] * i // steps, y + by[1] * i // steps)
            time.sleep(0.03)
        time.sleep(0.1)
        xdotool("mouseup", 1)
        time.sleep(0.2)

    def test_the_tv_editor_shows_its_first_page(self):
        p = self.start_program()
        main = self.open_default(p)
        lcd = self.open_tv(p, main)
        keys = wait_for("the first page's keys", lambda: len(self.key_pictures(p, lcd)) >= 12 and self.key_pictures(p, lcd))
        self.assertEqual(len(keys), 12)  # the TV template's page 1: twelve 2 x 2 keys
        lx, ly, lw, lh = extents(lcd)
        for name, (x, y, w, h) in keys.items():
            self.assertEqual((w, h), (2 * CELL_W, 2 * CELL_H), name)
            self.assertTrue(lx <= x and x + w <= lx + lw and ly <= y and y + h <= ly + lh, name)
        for hard in ("Power", "Vol +", "Vol -", "Ch +", "Ch -", "Mute"):
            self.assertTrue(sensitive(p.find(hard, ["push button"], main)), hard)
        p.shot("tv-editor")

    def test_drag_delete_and_save(self):
        p = self.start_program()
        main = self.open_default(p)
        lcd = self.open_tv(p, main)
        keys = wait_for("the first page's keys", lambda: len(self.key_pictures(p, lcd)) >= 12 and self.key_pictures(p, lcd))
        # The key in the top-left cell goes two cells right and two down.
        name, (x, y, w, h) = min(keys.items(), key=lambda kv: (kv[1][1], kv[1][0]))
        self.drag((x + w // 2, y + h // 2), (2 * CELL_W + 3, 2 * CELL_H + 2))
        moved = wait_for("the key in its new place", lambda: (
            lambda e: e if e[:2] == (x + 2 * CELL_W, y + 2 * CELL_H) else None)(tuple(extents(p.find(name, None, lcd)))))
        self.assertEqual(moved[2:], (w, h))

        # Another key goes through its menu.
        others = [(n, e) for n, e in keys.items() if n != name]
        victim, (vx, vy, vw, vh) = max(others, key=lambda kv: (kv[1][1], kv[1][0]))
        xdotool("mousemove", "--sync", vx + vw // 2, vy + vh // 2)
        xdotool("click", 3)
        # A pop-up menu is not a child of any window on the accessibility bus:
        # it is driven by the keyboard, as a screen reader user does. The
        # items of an ordinary key: Properties, Cut, Copy, then Delete (Add
        # Button and, with nothing on the clipboard, Paste are off).
        time.sleep(0.3)
        p.key("Down", "Down", "Down", "Down", "Return")
        wait_for("the key to leave the LCD", lambda: p.find(victim, None, lcd) is None)

        # Save: the editor's own button, below the LCD.
        lx, ly, lw, lh = extents(lcd)
        save = next(b for b in p.find_all("Save", ["push button"], main) if extents(b)[1] > ly + lh)
        p.click(save)
        self.answer_message(p, "Device save Ok !")
        wait_for("the editor to close", lambda: p.find("Soft keys", None, main) is None)

        # Opened again, the layout is as it was saved.
        lcd = self.open_tv(p, main)
        again = wait_for("the keys again", lambda: len(self.key_pictures(p, lcd)) >= 10 and self.key_pictures(p, lcd))
        self.assertNotIn(victim, again)
        ax, ay = extents(lcd)[:2]
        self.assertEqual((again[name][0] - ax, again[name][1] - ay), (x - lx + 2 * CELL_W, y - ly + 2 * CELL_H))

    def test_key_properties_from_the_key_menu(self):
        p = self.start_program()
        main = self.open_default(p)
        lcd = self.open_tv(p, main)
        keys = wait_for("the first page's keys", lambda: len(self.key_pictures(p, lcd)) >= 12 and self.key_pictures(p, lcd))
        name, (x, y, w, h) = min(keys.items(), key=lambda kv: (kv[1][1], kv[1][0]))
        xdotool("mousemove", "--sync", x + w // 2, y + h // 2)
        xdotool("click", 3)
        time.sleep(0.3)
        p.key("Down", "Return")  # Properties
        editor = p.window("Button Properties")
        self.assertFalse(self.menu_bar_usable(p), "the main window under the key editor")
        palette = p.wait("Palette", None, editor)
        self.assertTrue(showing(palette))
        self.assertTrue(showing(p.find("Key preview", None, editor)))
        for caption in ("Learn IR code mode", "Shoot IR code", "Load", " << Add", "Del <<", "Enter"):
            self.assertIsNotNone(p.find(caption.strip(), ["push button"], editor, only_showing=False), caption)
        p.shot("key-editor")
        p.click(p.find("Cancel", ["push button"], editor))
        wait_for("the key editor to close", lambda: p.find("Button Properties") is None)
        wait_for("the main window's menus", lambda: self.menu_bar_usable(p))
        self.assertIn(name, self.key_pictures(p, lcd))

    def test_a_label_typed_into_the_palette_reaches_the_key(self):
        p = self.start_program()
        main = self.open_default(p)
        lcd = self.open_tv(p, main)
        keys = wait_for("the first page's keys", lambda: len(self.key_pictures(p, lcd)) >= 12 and self.key_pictures(p, lcd))
        # The TV template's key 6 shows "1", drawn as an icon, so its name
        # carries no text.
        self.assertIn("Key 6", keys)
        x, y, w, h = keys["Key 6"]
        before = self.key_pictures(p, lcd)
        xdotool("mousemove", "--sync", x + w // 2, y + h // 2)
        xdotool("click", 3)
        time.sleep(0.3)
        p.key("Down", "Return")  # Properties
        editor = p.window("Button Properties")
        # A click on the preview hands the keyboard to the palette. BackSpace
        # takes the icon before the cursor away; typed characters go in at
        # the cursor. (An icon 24 pixels wide and a letter do not fit in the
        # label area of a 2 x 2 oval key, so "1" + "Z" would still show "1".)
        p.click(p.wait("Key preview", None, editor))
        time.sleep(0.2)
        p.key("BackSpace")
        p.type("Zq")
        time.sleep(0.2)
        p.shot("key-editor-typed")
        p.click(p.find("OK", ["push button"], editor))
        wait_for("the key editor to close", lambda: p.find("Button Properties") is None)
        after = wait_for("the key's new label on the LCD",
                         lambda: (lambda k: k if "Key 6 Zq" in k else None)(self.key_pictures(p, lcd)))
        self.assertNotIn("Key 6", after)
        self.assertEqual(after["Key 6 Zq"], (x, y, w, h))  # only the label changed
        self.assertEqual(len(after), len(before))
        # The editor's key list names the key by its new label too.
        self.assertIsNotNone(p.find("Key 6 — Zq", ["table cell", "tree item"], main))
        p.shot("key-relabelled")

    def test_remote_settings_from_the_edit_menu(self):
        p = self.start_program()
        main = self.open_default(p)
        p.click(p.wait("Edit", ["menu item"], main))
        p.click(p.wait("Edit Remote config", ["menu item"]))
        dialog = p.window("Remote Config")
        self.assertFalse(self.menu_bar_usable(p), "the main window under the settings dialog")
        ok = p.find("OK", ["push button"], dialog)
        self.assertFalse(sensitive(ok), "OK before anything changed")
        p.click(p.find("Welcome page", ["check box"], dialog))
        wait_for("OK to become usable", lambda: sensitive(ok))
        p.click(ok)
        wait_for("the settings dialog to close", lambda: p.find("Remote Config") is None)
        # The same window, whatever its caption says about unsaved changes.
        wait_for("the main window's menus", lambda: sensitive(p.find(None, ["menu bar"], main)))
        self.assertTrue(showing(main))
