"""Tests of the packages: each .deb is checked by lintian, unpacked into a scratch root and its programs run there;
the Windows zip's listing and files are checked.

HEX2VER_DEB_DIRS names the directories, separated by colons, that cpack wrote .debs to (one each: amd64, arm64,
...), HEX2VER_ZIP_DIR the one of the Windows zip (scripts/test.sh makes them); the file names follow from the
project's version, which is read here, from the top CMakeLists.txt. Packages that are not named are not tested.
The programs of a foreign architecture's .deb run where the kernel can start them (qemu's user-mode emulation
registered with binfmt_misc, with QEMU_LD_PREFIX naming the libraries of that architecture).
"""
import glob
import gzip
import os
import re
import shutil
import struct
import subprocess
import tempfile
import time
import unittest
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
DEB_DIRS = [directory for directory in os.environ.get("HEX2VER_DEB_DIRS", "").split(":") if directory]
ZIP_DIR = os.environ.get("HEX2VER_ZIP_DIR")


def project_version():
    with open(os.path.join(ROOT, "CMakeLists.txt")) as f:
        return re.search(r"project\(\S+ VERSION (\S+)", f.read()).group(1)


VERSION = project_version()
ZIP = os.path.join(ZIP_DIR, "hex2ver-tools-%s-win32.zip" % VERSION) if ZIP_DIR else None


# The ELF header's e_machine of each Debian architecture the packages are made for.
ELF_MACHINES = {"amd64": 62, "arm64": 183}


def read(*path):
    with open(os.path.join(ROOT, *path), "rb") as f:
        return f.read()


def example(name):
    return read("examples", name)


class DebianPackageCase(unittest.TestCase):
    """The tests of one .deb, DEB; a class of them is made below for each one found."""

    DEB = None

    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="deb-root-")
        self.addCleanup(shutil.rmtree, self.root, True)
        subprocess.run(["dpkg-deb", "-x", self.DEB, self.root], check=True)

    def field(self, name):
        done = subprocess.run(["dpkg-deb", "-f", self.DEB, name], check=True, capture_output=True, text=True)
        return done.stdout.strip()

    def doc(self, name):
        with open(os.path.join(self.root, "usr/share/doc/hex2ver-tools", name), "rb") as f:
            return f.read()

    @unittest.skipUnless(shutil.which("lintian"), "no lintian (Debian package lintian)")
    def test_lintian_finds_no_error_and_no_warning(self):
        done = subprocess.run(["lintian", "--fail-on", "error,warning", self.DEB], capture_output=True, text=True)
        tags = [line for line in done.stdout.splitlines() if re.match(r"[EW]: ", line)]
        self.assertEqual((done.returncode, tags), (0, []), done.stdout + done.stderr)

    def test_control_fields(self):
        self.assertEqual(self.field("Package"), "hex2ver-tools")
        self.assertEqual(self.field("Version"), VERSION)
        self.assertIn("zenity", self.field("Suggests"))
        self.assertTrue(self.field("Description").startswith("Intel HEX"))
        # Found by dpkg-shlibdeps in the programs, which are linked dynamically.
        depends = [entry.split()[0] for entry in self.field("Depends").split(", ")]
        self.assertTrue({"libc6", "libstdc++6"} <= set(depends), depends)

    def test_contents_are_the_programs_their_manual_pages_and_documents(self):
        files = sorted(os.path.relpath(os.path.join(top, name), self.root)
                       for top, _, names in os.walk(self.root) for name in names)
        self.assertEqual(files, ["usr/bin/hex2ver", "usr/bin/launch",
                                 "usr/share/doc/hex2ver-tools/changelog.gz", "usr/share/doc/hex2ver-tools/copyright",
                                 "usr/share/man/man1/hex2ver.1.gz", "usr/share/man/man1/launch.1.gz"])
        for program in ["hex2ver", "launch"]:
            self.assertEqual(os.stat(os.path.join(self.root, "usr/bin", program)).st_mode & 0o777, 0o755)

    def test_programs_are_built_for_the_package_architecture(self):
        machine = ELF_MACHINES[self.field("Architecture")]
        for program in ["hex2ver", "launch"]:
            with self.subTest(program=program):
                with open(os.path.join(self.root, "usr/bin", program), "rb") as f:
                    header = f.read(20)
                self.assertEqual(header[:4], b"\x7fELF")
                self.assertEqual(struct.unpack_from("<H", header, 18)[0], machine)

    def test_copyright_file_carries_the_licence(self):
        copyright_file = self.doc("copyright").decode()
        self.assertTrue(copyright_file.startswith(
            "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"))
        self.assertIn("\nLicense: Expat\n", copyright_file)
        # The licence's text, as the file's continuation lines give it back.
        licence = read("LICENSE").decode()
        notice = licence[licence.index("Permission is hereby granted"):].strip()
        body = copyright_file[copyright_file.index("License: Expat\n") + len("License: Expat\n"):]
        given = "\n".join("" if line == " ." else line[1:] for line in body.rstrip("\n").split("\n"))
        self.assertEqual(given, notice)
        holder = re.search(r"Copyright \(c\) (.*)", licence).group(1)
        self.assertIn("\nCopyright: %s\n" % holder, copyright_file)

    def test_changelog_names_this_version_first(self):
        changelog = gzip.decompress(self.doc("changelog.gz")).decode()
        self.assertTrue(changelog.startswith("hex2ver-tools (%s) " % VERSION), changelog.splitlines()[0])

    def test_installed_hex2ver_converts_the_example(self):
        work = tempfile.mkdtemp(prefix="deb-example-")
        self.addCleanup(shutil.rmtree, work, True)
        shutil.copy(os.path.join(ROOT, "examples", "blink.hex"), work)
        done = subprocess.run([os.path.join(self.root, "usr/bin/hex2ver"), "blink.hex", "64"], cwd=work,
                              capture_output=True, timeout=60)
        self.assertEqual((done.returncode, done.stdout, done.stderr), (0, b"", b""))
        with open(os.path.join(work, "blink.ver"), "rb") as f:
            self.assertEqual(f.read(), example("blink.ver"))

    def test_installed_launch_starts_a_program(self):
        marker = os.path.join(self.root, "started")
        done = subprocess.run([os.path.join(self.root, "usr/bin/launch"), "touch", marker], capture_output=True,
                              timeout=60)
        self.assertEqual((done.returncode, done.stdout), (0, b"touch " + marker.encode() + b"\n"))
        for _ in range(100):
            if os.path.exists(marker):
                break
            time.sleep(0.05)
        self.assertTrue(os.path.exists(marker))

    @unittest.skipUnless(shutil.which("groff"), "no groff")
    def test_installed_manual_pages_render_without_warnings(self):
        for page in ["hex2ver.1.gz", "launch.1.gz"]:
            with self.subTest(page=page):
                with gzip.open(os.path.join(self.root, "usr/share/man/man1", page)) as f:
                    source = f.read()
                done = subprocess.run(["groff", "-k", "-Tutf8", "-ww", "-man", "-z"], input=source,
                                      capture_output=True)
                self.assertEqual((done.returncode, done.stderr), (0, b""))


for deb in [path for directory in DEB_DIRS for path in glob.glob(os.path.join(directory, "*.deb"))]:
    architecture = re.match(r"hex2ver-tools_(.*)_(.*)\.deb$", os.path.basename(deb))
    if architecture and architecture.group(1) == VERSION:
        name = "DebianPackage_%s_Test" % architecture.group(2)
        globals()[name] = type(name, (DebianPackageCase,), {"DEB": deb})
del DebianPackageCase


@unittest.skipUnless(ZIP, "no HEX2VER_ZIP_DIR")
class WindowsArchiveTest(unittest.TestCase):
    def setUp(self):
        self.archive = zipfile.ZipFile(ZIP)
        self.addCleanup(self.archive.close)
        self.top = "hex2ver-tools-%s-win32/" % VERSION

    def test_listing(self):
        self.assertEqual(sorted(self.archive.namelist()),
                         [self.top + name for name in ["LICENSE.txt", "USAGE.txt", "hex2ver.exe", "launch.exe"]])

    def test_licence_opens_right_in_notepad(self):
        self.assertEqual(self.archive.read(self.top + "LICENSE.txt"), read("LICENSE").replace(b"\n", b"\r\n"))

    def test_programs_are_32_bit_windows_console_programs(self):
        for program in ["hex2ver.exe", "launch.exe"]:
            with self.subTest(program=program):
                data = self.archive.read(self.top + program)
                self.assertEqual(data[:2], b"MZ")
                pe = struct.unpack_from("<I", data, 0x3C)[0]
                self.assertEqual(data[pe:pe + 4], b"PE\0\0")
                machine = struct.unpack_from("<H", data, pe + 4)[0]
                optional_magic, = struct.unpack_from("<H", data, pe + 24)
                subsystem, = struct.unpack_from("<H", data, pe + 24 + 68)
                self.assertEqual((machine, optional_magic, subsystem), (0x14C, 0x10B, 3))  # i386, PE32, console

    def test_usage_text_opens_right_in_notepad(self):
        text = self.archive.read(self.top + "USAGE.txt")
        self.assertTrue(text.startswith(b"\xef\xbb\xbf"))
        self.assertNotIn(b"\n", text.replace(b"\r\n", b""))
        decoded = text.decode("utf-8-sig")
        self.assertIn(VERSION, decoded)
        for line in ["hex2ver FILE.hex [FLASH-SIZE]", "launch PROGRAM [ARGUMENT...]", "HEX файл повреждён."]:
            self.assertIn(line, decoded)


if __name__ == "__main__":
    unittest.main()
