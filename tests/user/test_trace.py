"""Tools "Record link trace…": the user checks it, picks a file, downloads
from the virtual remote and unchecks it; the file then holds the download's
frames, as orvalink-cli trace reads them."""
import os
import subprocess
import tempfile

from userpath import CLI, RemoteSim, UserPathCase, checked, sensitive, wait_for

ITEM = "Record link trace\u2026"


class LinkTrace(UserPathCase):

    def tools_item(self, p):
        self.focus_main(p)
        p.key("alt+t")
        return p.wait(ITEM, ["menu item", "check menu item"])

    def test_a_download_recorded_from_the_tools_menu(self):
        folder = tempfile.mkdtemp(prefix="orvalink-remote-")
        sim = RemoteSim(os.path.join(folder, "flash.bin"))
        self.addCleanup(sim.stop)
        p = self.start_program(extra_env={"ORVALINK_LINK_PORT": sim.pty + "=COM3"})
        dialog = self.start_dialog(p)
        p.click(p.find("Yes", ["push button"], dialog))
        wait_for("the main window's menus", lambda: self.menu_bar_usable(p))
        main = self.main_window(p)

        item = self.tools_item(p)
        self.assertTrue(sensitive(item))
        self.assertFalse(checked(item))
        p.click(item)
        files = wait_for("the file dialog", lambda: next(
            (w for w in p.windows() if w.name not in ("Orvalink ",)), None))
        p.wait("File name:", ["label"], files)
        trace = os.path.join(folder, "download.trace")
        p.key("ctrl+a")
        p.type(trace)
        p.key("Return")
        wait_for("the file dialog to close", lambda: all(w.name == "Orvalink " for w in p.windows()))

        item = self.tools_item(p)
        self.assertTrue(checked(item), "the item stays checked while it records")
        p.shot("trace-tools-menu")
        p.key("Escape")

        p.click(p.find("Download data from remote control", ["push button"], main))
        question = wait_for("the save question or the transfer", lambda: next(
            (w for w in p.windows() if w.name in ("My Orvalink Program!", "Transmission Status")), None))
        if question.name == "My Orvalink Program!":
            p.click(p.find("No", ["push button"], question))
        status = p.window("Transmission Status")
        ok = p.find("OK", ["push button"], status)
        wait_for("every block", lambda: sensitive(ok), timeout=60)
        p.click(ok)
        self.answer_message(p, "Download Flash Data Ok !")
        wait_for("the main window's menus", lambda: self.menu_bar_usable(p))
        # Until the recording ends the file is not there.
        self.assertFalse(os.path.exists(trace))

        p.click(self.tools_item(p))
        wait_for("the trace file", lambda: os.path.exists(trace))
        self.assertFalse(checked(self.tools_item(p)))
        p.key("Escape")
        # No temporary file stays beside it (the remote writes its flash only as it ends).
        self.assertEqual(os.listdir(folder), ["download.trace"])

        printed = subprocess.run([CLI, "trace", trace], capture_output=True, text=True)
        self.assertEqual(printed.returncode, 0, printed.stderr)
        lines = printed.stdout.splitlines()
        self.assertIn("PC>   wake-up 'A'  (1 byte)", "\n".join(lines))
        self.assertTrue(any("PC>   command A1 read blocks: first 0, count 1013  (8 bytes)" in l for l in lines),
                        printed.stdout[:2000])
        self.assertTrue(any("<REM  block 1012, sum " in l and " good  (266 bytes)" in l for l in lines),
                        printed.stdout[-2000:])
        self.assertIn("blocks received: 1013", lines)
        self.assertIn("checksum faults: 0", lines)
        self.assertIn("time-outs: 0", lines)

    def test_the_serial_test_pages_monitor_saved_as_a_trace(self):
        folder = tempfile.mkdtemp(prefix="orvalink-remote-")
        older = os.path.join(folder, "older.bin")
        with open(older, "wb") as f:
            f.write(bytes((i * 29 + 5) & 0xFF for i in range(262144)))
        sim = RemoteSim(os.path.join(folder, "flash.bin"), "--older-flash", older)
        self.addCleanup(sim.stop)
        p = self.start_program(extra_env={"ORVALINK_LINK_PORT": sim.pty + "=COM3"})
        dialog = self.start_dialog(p)
        p.click(p.find("Yes", ["push button"], dialog))
        wait_for("the main window's menus", lambda: self.menu_bar_usable(p))
        self.focus_main(p)
        p.key("alt+t")
        p.click(p.wait("Update Library", ["menu item"]))
        tools = p.window("Communications")
        p.click(p.find("SerialPortTest", ["page tab"], tools))
        receive = p.wait("Recv256", ["push button"], tools)
        p.click(receive)
        wait_for("Recv256 usable again", lambda: sensitive(receive), timeout=60)

        p.click(p.find("Save trace", ["push button"], tools))
        files = wait_for("the save dialog", lambda: next(
            (w for w in p.windows() if w.name not in ("Orvalink ", "Communications")), None))
        p.wait("File name:", ["label"], files)
        trace = os.path.join(folder, "monitor.trace")
        p.key("ctrl+a")
        p.type(trace)
        p.key("Return")
        wait_for("the trace file", lambda: os.path.exists(trace))
        p.shot("trace-test-page")

        printed = subprocess.run([CLI, "trace", trace], capture_output=True, text=True)
        self.assertEqual(printed.returncode, 0, printed.stderr)
        received = next((l for l in printed.stdout.splitlines() if l.startswith("bytes received: ")), "")
        self.assertTrue(received and int(received.split()[-1]) > 0, printed.stdout[-2000:])
