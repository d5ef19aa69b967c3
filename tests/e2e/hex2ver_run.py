"""What the end-to-end tests of hex2ver share: the program and how it is run, its texts, small fixtures.

HEX2VER names the program. For a Windows build, HEX2VER_EMULATOR names the program that runs it (wine64, or the
32-bit wine) and HEX2VER_CONSOLE_ENCODING the console's code page (cp866); console lines then end in CR LF.
HEX2VER_SANITIZED says the program was built with AddressSanitizer, which cannot start under a data size limit; the
allocation failure is then brought about through its own allocator. HEX2VER_UNDER_QEMU says the program runs under
qemu's user-mode emulation, which loops for ever on a large allocation under a data size limit; the allocation
failure is then brought about by a small emulated address space.
"""
import os
import re
import resource
import shutil
import subprocess
import tempfile
import unittest

PROGRAM = os.environ["HEX2VER"]
EMULATOR = os.environ.get("HEX2VER_EMULATOR", "").split()
CONSOLE_ENCODING = os.environ.get("HEX2VER_CONSOLE_ENCODING", "utf-8")
WINDOWS = bool(EMULATOR)
SANITIZED = bool(os.environ.get("HEX2VER_SANITIZED"))
UNDER_QEMU = bool(os.environ.get("HEX2VER_UNDER_QEMU"))
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
        elif limit_memory and UNDER_QEMU:
            env = dict(os.environ, QEMU_RESERVED_VA="0x%x" % limit_memory)
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
