"""The word image file as the program it is made for reads it: a Verilog simulation loading a FLASH memory with
$readmemh into reg [15:0] mem [0:N-1], in Icarus Verilog and in Verilator, which both must read every word as the
image holds it, the byte at the even address first, and say nothing about the file.

HEX2VER names hex2ver; IVERILOG and VVP name Icarus Verilog's compiler and runtime, VERILATOR names Verilator (Debian
packages iverilog and verilator). A simulator that is not named is not tested.
"""
import os
import random
import shutil
import subprocess
import tempfile
import unittest

from hexfiles import hex_text, word_image

PROGRAM = os.environ["HEX2VER"]
IVERILOG = os.environ.get("IVERILOG")
VVP = os.environ.get("VVP")
VERILATOR = os.environ.get("VERILATOR")
HERE = os.path.dirname(os.path.abspath(__file__))
TESTBENCH = os.path.join(HERE, os.pardir, "verilog", "word_image_tb.v")
EXAMPLES = os.path.join(HERE, os.pardir, os.pardir, "examples")


def words_of(ver):
    """The words a word image file's text holds, one a line."""
    return [int(line, 16) for line in ver.split()]


class SimulatorCase(unittest.TestCase):
    """Converts the example and generated HEX files once; each simulator's class loads every word image."""

    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="hex2ver-sim-")
        cls.addClassCleanup(shutil.rmtree, cls.dir, True)
        rng = random.Random(12)
        spread = {address: rng.randbytes(rng.randrange(1, 2000)) for address in range(0, 1 << 17, 8192)}
        with open(os.path.join(EXAMPLES, "blink.ver"), "rb") as f:
            blink_words = words_of(f.read())
        odd = {0: rng.randbytes(70001)}
        # (name, HEX text, FLASH size, the words the image holds); the example as the README shows its image.
        cases = [("blink", None, 64, blink_words),
                 ("spread", hex_text(spread, record_size=64), 1 << 17, words_of(word_image(spread, 1 << 17))),
                 ("odd", hex_text(odd, record_size=255), 70001, words_of(word_image(odd, 70001)))]
        cls.cases = []
        for name, text, flash_size, words in cases:
            path = os.path.join(cls.dir, name + ".hex")
            if text is None:
                shutil.copy(os.path.join(EXAMPLES, name + ".hex"), path)
            else:
                with open(path, "w", newline="") as f:
                    f.write(text)
            subprocess.run([PROGRAM, path, str(flash_size)], check=True, timeout=60)
            cls.cases.append((name, path[:-4] + ".ver", words))

    def simulate(self, ver, words, out):
        """Runs the test bench on ver; returns what the simulator itself printed."""
        raise NotImplementedError

    def test_every_word_is_read_as_the_image_holds_it(self):
        for name, ver, words in self.cases:
            with self.subTest(name):
                out = os.path.join(self.dir, name + "." + type(self).__name__ + ".words")
                said = self.simulate(ver, len(words), out)
                # A file with too few words, or too many for the range, is warned about.
                self.assertNotIn("warning", said.lower(), said)
                with open(out) as f:
                    self.assertEqual([int(word, 16) for word in f.read().split()], words)


@unittest.skipUnless(IVERILOG and VVP, "no Icarus Verilog (Debian package iverilog)")
class IcarusVerilogTest(SimulatorCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.compiled = os.path.join(cls.dir, "word_image_tb.vvp")
        subprocess.run([IVERILOG, "-o", cls.compiled, TESTBENCH], check=True, timeout=120)

    def simulate(self, ver, words, out):
        done = subprocess.run([VVP, "-n", self.compiled, "+file=" + ver, "+words=%d" % words, "+out=" + out],
                              capture_output=True, text=True, timeout=300)
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        return done.stdout + done.stderr


@unittest.skipUnless(VERILATOR, "no Verilator (Debian package verilator)")
class VerilatorTest(SimulatorCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        # Built once; the file and the size are plusargs.
        build = os.path.join(cls.dir, "verilator")
        subprocess.run([VERILATOR, "--binary", "--Mdir", build, "-o", "word_image_tb", "-j", str(os.cpu_count()),
                        TESTBENCH], check=True, capture_output=True, timeout=600)
        cls.program = os.path.join(build, "word_image_tb")

    def simulate(self, ver, words, out):
        done = subprocess.run([self.program, "+file=" + ver, "+words=%d" % words, "+out=" + out],
                              capture_output=True, text=True, timeout=300)
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        return done.stdout + done.stderr


del SimulatorCase

if __name__ == "__main__":
    unittest.main()
