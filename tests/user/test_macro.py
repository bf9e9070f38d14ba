"""A macro key built as a person builds it: a TV key made a Macro key in
Button Properties, New on its Macro page, keys clicked in the step window,
Save, then OK; opened again, the key holds the steps."""
import time

import pyatspi

from userpath import UserPathCase, checked, extents, sensitive, showing, states, wait_for, xdotool


class MacroSteps(UserPathCase):

    def key_pictures(self, p, lcd):
        return {n.name: tuple(extents(n)) for n in p.find_all(None, None, lcd)
                if n is not lcd and n.name.startswith("Key ")}

    def open_properties(self, p, lcd, name):
        x, y, w, h = wait_for("key %s" % name, lambda: self.key_pictures(p, lcd).get(name))
        xdotool("mousemove", "--sync", x + w // 2, y + h // 2)
        xdotool("click", 3)
        time.sleep(0.3)
        p.key("Down", "Return")  # Properties
        return p.window("Button Properties")

    @staticmethod
    def window_of(node):
        """The window in the main window's area (a frame whose parent is the
        area's viewport) that holds node."""
        while node is not None:
            parent = node.parent
            if parent is not None and parent.parent is not None and parent.parent.getRoleName() == "layered pane":
                return node
            node = parent
        return None

    def step_rows(self, p, editor):
        grid = p.find("Macro steps", None, editor)
        return grid.queryTable().nRows

    def test_three_keys_clicked_become_three_steps(self):
        p = self.start_program()
        dialog = self.start_dialog(p)
        p.click(p.find("Yes", ["push button"], dialog))
        wait_for("the main window's menus", lambda: self.menu_bar_usable(p))
        main = self.main_window(p)
        p.click(p.wait("TV", ["table cell", "tree item"], main))
        lcd = p.wait("Soft keys", None, main)

        editor = self.open_properties(p, lcd, "Key 6")
        p.click(p.wait("Attribute", ["page tab"], editor))
        p.click(p.wait("Macro", ["radio button"], editor))
        self.answer_message(p, "Do you want to delete this IR code ?", "Yes")
        # The question belongs to Button Properties: answered, the key editor
        # is the active window again, not the main window behind it.
        wait_for("the key editor active again", lambda: states(editor).contains(pyatspi.STATE_ACTIVE))
        p.click(p.wait("Macro", ["page tab"], editor))
        p.click(p.wait("New", ["push button"], editor))

        # The step window: the TV's own keys, each click a step.
        wait_for("the key editor to step aside", lambda: p.find("Button Properties") is None)
        step_lcd = wait_for("the step window's LCD", lambda: next(
            (l for l in p.find_all("Soft keys", None, main) if self.window_of(l) is not None and
             p.find("Step: 0", ["label"], self.window_of(l))), None))
        window = self.window_of(step_lcd)
        lx, ly, lw, lh = extents(step_lcd)
        mx, my, mw, mh = extents(main)
        self.assertTrue(mx <= lx and lx + lw <= mx + mw, "the step window's LCD cut off by the main window")
        time.sleep(0.5)  # the window settles where it opened
        keys = self.key_pictures(p, step_lcd)
        for step, number in enumerate((7, 8, 9), start=1):
            x, y, w, h = next(e for n, e in keys.items() if n.split()[:2] == ["Key", str(number)])
            xdotool("mousemove", "--sync", x + w // 2, y + h // 2)
            xdotool("click", 1)
            p.wait("Step: %d" % step, ["label"], window)
            p.wait("Total: %d" % step, ["label"], window)
        p.shot("macro-step-window")
        p.click(p.find("Save", ["push button"], window))

        editor = p.window("Button Properties")
        wait_for("three steps", lambda: self.step_rows(p, editor) == 3)
        p.shot("macro-steps")
        p.click(p.find("OK", ["push button"], editor))
        self.answer_message(p, "Save change to this MACRO key ?", "Yes")
        wait_for("the key editor to close", lambda: p.find("Button Properties") is None)

        editor = self.open_properties(p, lcd, "Key 6")
        p.click(p.wait("Macro", ["page tab"], editor))
        wait_for("the three steps again", lambda: self.step_rows(p, editor) == 3)
        p.click(p.find("Cancel", ["push button"], editor))
        wait_for("the key editor to close", lambda: p.find("Button Properties") is None)

    def test_a_key_pasted_into_the_macro_device_gets_steps_and_a_timer(self):
        p = self.start_program()
        dialog = self.start_dialog(p)
        p.click(p.find("Yes", ["push button"], dialog))
        wait_for("the main window's menus", lambda: self.menu_bar_usable(p))
        main = self.main_window(p)
        # The template's Macro device has no keys: one is copied from the TV
        # and pasted there.
        p.click(p.wait("TV", ["table cell", "tree item"], main))
        tv_lcd = p.wait("Soft keys", None, main)
        x, y, w, h = wait_for("key 6", lambda: self.key_pictures(p, tv_lcd).get("Key 6"))
        xdotool("mousemove", "--sync", x + w // 2, y + h // 2)
        xdotool("click", 1)
        time.sleep(0.3)
        p.key("ctrl+c")
        p.click(p.wait("Macro ", ["table cell", "tree item"], main))
        macro_lcd = wait_for("the Macro device's LCD", lambda: next(
            (l for l in p.find_all("Soft keys", None, main) if self.window_of(l).name == "Macro"), None))
        p.click(macro_lcd)
        p.key("ctrl+v")
        editor = self.open_properties(p, macro_lcd, "Key 6")
        # A Macro-device key: the label, macro and timer pages.
        p.click(p.wait("Macro", ["page tab"], editor))
        p.click(p.wait("New", ["push button"], editor))

        # Its steps come from any device: the step window opens on Home, and
        # the TV is picked from its list.
        wait_for("the key editor to step aside", lambda: p.find("Button Properties") is None)
        window = wait_for("the step window", lambda: next(
            (self.window_of(l) for l in p.find_all("Step: 0", ["label"], main)), None))
        p.click(p.wait("TV", ["table cell", "tree item", "list item"], p.find("Devices", None, window)))
        step_lcd = p.find("Soft keys", None, window)
        keys = wait_for("the TV's keys in the step window",
                        lambda: (lambda k: k if any(n.startswith("Key 8") for n in k) else None)(
                            self.key_pictures(p, step_lcd)))
        x, y, w, h = next(e for n, e in keys.items() if n.split()[:2] == ["Key", "8"])
        xdotool("mousemove", "--sync", x + w // 2, y + h // 2)
        xdotool("click", 1)
        p.wait("Step: 1", ["label"], window)
        p.click(p.find("Save", ["push button"], window))

        editor = p.window("Button Properties")
        wait_for("one step", lambda: self.step_rows(p, editor) == 1)
        p.click(p.wait("Timer", ["page tab"], editor))
        p.click(p.wait("Week", ["radio button"], editor))
        p.click(p.wait("Monday", ["check box"], editor))
        p.shot("macro-timer")
        p.click(p.find("OK", ["push button"], editor))
        self.answer_message(p, "Save change to this MACRO key ?", "Yes")
        wait_for("the key editor to close", lambda: p.find("Button Properties") is None)

        editor = self.open_properties(p, macro_lcd, "Key 6")
        p.click(p.wait("Timer", ["page tab"], editor))
        self.assertTrue(checked(p.wait("Week", ["radio button"], editor)))
        self.assertTrue(checked(p.wait("Monday", ["check box"], editor)))
        self.assertFalse(checked(p.wait("Tuesday", ["check box"], editor)))
        p.click(p.wait("Macro", ["page tab"], editor))
        wait_for("the step again", lambda: self.step_rows(p, editor) == 1)
        p.click(p.find("Cancel", ["push button"], editor))
        wait_for("the key editor to close", lambda: p.find("Button Properties") is None)
