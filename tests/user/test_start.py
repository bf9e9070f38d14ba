"""Start-up as a new user meets it: the model picker and the start dialog."""
import os
import shutil
import struct

from userpath import Program, UserPathCase, sensitive, checked, showing, text_of, wait_for


class ModelPicker(UserPathCase):
    remembered_model = False

    def test_picking_the_model_leads_to_the_start_dialog(self):
        p = self.start_program()
        picker = p.window("Model Select")
        ok = p.find("OK", ["push button"], picker)
        self.assertFalse(sensitive(ok), "OK before a model is picked")
        p.click(p.wait("QM-5100", ["list item"], picker))
        wait_for("OK to become usable", lambda: sensitive(ok))
        p.click(ok)
        self.start_dialog(p)
        with open(os.path.join(p.folder, "modelinfo.dat"), "rb") as f:
            self.assertEqual(struct.unpack("<4H", f.read(8))[:3], (100, 5100, 2000))

    def test_cancel_in_the_picker_ends_the_program(self):
        p = self.start_program()
        picker = p.window("Model Select")
        p.click(p.find("Cancel", ["push button"], picker))
        self.assertTrue(p.ended(), "the program went on after Cancel in the picker")
        self.assertFalse(os.path.exists(os.path.join(p.folder, "modelinfo.dat")))


class StartDialog(UserPathCase):

    def test_the_dialog_is_usable_over_the_disabled_main_window(self):
        p = self.start_program()
        dialog = self.start_dialog(p)
        self.assertEqual(dialog.name, "Welcome to Orvalink !")
        for name in ("New default VMCF files", "Open an existing VMCF files", "Download from Remote Control",
                     "Yes", "Cancel"):
            self.assertTrue(sensitive(p.find(name, None, dialog)), name)
        self.assertFalse(self.menu_bar_usable(p), "the main window's menus under the start dialog")
        self.assertFalse(sensitive(p.find("New", ["push button"], self.main_window(p))))

    def test_new_default_loads_the_factory_document(self):
        p = self.start_program()
        dialog = self.start_dialog(p)
        p.click(p.find("Yes", ["push button"], dialog))
        wait_for("the start dialog to close", lambda: p.find("Welcome to Orvalink !") is None)
        main = self.main_window(p)
        wait_for("the main window's menus", lambda: self.menu_bar_usable(p))
        self.assertIsNotNone(p.wait("TV", ["table cell", "tree item"], main))
        self.assertEqual(p.captions(), ["Orvalink "])
        p.shot("main-window")

    def test_open_existing_with_browse_and_a_typed_path(self):
        p = self.start_program()
        mine = os.path.join(p.folder, "mcf", "mine.vmcf")
        shutil.copy(os.path.join(p.folder, "bk", "default_.vmcf"), mine)
        dialog = self.start_dialog(p)
        path_box = p.find("VMCF file path", None, dialog)
        browse = p.find("Browse...", ["push button"], dialog)
        self.assertFalse(sensitive(path_box))
        self.assertFalse(sensitive(browse))
        p.click(p.find("Open an existing VMCF files", None, dialog))
        wait_for("the path box and Browse", lambda: sensitive(path_box) and sensitive(browse))

        # Browse opens in the documents' folder, where mine.vmcf lies.
        p.click(browse)
        files = wait_for("the open dialog", lambda: next(
            (w for w in p.windows() if w.name not in ("Orvalink ", "Welcome to Orvalink !")), None))
        self.assertIsNotNone(p.wait("mine.vmcf", None, files))
        p.key("Escape")
        wait_for("the open dialog to close", lambda: len(p.windows()) == 2)

        p.click(path_box)
        p.type(mine)
        wait_for("the typed path", lambda: text_of(path_box) == mine)
        p.click(p.find("Yes", ["push button"], dialog))
        wait_for("the main window's menus", lambda: self.menu_bar_usable(p))
        self.assertIsNotNone(p.wait("TV", ["table cell", "tree item"], self.main_window(p)))

    def test_open_without_a_path_warns_and_the_dialog_stays(self):
        p = self.start_program()
        dialog = self.start_dialog(p)
        p.click(p.find("Open an existing VMCF files", None, dialog))
        p.click(p.find("Yes", ["push button"], dialog))
        self.answer_message(p, "\n Please Enter Current VMCF file path !")
        dialog = self.start_dialog(p)
        self.assertTrue(checked(p.find("Open an existing VMCF files", None, dialog)))
        self.assertFalse(self.menu_bar_usable(p))

    def test_escape_ends_the_program(self):
        p = self.start_program()
        self.start_dialog(p)
        p.key("Escape")
        self.assertTrue(p.ended(), "the program went on after Escape in the start dialog")

    def test_cancel_ends_the_program(self):
        p = self.start_program()
        dialog = self.start_dialog(p)
        p.click(p.find("Cancel", ["push button"], dialog))
        self.assertTrue(p.ended(), "the program went on after Cancel in the start dialog")


class SecondStart(UserPathCase):

    def test_a_second_start_ends_and_the_first_stays(self):
        p = self.start_program()
        dialog = self.start_dialog(p)
        p.click(p.find("Yes", ["push button"], dialog))
        wait_for("the main window's menus", lambda: self.menu_bar_usable(p))
        second = Program(folder=p.folder)
        try:
            self.assertTrue(second.ended(), "a second orvalink kept running")
            self.assertEqual(second.process.returncode, 0)
        finally:
            second.stop()
        self.assertEqual(p.captions(), ["Orvalink "])
        self.assertIsNone(p.process.poll())
