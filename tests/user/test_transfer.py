"""Download from the virtual remote, through the start dialog and the main
window, with the transfer dialog in the way of everything else."""
import os
import subprocess
import tempfile

from userpath import CLI, RemoteSim, UserPathCase, extents, sensitive, showing, wait_for


class Transfers(UserPathCase):

    def remote(self, *options):
        folder = tempfile.mkdtemp(prefix="orvalink-remote-")
        # No flash file yet: the virtual remote starts erased.
        sim = RemoteSim(os.path.join(folder, "flash.bin"), *options)
        self.addCleanup(sim.stop)
        return sim

    def transfer_dialog(self, p):
        return p.window("Transmission Status")

    def test_start_dialog_download_then_closing_with_unsaved_changes(self):
        sim = self.remote()
        p = self.start_program(extra_env={"ORVALINK_LINK_PORT": sim.pty + "=COM3"})
        dialog = self.start_dialog(p)
        p.click(p.find("Download from Remote Control", None, dialog))
        p.click(p.find("Yes", ["push button"], dialog))

        status = self.transfer_dialog(p)
        self.assertIsNotNone(p.find("Progress:", ["label"], status))
        self.assertIsNotNone(p.find("Download from Remote.", ["label"], status))
        ok = p.find("OK", ["push button"], status)
        wait_for("every block", lambda: sensitive(ok), timeout=60)
        self.assertFalse(sensitive(p.find("Cancel", ["push button"], status)))
        p.click(ok)
        self.answer_message(p, "Download Flash Data Ok !")
        wait_for("the start dialog to close", lambda: p.find("Welcome to Orvalink !") is None)
        wait_for("the main window's menus", lambda: self.menu_bar_usable(p))
        # The erased remote holds no devices.
        main = self.main_window(p)
        self.assertIsNone(p.find("TV", ["table cell", "tree item"], main))
        self.assertIsNotNone(p.find("Home ", ["table cell", "tree item"], main))

        # The downloaded document is unsaved: closing the window saves it as.
        saved = os.path.join(p.folder, "mcf", "from-remote.vmcf")
        self.focus_main(p)
        p.key("ctrl+q")
        files = wait_for("the save dialog", lambda: next(
            (w for w in p.windows() if w.name not in ("Orvalink ",)), None))
        p.wait("File name:", ["label"], files)
        p.key("ctrl+a")
        p.type(saved)
        p.key("Return")
        self.assertTrue(p.ended(), "the program went on after Save As on closing")
        self.assertTrue(os.path.exists(saved))
        info = subprocess.run([CLI, "info", saved], capture_output=True, text=True)
        self.assertEqual(info.returncode, 0, info.stderr)

    def test_main_window_download_holds_the_window_until_it_ends(self):
        # At the wire's own pace the download takes long enough to look at.
        sim = self.remote("--wire")
        p = self.start_program(extra_env={"ORVALINK_LINK_PORT": sim.pty + "=COM3"})
        dialog = self.start_dialog(p)
        p.click(p.find("Yes", ["push button"], dialog))
        wait_for("the main window's menus", lambda: self.menu_bar_usable(p))
        main = self.main_window(p)
        download = p.find("Download data from remote control", ["push button"], main)
        upload = p.find("Upload data to remote control", ["push button"], main)

        p.click(download)
        question = wait_for("the save question", lambda: next(
            (w for w in p.windows() if w.name == "My Orvalink Program!"), None))
        p.click(p.find("No", ["push button"], question))

        status = self.transfer_dialog(p)
        wait_for("the gauge to move", lambda: p.find("Progress", ["progress bar"], status)
                 .queryValue().currentValue > 5, timeout=60)
        self.assertFalse(sensitive(download))
        self.assertFalse(sensitive(upload))
        self.assertFalse(self.menu_bar_usable(p))
        # The dialog stands over the middle of the main window.
        mx, my, mw, mh = extents(main)
        dx, dy, dw, dh = extents(status)
        self.assertLess(abs((mx + mw // 2) - (dx + dw // 2)), 40)
        self.assertLess(abs((my + mh // 2) - (dy + dh // 2)), 60)

        # A press on Download or Upload starts nothing.
        p.click(download)
        p.click(upload)
        self.assertEqual([w.name for w in p.windows()].count("Transmission Status"), 1)
        self.assertIsNone(next((w for w in p.windows() if w.name == "My Orvalink Program!"), None))

        p.click(p.find("Cancel", ["push button"], status))
        self.answer_message(p, "Download Flash Data Error !")
        wait_for("the main window's menus", lambda: self.menu_bar_usable(p))
        self.assertTrue(sensitive(download) and sensitive(upload))
        # A cancelled download leaves the document as it was.
        self.assertIsNotNone(p.find("TV", ["table cell", "tree item"], main))
