"""Verify after upload, as a user meets it: the Communications menu's
"Verify after upload" is on; an upload to a remote that acknowledges a block
but keeps it with one bit flipped ends in a failure naming that block, with
the offer to upload again; the same upload to a sound remote is "Upload
verified"."""
import os
import shutil
import subprocess
import tempfile

from userpath import CLI, RemoteSim, UserPathCase, checked, sensitive, wait_for

FLIPPED_BLOCK = "300"


class VerifyAfterUpload(UserPathCase):

    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="orvalink-verify-")
        self.addCleanup(shutil.rmtree, self.folder, True)
        # The program opens the cable by this name; each virtual remote
        # started below points it at its own terminal.
        self.cable = os.path.join(self.folder, "cable")
        self.flash = os.path.join(self.folder, "flash.bin")

    def remote(self, *options):
        sim = RemoteSim(self.flash, "--link", self.cable, *options)
        self.addCleanup(sim.stop)
        return sim

    def message_starting(self, p, start):
        """The window showing a message that begins with `start`, and its text."""
        for w in p.windows():
            for label in p.find_all(None, ["label"], w):
                if label.name.strip().startswith(start):
                    return w, label.name.strip()
        return None

    def expected_failure(self):
        """What orvalink-cli says of the same upload to the same faulty
        remote: the window must name the block as the command line does."""
        cable = os.path.join(self.folder, "cli-cable")
        sim = RemoteSim(os.path.join(self.folder, "cli-flash.bin"), "--link", cable, "--flip-bit", FLIPPED_BLOCK)
        try:
            document = os.path.join(self.program.folder, "bk", "default_.vmcf")
            run = subprocess.run([CLI, "upload", "--port", cable, document], capture_output=True, text=True,
                                 timeout=120)
        finally:
            sim.stop()
        self.assertEqual(run.returncode, 1, run.stderr)
        line = next(l for l in run.stderr.splitlines() if l.startswith("Verify failed:"))
        return line

    def upload(self, p):
        main = self.main_window(p)
        p.click(p.find("Upload data to remote control", ["push button"], main))
        return p.window("Transmission Status")

    def test_a_block_kept_otherwise_is_named_and_a_sound_upload_verified(self):
        first = self.remote("--flip-bit", FLIPPED_BLOCK, "--wire-rate", "460800")
        p = self.start_program(extra_env={"ORVALINK_LINK_PORT": self.cable + "=COM3"})
        dialog = self.start_dialog(p)
        p.click(p.find("Yes", ["push button"], dialog))
        wait_for("the main window's menus", lambda: self.menu_bar_usable(p))

        # The menu item is there, and on.
        self.focus_main(p)
        p.key("alt+c")
        item = p.wait("Verify after upload", ["check menu item", "menu item"])
        self.assertTrue(checked(item), "Verify after upload is on at first")
        p.key("Escape")
        wait_for("the menu to close", lambda: p.find("Verify after upload", ["check menu item", "menu item"]) is None)

        # The upload, then its second run: "Verifying".
        status = self.upload(p)
        p.wait("Verifying", ["label"], status, timeout=120)
        gauge = p.find("Progress", ["progress bar"], status)
        wait_for("the read-back to move", lambda: gauge.queryValue().currentValue > 5, timeout=60)
        self.assertFalse(sensitive(p.find("OK", ["push button"], status)))
        p.shot("verify-reading-back")
        ok = p.find("OK", ["push button"], status)
        wait_for("every block read back", lambda: sensitive(ok), timeout=120)
        p.click(ok)

        # The failure names the block and offers to upload again.
        question, text = wait_for("the verify failure", lambda: self.message_starting(p, "Verify failed:"))
        p.check_painted()
        p.shot("verify-failed")
        self.assertTrue(text.startswith("Verify failed: 1 block differs \u2014 "), text)
        self.assertTrue(text.endswith("Upload again?"), text)
        self.assertIsNotNone(p.find("Yes", ["push button"], question))
        p.click(p.find("No", ["push button"], question))
        wait_for("the question to close", lambda: self.message_starting(p, "Verify failed:") is None)
        self.assertEqual(text.splitlines()[0], self.expected_failure())

        # The same upload to a sound remote.
        first.stop()
        self.remote()
        status = self.upload(p)
        ok = p.find("OK", ["push button"], status)
        wait_for("every block sent and read back", lambda: sensitive(ok), timeout=120)
        self.assertIsNotNone(p.find("Verifying", ["label"], status))
        p.click(ok)
        box, text = wait_for("the verified upload", lambda: self.message_starting(p, "Upload Flash Data Ok !"))
        self.assertIn("Upload verified: 1013 blocks as sent.", text)
        p.click(p.find("OK", ["push button"], box))
        wait_for("the main window's menus", lambda: self.menu_bar_usable(p))
