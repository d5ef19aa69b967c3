"""End-to-end tests of hex2ver started without arguments, on Linux: the file dialog and the message box through
zenity where there is a desktop (a stand-in zenity of the tests' own, first on PATH), the terminal otherwise."""
import os
import shutil
import stat
import subprocess
import tempfile
import unittest

from hexfiles import hex_text

PROGRAM = os.environ["HEX2VER"]
EMULATOR = os.environ.get("HEX2VER_EMULATOR", "").split()
WINDOWS = bool(EMULATOR)

QUESTION = "Введите размер FLASH памяти (байт):\n".encode()
PATH_QUESTION = "Введите путь к HEX файлу:\n".encode()
FILTER = "--file-filter=Intel HEX (*.hex) | *.hex"
DAMAGED = "HEX файл повреждён."

# Records its arguments, then answers: a file dialog with $ZENITY_PICK (cancelled when that is empty), an error
# box with the status $ZENITY_ERROR_STATUS (0: dismissed with OK).
FAKE_ZENITY = r"""#!/bin/sh
{ printf '%s\0' "$@"; printf '\n'; } >> "$ZENITY_LOG"
case "$1" in
  --file-selection)
    [ -n "$ZENITY_PICK" ] || exit 1
    printf '%s\n' "$ZENITY_PICK" ;;
  --error)
    exit "${ZENITY_ERROR_STATUS:-0}" ;;
esac
"""


@unittest.skipIf(WINDOWS, "zenity and the terminal stand in for the Windows dialogs on Linux only")
class DialogCase(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="hex2ver-dialog-")
        self.addCleanup(shutil.rmtree, self.dir, True)
        self.bin = tempfile.mkdtemp(prefix="hex2ver-zenity-")
        self.addCleanup(shutil.rmtree, self.bin, True)
        self.log = os.path.join(self.bin, "log")
        open(self.log, "w").close()

    def path(self, name):
        return os.path.join(self.dir, name)

    def write(self, name, text):
        with open(self.path(name), "w", newline="") as f:
            f.write(text)

    def run_hex2ver(self, stdin=b"", desktop=True, zenity=True, **env):
        environment = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        if zenity:
            fake = os.path.join(self.bin, "zenity")
            with open(fake, "w") as f:
                f.write(FAKE_ZENITY)
            os.chmod(fake, 0o755)
        # Without the stand-in, PATH holds only its empty directory, so that no real zenity is found either.
        search_path = self.bin + (os.pathsep + environment.get("PATH", "") if zenity else "")
        environment.update(PATH=search_path, ZENITY_LOG=self.log, **env)
        if desktop:
            environment.setdefault("DISPLAY", ":99")
        done = subprocess.run([PROGRAM], input=stdin, capture_output=True, cwd=self.dir, env=environment, timeout=60)
        return done.returncode, done.stdout, done.stderr

    def zenity_calls(self):
        with open(self.log, "rb") as f:
            calls = f.read().split(b"\0\n")[:-1]
        return [[argument.decode() for argument in call.split(b"\0")] for call in calls]

    def error_call(self, text):
        return ["--error", "--title=Ошибка!", "--no-markup", "--text=" + text]


class ZenityTest(DialogCase):
    def test_cancel_ends_quietly(self):
        self.assertEqual(self.run_hex2ver(stdin=b"8\n"), (0, b"", b""))
        self.assertEqual(self.zenity_calls(), [["--file-selection", FILTER]])
        self.assertEqual(os.listdir(self.dir), [])

    def test_picked_file_is_converted_with_the_size_asked_on_the_console(self):
        self.write("fw.hex", hex_text({0: b"\x01\x02"}))
        for display in [{"DISPLAY": ":5"}, {"WAYLAND_DISPLAY": "wayland-0", "DISPLAY": ""}]:
            with self.subTest(display=display):
                result = self.run_hex2ver(stdin=b"\n4\n", ZENITY_PICK=self.path("fw.hex"), **display)
                self.assertEqual(result, (0, QUESTION, b""))
                with open(self.path("fw.ver"), "rb") as f:
                    self.assertEqual(f.read(), b"0102\r\nFFFF\r\n")

    def test_damaged_file_is_reported_in_a_box_only(self):
        self.write("fw.hex", "garbage\r\n")
        self.assertEqual(self.run_hex2ver(stdin=b"8\n", ZENITY_PICK=self.path("fw.hex")), (1, QUESTION, b""))
        self.assertEqual(self.zenity_calls(), [["--file-selection", FILTER], self.error_call(DAMAGED)])
        self.assertEqual(sorted(os.listdir(self.dir)), ["fw.hex"])

    def test_message_text_is_shown_literally(self):
        picked = self.path("a<b>&amp;c.hex")
        code, out, err = self.run_hex2ver(stdin=b"8\n", ZENITY_PICK=picked)
        self.assertEqual((code, out, err), (1, QUESTION, b""))
        self.assertEqual(self.zenity_calls()[1], self.error_call('Не найден файл "%s"!' % picked))

    def test_box_closed_without_ok_leaves_the_message_on_stderr(self):
        self.write("fw.hex", "garbage\r\n")
        result = self.run_hex2ver(stdin=b"8\n", ZENITY_PICK=self.path("fw.hex"), ZENITY_ERROR_STATUS="1")
        self.assertEqual(result, (1, QUESTION, ("\n" + DAMAGED + "\n").encode()))


class TerminalTest(DialogCase):
    def test_path_and_size_from_standard_input(self):
        self.write("fw.hex", hex_text({2: b"\xAB"}))
        for stdin in [b"fw.hex\n4\n", b"fw.hex\r\n\r\n4\r\n"]:
            with self.subTest(stdin=stdin):
                self.assertEqual(self.run_hex2ver(stdin=stdin, desktop=False), (0, PATH_QUESTION + QUESTION, b""))
                with open(self.path("fw.ver"), "rb") as f:
                    self.assertEqual(f.read(), b"FFFF\r\nABFF\r\n")

    def test_no_path_is_a_cancel(self):
        for stdin in [b"", b"\n", b"\r\n8\n"]:
            with self.subTest(stdin=stdin):
                self.assertEqual(self.run_hex2ver(stdin=stdin, desktop=False), (0, PATH_QUESTION, b""))
                self.assertEqual(os.listdir(self.dir), [])

    def test_damaged_file_is_reported_on_the_console(self):
        self.write("bad.hex", ":0G\r\n")
        result = self.run_hex2ver(stdin=b"bad.hex\n8\n", desktop=False)
        self.assertEqual(result, (1, PATH_QUESTION + QUESTION + ("\n" + DAMAGED + "\n").encode(), b""))

    def test_display_without_zenity_uses_the_terminal(self):
        self.assertEqual(self.run_hex2ver(stdin=b"none.hex\n\n", zenity=False),
                         (1, PATH_QUESTION + QUESTION + '\nНе найден файл "none.hex"!\n'.encode(), b""))
        self.assertEqual(self.zenity_calls(), [])


@unittest.skipUnless(WINDOWS, "the Windows open-file dialog")
class WindowsDialogTest(unittest.TestCase):
    def test_dialog_that_cannot_be_shown_is_a_cancel(self):
        directory = tempfile.mkdtemp(prefix="hex2ver-dialog-")
        self.addCleanup(shutil.rmtree, directory, True)
        environment = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        done = subprocess.run(EMULATOR + [PROGRAM], input=b"8\n", capture_output=True, cwd=directory,
                              env=environment, timeout=120)
        self.assertEqual((done.returncode, done.stdout), (0, b""))
        self.assertEqual(os.listdir(directory), [])


if __name__ == "__main__":
    unittest.main()
