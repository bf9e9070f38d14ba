"""The About box from the Help menu, reached with the keyboard."""
import os
import struct

from userpath import UserPathCase, sensitive, checked, wait_for


class AboutBox(UserPathCase):

    def test_ok_and_the_check_box(self):
        p = self.start_program()
        with open(os.path.join(p.folder, "modelinfo.dat"), "wb") as f:
            f.write(struct.pack("<4H", 200, 5100, 2000, 1033))
        dialog = self.start_dialog(p)
        p.click(p.find("Yes", ["push button"], dialog))
        wait_for("the main window's menus", lambda: self.menu_bar_usable(p))

        self.focus_main(p)
        p.key("alt+h")
        p.click(p.wait("About Orvalink", ["menu item"]))
        about = p.window("About")
        box = p.find("Show model select at start up. ", ["check box"], about)
        ok = p.find("OK", ["push button"], about)
        self.assertTrue(sensitive(box) and sensitive(ok))
        self.assertFalse(checked(box), "start mode 200 leaves the box clear")
        self.assertFalse(self.menu_bar_usable(p), "the main window under the About box")

        p.click(box)
        wait_for("the box ticked", lambda: checked(box))
        with open(os.path.join(p.folder, "modelinfo.dat"), "rb") as f:
            self.assertEqual(struct.unpack("<4H", f.read(8)), (100, 5100, 2000, 1033))
        p.click(box)
        wait_for("the box cleared", lambda: not checked(box))
        with open(os.path.join(p.folder, "modelinfo.dat"), "rb") as f:
            self.assertEqual(struct.unpack("<4H", f.read(8))[0], 200)

        p.click(ok)
        wait_for("the About box to close", lambda: p.find("About") is None)
        wait_for("the main window's menus", lambda: self.menu_bar_usable(p))

    def test_file_commands_have_their_shortcuts(self):
        p = self.start_program()
        dialog = self.start_dialog(p)
        p.click(p.find("Yes", ["push button"], dialog))
        wait_for("the main window's menus", lambda: self.menu_bar_usable(p))
        # Ctrl+O asks about the current document first.
        self.focus_main(p)
        p.key("ctrl+o")
        box = wait_for("the question before Open", lambda: next(
            (w for w in p.windows() if w.name == "My Orvalink Program!"), None))
        p.click(p.find("Cancel", ["push button"], box))
        wait_for("the question to close", lambda: p.captions() == ["Orvalink "])
        # Alt+F opens the File menu.
        self.focus_main(p)
        p.key("alt+f")
        p.wait("Save As", ["menu item"])
        p.key("Escape")
