"""The communication window from Tools "Update Library": its upgrade page as
a person first sees it, and the cable check of its "MX-1090" page against
the virtual remote playing the loop-back jig."""
import os
import tempfile

from userpath import RemoteSim, UserPathCase, sensitive, wait_for


class ToolWindow(UserPathCase):

    def jig(self, *options):
        folder = tempfile.mkdtemp(prefix="orvalink-jig-")
        sim = RemoteSim(os.path.join(folder, "flash.bin"), *options)
        self.addCleanup(sim.stop)
        return sim

    def open_tools(self, p):
        dialog = self.start_dialog(p)
        p.click(p.find("Yes", ["push button"], dialog))
        wait_for("the main window's menus", lambda: self.menu_bar_usable(p))
        self.focus_main(p)
        p.key("alt+t")
        # The document was just loaded: nothing to save, so no question.
        p.click(p.wait("Update Library", ["menu item"]))
        return p.window("Communications")

    def test_upgrade_page_then_the_cable_check(self):
        sim = self.jig("--jig")
        p = self.start_program(extra_env={"ORVALINK_LINK_PORT": sim.pty + "=COM3"})
        tools = self.open_tools(p)

        # The upgrade page comes first, ready to choose a model and a source.
        self.assertIsNotNone(p.find("Upgrade Tools", None, tools))
        model = p.find("Model", ["combo box"], tools)
        self.assertTrue(sensitive(model))
        # A model chosen with the keyboard shows where the data may come from.
        p.click(model)
        p.key("Down")
        p.key("Return")
        from_file = p.wait("From File", ["radio button"], tools)
        self.assertTrue(sensitive(from_file))
        self.assertFalse(self.menu_bar_usable(p), "the main window waits under the tool window")
        p.shot("tools-upgrade-page")

        # Every page can be reached.
        for tab, control in (("File", "UnSec"), ("SerialPortTest", "Recv256"), ("Com Port", "Action")):
            p.click(p.find(tab, ["page tab"], tools))
            p.wait(control, ["push button"], tools)
            p.shot("tools-" + tab.replace(" ", "-"))

        p.click(p.find("MX-1090", ["page tab"], tools))
        action = p.wait("ACTION", ["push button"], tools)
        p.click(action)
        self.answer_message(p, "迴路正常 !")
        wait_for("ACTION usable again", lambda: sensitive(action))
        p.shot("tools-loop-back")

        # Closing the tool window gives the main window back.
        p.click(p.find("Close", ["push button"], tools))
        # (A hidden window may still count as showing on the accessibility
        # bus; the main window coming back is what tells it closed.)
        wait_for("the main window's menus", lambda: self.menu_bar_usable(p))
        p.shot("tools-closed")

    def test_no_jig_on_the_cable(self):
        sim = self.jig("--cable-only")
        p = self.start_program(extra_env={"ORVALINK_LINK_PORT": sim.pty + "=COM3"})
        tools = self.open_tools(p)
        p.click(p.find("MX-1090", ["page tab"], tools))
        p.click(p.wait("ACTION", ["push button"], tools))
        self.answer_message(p, "迴路不通 !")
