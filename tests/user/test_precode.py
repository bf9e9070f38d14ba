"""The pre-program code picker as a person uses it: from the device tree's
"Load pre-program code to device", a device type, a brand and a code chosen
with the pointer, then OK."""
import time

from userpath import UserPathCase, sensitive, text_of, wait_for

PICKER = "Please following these step to set pre-programmed code"


class PreCodePicker(UserPathCase):

    def test_a_tv_code_loaded_into_the_dvd_device(self):
        p = self.start_program()
        dialog = self.start_dialog(p)
        p.click(p.find("Yes", ["push button"], dialog))
        wait_for("the main window's menus", lambda: self.menu_bar_usable(p))
        main = self.main_window(p)
        dvd = p.wait("DVD", ["table cell", "tree item"], main)
        p.click(dvd)
        p.click(dvd, button=3)
        # The tree's pop-up menu: its first command.
        time.sleep(0.3)
        p.key("Down", "Return")
        self.answer_message(p, "Would you want to delete all of key and child divice ?", "Yes")

        picker = p.window(PICKER)
        ok = p.find("OK", ["push button"], picker)
        auto = p.find("Auto Test", ["push button"], picker)
        self.assertFalse(sensitive(ok))
        self.assertFalse(sensitive(auto))
        # The boxes are chosen from the keyboard as a person may: the first
        # type, then the brand by its first letters.
        types = p.find("Device type", ["combo box"], picker)
        p.click(types)
        p.key("Escape", "Down")
        wait_for("TV chosen", lambda: types.name == "TV" or "TV" in [c.name for c in p.find_all(None, None, types)])
        brands = p.find("Brand name", ["combo box"], picker)
        p.click(brands)
        p.key("Escape")
        p.type("Sam")
        wait_for("Auto Test to be usable", lambda: sensitive(auto))
        p.click(p.wait("1153", ["list item", "table cell"], picker))
        number = p.find("Pre-programmed code no", ["text"], picker)
        wait_for("the code in the result box", lambda: text_of(number) == "      1153")
        self.assertTrue(sensitive(ok))
        p.shot("precode-picker")
        p.click(ok)
        self.answer_message(p, "Load pre-program code ok !")
        wait_for("the picker to close", lambda: PICKER not in p.captions())
