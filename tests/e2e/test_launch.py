"""End-to-end tests: run the built launch with small helper programs and check what it echoes and starts.

LAUNCH names the program; RECORD_ARGS, SLEEP_THEN_MARK and LIST_FDS the helpers. For a Windows build,
LAUNCH_EMULATOR names the program that runs it (wine64); console lines then end in CR LF. LAUNCH_UNDER_QEMU says that
the program runs under qemu's user-mode emulation.
"""
import os
import shutil
import stat
import subprocess
import tempfile
import time
import unittest

LAUNCH = os.environ["LAUNCH"]
RECORD_ARGS = os.environ["RECORD_ARGS"]
SLEEP_THEN_MARK = os.environ["SLEEP_THEN_MARK"]
LIST_FDS = os.environ.get("LIST_FDS")
EMULATOR = os.environ.get("LAUNCH_EMULATOR", "").split()
WINDOWS = bool(EMULATOR)
# qemu's user-mode emulation runs the vfork of posix_spawn as a fork: a failed exec cannot be reported there.
EXEC_FAILURE_UNSEEN = unittest.skipIf(os.environ.get("LAUNCH_UNDER_QEMU"),
                                      "under qemu posix_spawn cannot report a failed exec")
NEWLINE = b"\r\n" if WINDOWS else b"\n"
# Arguments reach a Windows program in its ANSI code page, and launch echoes them unconverted.
ENCODING = "cp1251" if WINDOWS else "utf-8"


def lines(*texts):
    return b"".join(text.encode(ENCODING) + NEWLINE for text in texts)


def recorded(*arguments, env="(unset)"):
    """What record_args prints for these arguments."""
    return lines("argc=%d" % len(arguments), *["[%s]" % a for a in arguments], "env=" + env)


class LaunchCase(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="launch-e2e-")
        self.addCleanup(shutil.rmtree, self.dir, True)

    def launch(self, *args, **kwargs):
        """Runs launch and waits for it and for everything it started to close standard output."""
        kwargs.setdefault("capture_output", True)
        done = subprocess.run(EMULATOR + [LAUNCH] + list(args), cwd=self.dir, timeout=60, **kwargs)
        return done.returncode, done.stdout, done.stderr


class EchoTest(LaunchCase):
    def test_no_arguments_prints_and_starts_nothing(self):
        self.assertEqual(self.launch(), (0, b"", b""))

    def test_blank_command_lines_are_echoed_and_start_nothing(self):
        for args in [[""], ["", ""], [" \t "]]:
            with self.subTest(args=args):
                self.assertEqual(self.launch(*args), (0, (" ".join(args)).encode() + NEWLINE, b""))

    def test_echo_comes_before_the_started_programs_output_in_a_file(self):
        out_path = os.path.join(self.dir, "out.txt")
        with open(out_path, "wb") as out:
            code = subprocess.run(EMULATOR + [LAUNCH, RECORD_ARGS, "x"], stdout=out, cwd=self.dir,
                                  timeout=60).returncode
        self.assertEqual(code, 0)
        deadline = time.monotonic() + 20
        expected = lines(RECORD_ARGS + " x") + recorded("x")
        while time.monotonic() < deadline:
            with open(out_path, "rb") as f:
                content = f.read()
            if len(content) >= len(expected):
                break
            time.sleep(0.05)
        self.assertEqual(content, expected)


class RefusedEchoTest(LaunchCase):
    """Standard output full (/dev/full) or closed: the echo cannot be written, so nothing is started."""

    def start_marking(self, name, refusal=None):
        """Starts launch on a program that at once writes the file name; standard output refuses every write when
        refusal is "full" or "closed"."""
        stdout = open(os.devnull if refusal != "full" else "/dev/full", "wb")
        self.addCleanup(stdout.close)
        return subprocess.Popen(EMULATOR + [LAUNCH, SLEEP_THEN_MARK, "0", name], cwd=self.dir, stdout=stdout,
                                stderr=subprocess.PIPE,
                                preexec_fn=(lambda: os.close(1)) if refusal == "closed" else None)

    def test_nothing_is_started(self):
        reasons = {"full": b"No space left on device", "closed": b"Bad file descriptor"}
        for refusal in ["full", "closed"]:
            with self.subTest(refusal=refusal):
                working = self.start_marking("started-" + refusal)
                refused = self.start_marking("not-started-" + refusal, refusal)
                _, err = refused.communicate(timeout=120)
                working.communicate(timeout=120)
                self.assertEqual(working.returncode, 0)
                self.assertEqual(refused.returncode, 1)
                self.assertTrue(err.startswith(b"launch: cannot write the command line: "), err)
                self.assertTrue(err.endswith(NEWLINE) and err.count(b"\n") == 1, err)
                if not WINDOWS:
                    self.assertEqual(err, b"launch: cannot write the command line: " + reasons[refusal] + b"\n")
                # By the time the program the working launch started has left its mark, the other's would be there.
                deadline = time.monotonic() + 60
                while not os.path.exists(os.path.join(self.dir, "started-" + refusal)):
                    self.assertLess(time.monotonic(), deadline, "the working launch started nothing")
                    time.sleep(0.05)
                time.sleep(0.5)
                self.assertFalse(os.path.exists(os.path.join(self.dir, "not-started-" + refusal)))


class ArgumentsTest(LaunchCase):
    CASES = [
        # (launch's arguments after the program, what the program receives)
        (["b c"], ["b", "c"]),
        (["a", "", "b"], ["a", "b"]),
        (['""'], [""]),
        (['"two words"', "x"], ["two words", "x"]),
        (['a\\"b'], ['a"b']),
        (['a\\\\"b c"'], ["a\\b c"]),
        (["C:\\dir\\", "tab\tsep"], ["C:\\dir\\", "tab", "sep"]),
        (["прошивка.hex"], ["прошивка.hex"]),
    ]

    def test_the_command_line_is_split_by_the_windows_rules(self):
        for args, received in self.CASES:
            with self.subTest(args=args):
                code, out, err = self.launch(RECORD_ARGS, *args)
                self.assertEqual((code, err), (0, b""))
                self.assertEqual(out, lines(" ".join([RECORD_ARGS] + args)) + recorded(*received))

    def test_environment_is_inherited(self):
        env = dict(os.environ, LAUNCH_TEST_VALUE="inherited")
        code, out, _ = self.launch(RECORD_ARGS, env=env)
        self.assertEqual(out, lines(RECORD_ARGS) + recorded(env="inherited"))

    def test_very_long_command_line(self):
        # Far beyond 259 bytes; on Windows near the system's limit of 32767 characters.
        words = ["w%04d" % i + "x" * 94 for i in range(300 if WINDOWS else 2000)]
        code, out, err = self.launch(RECORD_ARGS, *words)
        self.assertEqual((code, err), (0, b""))
        self.assertEqual(out, lines(" ".join([RECORD_ARGS] + words)) + recorded(*words))


class ProcessTest(LaunchCase):
    def test_returns_at_once_while_the_program_runs_on(self):
        marker = os.path.join(self.dir, "marker")
        code, out, err = self.launch(SLEEP_THEN_MARK, "3000", "marker", stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL, capture_output=False)
        self.assertEqual(code, 0)
        self.assertFalse(os.path.exists(marker), "launch should not wait for the program")
        deadline = time.monotonic() + 30
        while not os.path.exists(marker) and time.monotonic() < deadline:
            time.sleep(0.05)
        # Written relative to the inherited working directory.
        self.assertTrue(os.path.exists(marker), "the program should run on after launch returned")

    @unittest.skipIf(WINDOWS, "POSIX descriptors")
    def test_only_standard_descriptors_are_inherited(self):
        read_end, write_end = os.pipe()
        self.addCleanup(os.close, read_end)
        self.addCleanup(os.close, write_end)
        code, out, err = self.launch(LIST_FDS, pass_fds=[read_end, write_end])
        self.assertEqual((code, err), (0, b""))
        self.assertEqual(out, lines(LIST_FDS, "0", "1", "2"))

    @EXEC_FAILURE_UNSEEN
    def test_missing_program_is_a_failure(self):
        code, out, err = self.launch("no-such-program-here", "arg")
        self.assertEqual(code, 1)
        self.assertEqual(out, lines("no-such-program-here arg"))
        self.assertTrue(err.startswith(b'launch: cannot start "no-such-program-here": '), err)
        self.assertTrue(err.endswith(NEWLINE) and err.count(b"\n") == 1, err)

    @unittest.skipIf(WINDOWS, "POSIX permissions")
    @EXEC_FAILURE_UNSEEN
    def test_file_that_is_not_executable_is_a_failure(self):
        path = os.path.join(self.dir, "plain.txt")
        with open(path, "w") as f:
            f.write("not a program\n")
        os.chmod(path, 0o644)
        code, out, err = self.launch("./plain.txt")
        self.assertEqual((code, out), (1, lines("./plain.txt")))
        self.assertEqual(err, b'launch: cannot start "./plain.txt": Permission denied\n')

    @unittest.skipIf(WINDOWS, "POSIX program lookup")
    def test_program_without_slash_is_looked_up_on_path(self):
        bin_dir = os.path.join(self.dir, "bin")
        os.mkdir(bin_dir)
        shutil.copy(RECORD_ARGS, os.path.join(bin_dir, "recorder"))
        env = dict(os.environ, PATH=bin_dir)
        code, out, err = self.launch("recorder", "z", env=env)
        self.assertEqual((code, err), (0, b""))
        self.assertEqual(out, lines("recorder z") + recorded("z"))


if __name__ == "__main__":
    unittest.main()
