"""End-to-end tests: run the built hex2ver on small files and check its output, exit status and the files left.

The program and the way it is run come from the environment, as hex2ver_run.py says.
"""
import os
import random
import stat
import subprocess
import tempfile
import unittest

from hex2ver_run import (BAD_SUM, DAMAGED, EMULATOR, IS_ROOT, POSIX_ONLY, PROGRAM, QUESTION, SMALL, SMALL_VER,
                         TOO_BIG, WINDOWS, Hex2verCase, cannot_create, console, message, not_found, write_failed)
from hexfiles import END, hex_text, record, word_image


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


if __name__ == "__main__":
    unittest.main()
