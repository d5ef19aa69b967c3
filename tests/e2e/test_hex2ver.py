"""End-to-end tests: run the built hex2ver on small files and check its output, exit status and the files left.

HEX2VER names the program. For a Windows build, HEX2VER_EMULATOR names the program that runs it (wine64) and
HEX2VER_CONSOLE_ENCODING the console's code page (cp866); console lines then end in CR LF. HEX2VER_SANITIZED says
the program was built with AddressSanitizer, which cannot start under a data size limit; the allocation failure is
then brought about through its own allocator. HEX2VER_TERMINATE_WHEN names the Windows helper that ends a program
with TerminateProcess.
"""
import fnmatch
import glob
import os
import random
import re
import resource
import shutil
import signal
import stat
import subprocess
import tempfile
import time
import unittest

from hexfiles import END, hex_text, record, word_image

PROGRAM = os.environ["HEX2VER"]
EMULATOR = os.environ.get("HEX2VER_EMULATOR", "").split()
CONSOLE_ENCODING = os.environ.get("HEX2VER_CONSOLE_ENCODING", "utf-8")
WINDOWS = bool(EMULATOR)
SANITIZED = bool(os.environ.get("HEX2VER_SANITIZED"))
TERMINATE_WHEN = os.environ.get("HEX2VER_TERMINATE_WHEN")
POSIX_ONLY = unittest.skipIf(WINDOWS, "a POSIX file system behaviour")
IS_ROOT = hasattr(os, "geteuid") and os.geteuid() == 0

QUESTION = "Введите размер FLASH памяти (байт):\n"
TOO_BIG = "Размер HEX файла больше объёма FLASH памяти."
BAD_SUM = "Ошибка контрольной суммы."
DAMAGED = "HEX файл повреждён."


def console(text):
    data = text.encode(CONSOLE_ENCODING)
    return data.replace(b"\n", b"\r\n") if WINDOWS else data


def message(text):
    return console("\n" + text + "\n")


def not_found(path):
    return message('Не найден файл "%s"!' % path)


def cannot_create(path):
    return message('Невозможно создать файл "%s"!' % path)


def write_failed(path):
    return message('Ошибка записи в файл "%s"!' % path)


SMALL = {0: bytes([0x01, 0x02, 0x03, 0x04])}
SMALL_VER = b"0102\r\n0304\r\nFFFF\r\nFFFF\r\n"


class Hex2verCase(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="hex2ver-e2e-")
        self.addCleanup(shutil.rmtree, self.dir, True)

    def path(self, name):
        return os.path.join(self.dir, name)

    def write(self, name, content, mode=None):
        with open(self.path(name), "wb") as f:
            f.write(content.encode("ascii") if isinstance(content, str) else content)
        if mode is not None:
            os.chmod(self.path(name), mode)

    def read(self, name):
        with open(self.path(name), "rb") as f:
            return f.read()

    def run_hex2ver(self, *args, stdin=b"", limit_memory=None, cwd=None, locale=None):
        """Runs hex2ver to its end; returns its exit status and standard output. A Windows program runs in the
        locale given, if any, instead of the Russian one."""
        def limits():
            resource.setrlimit(resource.RLIMIT_DATA, (limit_memory, limit_memory))

        env, preexec = None, None
        if limit_memory and SANITIZED:
            env = dict(os.environ)
            env["ASAN_OPTIONS"] = env.get("ASAN_OPTIONS", "") + ":max_allocation_size_mb=%d" % (limit_memory >> 20)
        elif limit_memory:
            preexec = limits
        emulator = EMULATOR
        if locale:
            emulator = [re.sub(r"^(LANG|LC_ALL)=.*", r"\1=" + locale, word) for word in EMULATOR]
        done = subprocess.run(emulator + [PROGRAM] + list(args), input=stdin, capture_output=True,
                              cwd=cwd or self.dir, timeout=120, preexec_fn=preexec, env=env)
        return done.returncode, done.stdout

    def assert_files(self, names):
        """The directory holds exactly these files: nothing created, no temporary file left."""
        self.assertEqual(sorted(os.listdir(self.dir)), sorted(names))


class ConversionTest(Hex2verCase):
    def test_size_argument_converts_without_reading_stdin(self):
        self.write("fw.hex", hex_text(SMALL))
        self.assertEqual(self.run_hex2ver("fw.hex", "8", stdin=b"16\n"), (0, b""))
        self.assertEqual(self.read("fw.ver"), SMALL_VER)
        self.assert_files(["fw.hex", "fw.ver"])

    def test_default_size_is_8192_bytes(self):
        self.write("fw.hex", hex_text({0x1FFE: b"\x12\x34"}))
        for size_argument in ["abc", "", "-", "+"]:
            with self.subTest(size_argument=size_argument):
                self.assertEqual(self.run_hex2ver("fw.hex", size_argument), (0, b""))
                ver = self.read("fw.ver")
                self.assertEqual(len(ver), 4096 * 6)
                self.assertEqual(ver[:6], b"FFFF\r\n")
                self.assertEqual(ver[-6:], b"1234\r\n")

    def test_size_is_asked_when_only_the_file_is_given(self):
        self.write("fw.hex", hex_text(SMALL))
        for answer, lines in [(b"8\n", 4), (b"\n\n  \r\n\t8\n", 4), (b"+6", 3), (b"size\n", 4096), (b"", 4096)]:
            with self.subTest(answer=answer):
                self.assertEqual(self.run_hex2ver("fw.hex", stdin=answer), (0, console(QUESTION)))
                self.assertEqual(len(self.read("fw.ver")), lines * 6)

    def test_hexadecimal_size_reads_as_zero(self):
        self.write("data.hex", hex_text(SMALL))
        self.assertEqual(self.run_hex2ver("data.hex", "0x2000"), (1, message(TOO_BIG)))
        self.write("empty.hex", END + "\r\n")
        self.assertEqual(self.run_hex2ver("empty.hex", "0x2000"), (0, b""))
        self.assertEqual(self.read("empty.ver"), b"")
        self.assert_files(["data.hex", "empty.hex", "empty.ver"])

    def test_further_arguments_change_nothing(self):
        self.write("fw.hex", hex_text(SMALL))
        self.assertEqual(self.run_hex2ver("fw.hex", "8", "16", "-x"), (0, b""))
        self.assertEqual(self.read("fw.ver"), SMALL_VER)

    def test_odd_size_ends_with_erased_byte(self):
        self.write("fw.hex", hex_text({0: b"\xAA\xBB\xCC"}))
        self.assertEqual(self.run_hex2ver("fw.hex", "3"), (0, b""))
        self.assertEqual(self.read("fw.ver"), b"AABB\r\nCCFF\r\n")

    def test_large_image_matches_byte_for_byte(self):
        rng = random.Random(2026)
        chunks = {address: bytes(rng.randrange(256) for _ in range(rng.randrange(1, 3000)))
                  for address in rng.sample(range(0, 1 << 20, 4096), 120)}
        for name, line_end in [("crlf", "\r\n"), ("lf", "\n")]:
            with self.subTest(line_end=name):
                self.write(name + ".hex", hex_text(chunks, line_end=line_end, record_size=32))
                self.assertEqual(self.run_hex2ver(name + ".hex", str(1 << 20)), (0, b""))
                self.assertEqual(self.read(name + ".ver"), word_image(chunks, 1 << 20))

    @unittest.skipUnless(WINDOWS, "double-byte ANSI code pages are a Windows matter")
    def test_double_byte_characters_in_the_file_name(self):
        # In code page 932 (Japanese) 表 is 95 5C: its second byte is a backslash.
        for typed, written in [("data.表", "data.ver"), ("a.b表c", "a.ver")]:
            with self.subTest(typed=typed):
                self.write(typed, hex_text(SMALL))
                self.assertEqual(self.run_hex2ver(typed, "8", locale="ja_JP.UTF-8"), (0, b""))
                self.assertEqual(self.read(written), SMALL_VER)
                self.assert_files([typed, written])
                os.remove(self.path(typed))
                os.remove(self.path(written))

    def test_path_in_another_directory(self):
        os.mkdir(self.path("sub.d"))
        self.write("sub.d/main", hex_text(SMALL))
        self.assertEqual(self.run_hex2ver("sub.d/main", "8"), (0, b""))
        self.assertEqual(self.read("sub.d/main.ver"), SMALL_VER)


class LoadFailureTest(Hex2verCase):
    CASES = [
        ("too big", hex_text({8: b"\x00"}), TOO_BIG),
        ("bad checksum", record(0x00, 0, b"\x11\x22")[:-2] + "00\r\n" + END + "\r\n", BAD_SUM),
        ("not hex", ":02000000112G00\r\n", DAMAGED),
        ("no end record", record(0x00, 0, b"\x11") + "\r\n", DAMAGED),
        ("blank line", "\r\n" + END + "\r\n", DAMAGED),
        ("empty file", "", DAMAGED),
        ("type 06", record(0x06, 0) + "\r\n", DAMAGED),
        ("binary", bytes(range(256)) * 4, DAMAGED),
    ]

    def test_each_failure_prints_its_message_and_writes_nothing(self):
        for name, text, expected in self.CASES:
            with self.subTest(name):
                self.write("fw.hex", text)
                self.assertEqual(self.run_hex2ver("fw.hex", "8"), (1, message(expected)))
                self.assert_files(["fw.hex"])

    def test_previous_word_image_survives_a_failed_load(self):
        self.write("fw.ver", b"previous\r\n", mode=0o640)
        for name, text, expected in self.CASES:
            with self.subTest(name):
                self.write("fw.hex", text)
                self.assertEqual(self.run_hex2ver("fw.hex", "8"), (1, message(expected)))
                self.assertEqual(self.read("fw.ver"), b"previous\r\n")
                if not WINDOWS:
                    self.assertEqual(stat.S_IMODE(os.stat(self.path("fw.ver")).st_mode), 0o640)
                self.assert_files(["fw.hex", "fw.ver"])


class OpenFailureTest(Hex2verCase):
    def test_missing_input_names_the_path_as_typed(self):
        for typed in ["none.hex", "sub/../none.hex", "./нет.hex", ""]:
            with self.subTest(typed=typed):
                self.assertEqual(self.run_hex2ver(typed, "8"), (1, not_found(typed)))
                self.assert_files([])

    def test_directory_as_input_is_not_found(self):
        os.mkdir(self.path("fw.hex"))
        self.assertEqual(self.run_hex2ver("fw.hex", "8"), (1, not_found("fw.hex")))
        self.assert_files(["fw.hex"])

    @unittest.skipIf(IS_ROOT or WINDOWS, "root reads any file; a POSIX permission")
    def test_unreadable_input_is_not_found(self):
        self.write("fw.hex", hex_text(SMALL), mode=0)
        self.assertEqual(self.run_hex2ver("fw.hex", "8"), (1, not_found("fw.hex")))

    def test_input_named_ver_is_not_overwritten(self):
        self.write("fw.ver", hex_text(SMALL))
        self.assertEqual(self.run_hex2ver("fw.ver", "8"), (1, cannot_create("fw.ver")))
        self.assertEqual(self.read("fw.ver"), hex_text(SMALL).encode())

    def test_output_that_is_a_directory(self):
        self.write("fw.hex", hex_text(SMALL))
        os.mkdir(self.path("fw.ver"))
        self.assertEqual(self.run_hex2ver("fw.hex", "8"), (1, cannot_create("fw.ver")))
        self.assert_files(["fw.hex", "fw.ver"])

    def test_read_only_output_is_kept(self):
        self.write("fw.hex", hex_text(SMALL))
        self.write("fw.ver", b"keep me\r\n")
        if WINDOWS:
            subprocess.run(EMULATOR + ["cmd", "/c", "attrib", "+r", "fw.ver"], cwd=self.dir, check=True,
                           capture_output=True)
        else:
            os.chmod(self.path("fw.ver"), 0o444)
        self.assertEqual(self.run_hex2ver("fw.hex", "8"), (1, cannot_create("fw.ver")))
        self.assertEqual(self.read("fw.ver"), b"keep me\r\n")
        self.assert_files(["fw.hex", "fw.ver"])

    def test_path_too_long_for_the_system(self):
        typed = "x" * 300 + ".hex"
        self.assertEqual(self.run_hex2ver(typed, "8"), (1, not_found(typed)))
        self.assert_files([])

    @unittest.skipUnless(WINDOWS, "Windows file names ignore case")
    def test_input_whose_name_differs_from_its_output_only_in_case(self):
        self.write("FW.VER", hex_text(SMALL))
        self.assertEqual(self.run_hex2ver("FW.VER", "8"), (1, cannot_create("FW.ver")))
        self.assertEqual(self.read("FW.VER"), hex_text(SMALL).encode())
        self.assert_files(["FW.VER"])

    def test_first_failure_wins(self):
        os.mkdir(self.path("none.ver"))
        self.assertEqual(self.run_hex2ver("none.hex", "8"), (1, not_found("none.hex")))

    @POSIX_ONLY
    def test_output_that_is_the_input_through_a_hard_link(self):
        self.write("fw.hex", hex_text(SMALL))
        os.link(self.path("fw.hex"), self.path("fw.ver"))
        self.assertEqual(self.run_hex2ver("fw.hex", "8"), (1, cannot_create("fw.ver")))
        self.assertEqual(self.read("fw.hex"), hex_text(SMALL).encode())

    @POSIX_ONLY
    def test_output_that_is_no_regular_file(self):
        self.write("fw.hex", hex_text(SMALL))
        os.mkfifo(self.path("fw.ver"))
        self.assertEqual(self.run_hex2ver("fw.hex", "8"), (1, cannot_create("fw.ver")))
        self.assertTrue(stat.S_ISFIFO(os.stat(self.path("fw.ver")).st_mode))
        self.assert_files(["fw.hex", "fw.ver"])

    @POSIX_ONLY
    def test_directory_that_refuses_new_files(self):
        # Nobody, root included, creates files in /proc; the input there is readable.
        self.assertEqual(self.run_hex2ver("/proc/self/status", "8"), (1, cannot_create("/proc/self/status.ver")))


class ResourceFailureTest(Hex2verCase):
    def test_allocation_failure_is_reported(self):
        self.write("fw.hex", hex_text(SMALL))
        for size in ["-1", "3000000000"]:
            with self.subTest(size=size):
                code, out = self.run_hex2ver("fw.hex", size, limit_memory=512 << 20)
                expected = "Недостаточно памяти для образа FLASH памяти (%d байт)." % (int(size) % (1 << 32))
                self.assertEqual((code, out), (1, message(expected)))
                self.assert_files(["fw.hex"])

    def test_full_disk_is_reported_and_nothing_is_lost(self):
        mount = tempfile.mkdtemp(prefix="hex2ver-full-")
        self.addCleanup(os.rmdir, mount)
        mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=64k", "tmpfs", mount], capture_output=True)
        if mounted.returncode != 0:
            self.skipTest("cannot mount a small tmpfs here: " + mounted.stderr.decode(errors="replace").strip())
        self.addCleanup(subprocess.run, ["umount", mount])
        with open(os.path.join(mount, "fw.hex"), "w") as f:
            f.write(hex_text(SMALL))
        for previous in [None, b"previous\r\n"]:
            with self.subTest(previous=previous):
                if previous:
                    with open(os.path.join(mount, "fw.ver"), "wb") as f:
                        f.write(previous)
                # 65536 bytes of FLASH give 196608 bytes of text: more than the file system holds.
                self.assertEqual(self.run_hex2ver("fw.hex", "65536", cwd=mount), (1, write_failed("fw.ver")))
                self.assertEqual(sorted(os.listdir(mount)), ["fw.hex"] + (["fw.ver"] if previous else []))
                if previous:
                    with open(os.path.join(mount, "fw.ver"), "rb") as f:
                        self.assertEqual(f.read(), previous)


class ConsoleOutputTest(Hex2verCase):
    """Standard output full (/dev/full) or closed: what hex2ver prints goes to standard error instead."""

    def run_refused(self, refusal, *args, stdin=b""):
        """Runs hex2ver with standard output refusing every write; returns its exit status and standard error."""
        with open(os.devnull if refusal == "closed" else "/dev/full", "wb") as refusing:
            done = subprocess.run(EMULATOR + [PROGRAM] + list(args), input=stdin, stdout=refusing,
                                  stderr=subprocess.PIPE, cwd=self.dir, timeout=120,
                                  preexec_fn=(lambda: os.close(1)) if refusal == "closed" else None)
        return done.returncode, done.stderr

    def test_message_goes_to_standard_error(self):
        self.write("bad.hex", ":0G\r\n")
        for refusal in ["full", "closed"]:
            with self.subTest(refusal=refusal):
                self.assertEqual(self.run_refused(refusal, "none.hex", "8"), (1, not_found("none.hex")))
                self.assertEqual(self.run_refused(refusal, "bad.hex", "8"), (1, message(DAMAGED)))
                self.assert_files(["bad.hex"])

    def test_size_question_that_cannot_be_printed_does_not_stop_the_run(self):
        self.write("fw.hex", hex_text(SMALL))
        for refusal in ["full", "closed"]:
            with self.subTest(refusal=refusal):
                self.assertEqual(self.run_refused(refusal, "fw.hex", stdin=b"8\n"), (0, console(QUESTION)))
                self.assertEqual(self.read("fw.ver"), SMALL_VER)

    def test_successful_run_does_not_care(self):
        self.write("fw.hex", hex_text(SMALL))
        for refusal in ["full", "closed"]:
            with self.subTest(refusal=refusal):
                self.assertEqual(self.run_refused(refusal, "fw.hex", "8"), (0, b""))
                self.assertEqual(self.read("fw.ver"), SMALL_VER)
                self.assert_files(["fw.hex", "fw.ver"])


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

    def output_descriptors(self, child):
        """The files in the test's directory that child holds open for writing, as /proc shows them."""
        fds = "/proc/%d/fd" % child.pid
        links = [os.readlink(os.path.join(fds, fd)) for fd in os.listdir(fds)]
        return [link for link in links if link.startswith(self.dir + "/") and not link.endswith("/fw.hex")]

    def test_output_has_no_name_until_it_is_complete(self):
        self.write("fw.ver", b"previous\r\n")
        child = self.start_blocked_in_the_load()
        deadline = time.monotonic() + 10
        while not self.output_descriptors(child):
            self.assertLess(time.monotonic(), deadline, "the output should be open during the load")
            time.sleep(0.01)
        self.assertTrue(all(link.endswith(" (deleted)") for link in self.output_descriptors(child)))
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
        fds = "/proc/%d/fd" % child.pid
        for fd in os.listdir(fds):
            try:
                link = os.readlink(os.path.join(fds, fd))
                if link.startswith(self.dir + "/") and not link.endswith("/fw.hex"):
                    return os.stat(os.path.join(fds, fd)).st_size
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
        for how in ["kill", "interrupt"]:
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
