"""End-to-end tests of hex2ver's dialog mode on Windows, under Wine: the real open-file dialog and message box,
driven on a virtual display with Xvfb and xdotool.

HEX2VER names the program, HEX2VER_EMULATOR the command that runs it, HEX2VER_WINESERVER the Wine server of the same
prefix. The tests restart that server with a desktop on the virtual display, so they must run alone.
"""
import os
import shutil
import subprocess
import tempfile
import time
import unittest

PROGRAM = os.environ["HEX2VER"]
EMULATOR = os.environ.get("HEX2VER_EMULATOR", "").split()
WINESERVER = os.environ.get("HEX2VER_WINESERVER", "").split()
QUESTION = "Введите размер FLASH памяти (байт):\n".encode("cp866").replace(b"\n", b"\r\n")


@unittest.skipUnless(WINESERVER and shutil.which("Xvfb") and shutil.which("xdotool"),
                     "the Windows dialogs are driven on a virtual display with Xvfb and xdotool")
class DrivenWindowsDialogTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        # The server holds none of the test's output open, so that a failed set-up cannot leave the test's caller
        # waiting for it; cleanups run even when the set-up fails.
        read_end, write_end = os.pipe()
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten",
                                 "tcp"], pass_fds=[write_end], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        cls.addClassCleanup(xvfb.wait)
        cls.addClassCleanup(xvfb.kill)
        os.close(write_end)
        with os.fdopen(read_end) as display:
            cls.env = dict(os.environ, DISPLAY=":" + display.readline().strip())
        # Back to a Wine without a display for whatever runs next.
        cls.addClassCleanup(cls.restart_wine, {k: v for k, v in os.environ.items() if k != "DISPLAY"})
        cls.restart_wine(cls.env)

    @staticmethod
    def restart_wine(env):
        """Ends the prefix's Wine server and starts a lasting one whose desktop is on the display of env, if any.
        Its own processes get no standard files of a test, so that none holds a test's output open."""
        quiet = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
        subprocess.run(WINESERVER + ["-k"], **quiet)
        subprocess.run(WINESERVER + ["-w"], **quiet)
        subprocess.run(WINESERVER + ["-p"], check=True, **quiet)
        subprocess.run(EMULATOR + ["cmd", "/c", "exit"], env=env, check=True, **quiet)

    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="hex2ver-dialog-")
        self.addCleanup(shutil.rmtree, self.dir, True)

    def xdotool(self, *args):
        return subprocess.run(["xdotool"] + list(args), env=self.env, capture_output=True, timeout=60)

    def focus_window(self, child, title="."):
        """Waits for a visible window of the child whose title matches and gives it the keyboard. Windows come and
        go while Wine sets up a dialog, so the search is repeated until one takes the focus."""
        deadline = time.monotonic() + 60
        while time.monotonic() < deadline:
            found = self.xdotool("search", "--all", "--onlyvisible", "--pid", str(child.pid), "--name", title)
            for window in found.stdout.split()[::-1]:
                if self.xdotool("windowfocus", "--sync", window).returncode == 0:
                    return
            time.sleep(0.2)
        self.fail("no window titled %r appeared" % title)

    def start(self):
        child = subprocess.Popen(EMULATOR + [PROGRAM], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                 stderr=subprocess.DEVNULL, cwd=self.dir, env=self.env)
        self.addCleanup(child.kill)
        return child

    def test_picked_damaged_file_is_reported_in_a_message_box(self):
        with open(os.path.join(self.dir, "bad.hex"), "w") as f:
            f.write("garbage\r\n")
        child = self.start()
        self.focus_window(child)
        self.xdotool("type", "--delay", "50", "bad.hex")
        self.xdotool("key", "Return")
        child.stdin.write(b"8\n")
        child.stdin.flush()
        self.focus_window(child, "^Ошибка!$")
        self.xdotool("key", "Return")
        out, _ = child.communicate(timeout=60)
        self.assertEqual((child.returncode, out), (1, QUESTION))
        self.assertEqual(os.listdir(self.dir), ["bad.hex"])

    def test_cancelled_dialog_ends_quietly(self):
        child = self.start()
        self.focus_window(child)
        self.xdotool("key", "Escape")
        out, _ = child.communicate(b"8\n", timeout=60)
        self.assertEqual((child.returncode, out), (0, b""))
        self.assertEqual(os.listdir(self.dir), [])


if __name__ == "__main__":
    unittest.main()
