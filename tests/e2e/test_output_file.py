"""End-to-end tests of what a run of hex2ver leaves at its output path: the permissions of a replaced file, links,
the output file's lack of a name until it is complete, the named temporary file where a file system refuses unnamed
ones, and the files left after a run ended at any moment, by SIGKILL or TerminateProcess as well.

The program and the way it is run come from the environment, as hex2ver_run.py says; HEX2VER_TERMINATE_WHEN names
the Windows helper that ends a program with TerminateProcess; HEX2VER_NO_CTRL_C says that Wine does not deliver
Ctrl+C reliably there.
"""
import fnmatch
import glob
import os
import random
import shutil
import signal
import stat
import subprocess
import tempfile
import time
import unittest

from hex2ver_run import EMULATOR, PROGRAM, SMALL, SMALL_VER, WINDOWS, Hex2verCase
from hexfiles import hex_text, record

TERMINATE_WHEN = os.environ.get("HEX2VER_TERMINATE_WHEN")
NO_CTRL_C = bool(os.environ.get("HEX2VER_NO_CTRL_C"))


def open_outputs(pid, directory):
    """The descriptors, as /proc paths, and their links, of the files in directory other than the HEX file that the
    process holds open; an unnamed file's link ends in " (deleted)"."""
    fds = "/proc/%d/fd" % pid
    found = []
    for fd in os.listdir(fds):
        try:
            link = os.readlink(os.path.join(fds, fd))
        except OSError:  # closed meanwhile
            continue
        if link.startswith(directory + "/") and not link.endswith("/fw.hex"):
            found.append((os.path.join(fds, fd), link))
    return found


@unittest.skipIf(WINDOWS, "POSIX permissions, links and signals")
class FileSafetyTest(Hex2verCase):
    def test_replacing_keeps_the_permissions(self):
        self.write("fw.hex", hex_text(SMALL))
        self.write("fw.ver", b"old\r\n", mode=0o604)
        self.assertEqual(self.run_hex2ver("fw.hex", "8"), (0, b""))
        self.assertEqual(self.read("fw.ver"), SMALL_VER)
        self.assertEqual(stat.S_IMODE(os.stat(self.path("fw.ver")).st_mode), 0o604)
        self.assert_files(["fw.hex", "fw.ver"])

    def test_new_file_follows_the_umask(self):
        self.write("fw.hex", hex_text(SMALL))
        old = os.umask(0o027)
        try:
            self.assertEqual(self.run_hex2ver("fw.hex", "8"), (0, b""))
        finally:
            os.umask(old)
        self.assertEqual(stat.S_IMODE(os.stat(self.path("fw.ver")).st_mode), 0o640)

    def test_symbolic_link_output_updates_its_target(self):
        os.mkdir(self.path("images"))
        self.write("images/target.ver", b"old\r\n")
        self.write("fw.hex", hex_text(SMALL))
        os.symlink("images/target.ver", self.path("fw.ver"))
        self.assertEqual(self.run_hex2ver("fw.hex", "8"), (0, b""))
        self.assertTrue(os.path.islink(self.path("fw.ver")))
        self.assertEqual(self.read("images/target.ver"), SMALL_VER)
        self.assertEqual(sorted(os.listdir(self.path("images"))), ["target.ver"])

    def start_blocked_in_the_load(self):
        """Starts hex2ver on a FIFO that holds one record, so that it waits in the load with its output open."""
        os.mkfifo(self.path("fw.hex"))
        child = subprocess.Popen([PROGRAM, "fw.hex", "8"], cwd=self.dir, stdout=subprocess.DEVNULL)
        writer = open(self.path("fw.hex"), "w")
        self.addCleanup(writer.close)
        writer.write(record(0x00, 0, b"\x01") + "\r\n")
        writer.flush()
        return child

    def test_output_has_no_name_until_it_is_complete(self):
        self.write("fw.ver", b"previous\r\n")
        child = self.start_blocked_in_the_load()
        deadline = time.monotonic() + 10
        while not open_outputs(child.pid, self.dir):
            self.assertLess(time.monotonic(), deadline, "the output should be open during the load")
            time.sleep(0.01)
        self.assertTrue(all(link.endswith(" (deleted)") for _, link in open_outputs(child.pid, self.dir)))
        self.assert_files(["fw.hex", "fw.ver"])
        child.kill()
        self.assertEqual(child.wait(timeout=10), -signal.SIGKILL)
        self.assert_files(["fw.hex", "fw.ver"])
        self.assertEqual(self.read("fw.ver"), b"previous\r\n")


@unittest.skipIf(WINDOWS, "POSIX file systems and signals")
class NamedTemporaryFileTest(FileSafetyTest):
    """On a file system that refuses unnamed files (a FUSE one: bindfs) the output is a named temporary file beside
    its target until it is complete, and the clean-up of the catchable signals removes it. The tests of
    FileSafetyTest run there too."""

    def setUp(self):
        super().setUp()
        if not shutil.which("bindfs"):
            self.skipTest("no bindfs (Debian package bindfs)")
        self.source = tempfile.mkdtemp(prefix="hex2ver-fuse-")
        self.addCleanup(shutil.rmtree, self.source, True)
        mounted = subprocess.run(["bindfs", self.source, self.dir], capture_output=True)
        if mounted.returncode != 0:
            self.skipTest("cannot mount bindfs here: " + mounted.stderr.decode(errors="replace").strip())
        self.addCleanup(subprocess.run, ["umount", self.dir])
        try:
            os.close(os.open(self.dir, os.O_TMPFILE | os.O_WRONLY, 0o600))
            self.skipTest("this FUSE file system takes unnamed files")
        except OSError:
            pass

    def test_output_has_no_name_until_it_is_complete(self):
        self.skipTest("a named temporary file here")

    def test_catchable_signals_remove_the_temporary_file(self):
        self.write("fw.ver", b"previous\r\n")
        for sig in [signal.SIGINT, signal.SIGTERM, signal.SIGHUP, signal.SIGQUIT]:
            with self.subTest(signal=sig.name):
                child = self.start_blocked_in_the_load()
                deadline = time.monotonic() + 10
                while len(os.listdir(self.dir)) < 3:
                    self.assertLess(time.monotonic(), deadline, "the temporary output should exist during the load")
                    time.sleep(0.01)
                self.assertTrue(fnmatch.fnmatch(sorted(os.listdir(self.dir))[-1], "fw.ver.??????"))
                child.send_signal(sig)
                self.assertEqual(child.wait(timeout=10), -sig)
                self.assert_files(["fw.hex", "fw.ver"])
                self.assertEqual(self.read("fw.ver"), b"previous\r\n")
                os.remove(self.path("fw.hex"))


class EndedRunTest(Hex2verCase):
    """A large conversion ended at any moment, by SIGKILL or TerminateProcess, or by SIGINT or Ctrl+C, leaves the HEX
    file and either the previous word image file unchanged or the whole new one, and nothing else."""

    FLASH_SIZE = 16 << 20

    @classmethod
    def setUpClass(cls):
        data = random.Random(14).randbytes(cls.FLASH_SIZE)
        cls.hex = hex_text({0: data}, record_size=32).encode()

    def setUp(self):
        super().setUp()
        self.write("fw.hex", self.hex)

    def output_size(self, child):
        """How much of its output the running child has written, or None while it has no output open: on Windows
        its temporary file in the directory, elsewhere the file it writes, named or not, found through /proc."""
        if WINDOWS:
            sizes = [os.stat(path).st_size for path in glob.glob(os.path.join(self.dir, "~h2v*.tmp"))]
            return max(sizes) if sizes else None
        for descriptor, _ in open_outputs(child.pid, self.dir):
            try:
                return os.stat(descriptor).st_size
            except OSError:  # closed meanwhile
                pass
        return None

    def end_when_written(self, fraction, how):
        """Runs the conversion and ends it as soon as its output holds that fraction of the word image, unless the
        run ends first; True when it was ended. how is "kill" (SIGKILL, or TerminateProcess on Windows) or
        "interrupt" (SIGINT, which Wine delivers as Ctrl+C)."""
        arguments = ["fw.hex", str(self.FLASH_SIZE)]
        written = int(fraction * self.FLASH_SIZE * 3)
        # No pipes: a Wine process that a run happens to start (explorer.exe) would hold them open.
        quiet = dict(cwd=self.dir, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if WINDOWS and how == "kill":
            command_line = " ".join(['"Z:%s"' % PROGRAM.replace("/", "\\")] + arguments)
            done = subprocess.run(EMULATOR + [TERMINATE_WHEN, "~h2v*.tmp", str(written), command_line], timeout=600,
                                  **quiet)
            self.assertIn(done.returncode, (0, 1))
            return done.returncode == 0
        child = subprocess.Popen(EMULATOR + [PROGRAM] + arguments, **quiet)
        while child.poll() is None:
            size = self.output_size(child)
            if size is not None and size >= written:
                child.send_signal(signal.SIGKILL if how == "kill" else signal.SIGINT)
                child.wait(timeout=600)
                return True
            time.sleep(0.001)
        return False

    def test_run_ended_at_any_moment_leaves_old_or_new(self):
        self.assertEqual(self.run_hex2ver("fw.hex", str(self.FLASH_SIZE)), (0, b""))
        complete = self.read("fw.ver")
        os.remove(self.path("fw.ver"))
        for how in ["kill"] + ([] if NO_CTRL_C else ["interrupt"]):
            ended = 0
            # From the output's opening, during the load, to its last write and the move into place.
            for fraction in [0, 0.25, 0.5, 0.75, 1]:
                for previous in [None, b"previous\r\n"]:
                    with self.subTest(how=how, fraction=fraction, previous=previous):
                        if previous:
                            self.write("fw.ver", previous)
                        ended += self.end_when_written(fraction, how)
                        files = sorted(os.listdir(self.dir))
                        leftovers = {name: self.read(name) for name in files if name not in ("fw.hex", "fw.ver")}
                        for name in leftovers:
                            os.remove(self.path(name))
                            files.remove(name)
                        for name, content in leftovers.items():
                            # What a kill may leave, in an instant of the run: the whole new file, given a name beside
                            # the previous one and about to be moved over it; on Windows also the new file just made,
                            # before it is marked for deletion.
                            self.assertEqual(how, "kill", name)
                            self.assertIn(content, [b"", complete] if WINDOWS else [complete], name)
                            self.assertTrue(previous or WINDOWS, name)
                        self.assertIn(files, [["fw.hex"], ["fw.hex", "fw.ver"]])
                        if files == ["fw.hex", "fw.ver"]:
                            self.assertIn(self.read("fw.ver"), [previous, complete] if previous else [complete])
                            os.remove(self.path("fw.ver"))
                        else:
                            self.assertIsNone(previous, "the previous word image file is lost")
            self.assertGreaterEqual(ended, 6, "too few runs were ended before their end")


if __name__ == "__main__":
    unittest.main()
