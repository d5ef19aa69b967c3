"""Writes the fuzzers' seed corpora from the project's own fixtures: the example HEX files, the HEX texts of the
loader's unit tests and of the end-to-end tests, and the size texts and paths of the unit tests' tables.

    python3 fuzz/seed_corpus.py OUTDIR     (writes OUTDIR/loader_fuzz, OUTDIR/flash_size_fuzz, ...)
"""
import glob
import hashlib
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
from hexfiles import hex_text  # noqa: E402

ESCAPES = {"t": "\t", "r": "\r", "n": "\n", "v": "\v", "f": "\f"}


def string_literals(source, line_pattern):
    """The C++ string literals on the lines of source that match line_pattern, escapes undone."""
    with open(os.path.join(ROOT, source), encoding="utf-8") as f:
        lines = [line for line in f if re.search(line_pattern, line)]
    literals = re.findall(r'"((?:[^"\\]|\\.)*)"', "".join(lines))
    return [unescape(text) for text in literals]


def unescape(text):
    """The bytes of a C++ literal's text: UTF-8, with \\xHH for a byte and the usual character escapes."""
    pieces = re.split(r"(\\x[0-9A-Fa-f]{2}|\\.)", text)
    return b"".join(bytes([int(piece[2:], 16)]) if piece.startswith("\\x") else
                    ESCAPES.get(piece[1], piece[1]).encode() if piece.startswith("\\") else piece.encode()
                    for piece in pieces)


def loader_seeds():
    texts = []
    for path in sorted(glob.glob(os.path.join(ROOT, "examples", "*.hex"))):
        with open(path, "rb") as f:
            texts.append(f.read())
    texts += [text for text in string_literals("tests/hex2ver/loader_test.cpp", r'":') if text.startswith(b":")]
    spread = {0x0000: bytes(range(40)), 0x1FFF0: b"\x5a" * 32}
    texts += [hex_text(spread).encode(), hex_text(spread, line_end="\n", record_size=255).encode(),
              hex_text({0: b"\x01\x02"}, line_end="\r").encode()]
    # Each text in an image of 16 bytes and of 130560 bytes (the fuzzer's size is the first byte plus 512 times
    # the second), loaded in small and in large pieces.
    for size_bytes in (bytes([16, 0]), bytes([0, 255])):
        for piece_choice in (0, 255):
            for text in texts:
                yield size_bytes + bytes([piece_choice]) + text


def main():
    out = sys.argv[1]
    corpora = {
        "loader_fuzz": list(loader_seeds()),
        "flash_size_fuzz": string_literals("tests/hex2ver/flash_size_test.cpp", r"SizeCase\{|Answer\("),
        "word_image_path_fuzz": string_literals("tests/hex2ver/word_image_test.cpp", r"PathCase\{"),
    }
    for target, seeds in corpora.items():
        os.makedirs(os.path.join(out, target), exist_ok=True)
        for seed in seeds:
            with open(os.path.join(out, target, hashlib.sha1(seed).hexdigest()), "wb") as f:
                f.write(seed)
        print("%s: %d seeds" % (target, len(seeds)))


if __name__ == "__main__":
    main()
