#!/usr/bin/python3
"""Checks the Shift_JIS text layer against a table of code page 932 it does not share.

usage: check_text_tables.py TEXT_TABLES TEXT_TABLES_FROM_FILE

fenwa_text_tables lists how the text layer (text/ShiftJis.h) decodes every one-
and two-byte sequence and encodes every code point. This script makes the same
listing from Python's cp932 codec alone, which is an implementation of its own
(neither glibc's iconv nor Windows'), and requires:

  1. TEXT_TABLES, this build's rules over this build's converter (glibc's iconv,
     or the table kept in text/), to print it line for line;
  2. TEXT_TABLES_FROM_FILE, the same rules over a converter read from a table
     written here from Python's codec as it is, to print it too. That codec
     decodes single bytes glibc refuses (Windows' converter decodes one of
     them, 0x80), so there the rules alone keep them out.

Prints what differs and exits 1 when a listing differs from the expected one.
Run with Debian's /usr/bin/python3, whose codec the expectations were checked
against.
"""
import os
import subprocess
import sys
import tempfile

REPLACEMENT = "\ufffd"

# Single bytes that are not characters although Python's codec decodes them:
# 0x80 as U+0080, 0xA0 and 0xFD-0xFF as the private-use U+F8F0-U+F8F3, vendor
# additions (Windows' converter, as Wine has it, decodes 0x80 so even when told
# to refuse what is undefined, and the other four when not told). The published
# mapping of code page 932 leaves these five bytes undefined and glibc's iconv
# refuses them; the rules refuse them on every platform, so that all agree.
NOT_CHARACTERS = {0x80, 0xA0, 0xFD, 0xFE, 0xFF}

# Everything else Python's codec decodes is a character, as it decodes it,
# including the user-defined area: pairs with lead bytes 0xF0-0xF9 (F040 to
# F9FC) are U+E000 to U+E757. The published mapping file leaves that area out,
# but code page 932 itself maps it so (Microsoft documents F040-F9FC as the
# code page's user-defined range, mapped onto U+E000-U+E757), and glibc's iconv
# and Windows do so both ways. Where Python refuses a pair, so do iconv and the
# rules: no other pair is decided here.

# The only intended differences in encoding: characters that take their near
# twin's bytes (text/ShiftJis.h). Python's codec refuses all nine.
TWINS = {
    0x00A2: b"\x81\x91",
    0x00A3: b"\x81\x92",
    0x00A5: b"\x5c",
    0x00AC: b"\x81\xca",
    0x2014: b"\x81\x5c",
    0x2016: b"\x81\x61",
    0x203E: b"\x7e",
    0x2212: b"\x81\x7c",
    0x301C: b"\x81\x60",
}

# Of the codes of a character that has two or more (the NEC and IBM
# duplicates), the desktop platform writes the first one outside rows 0xED and
# 0xEE (NEC's copies of the IBM characters), else the first one. Python's codec
# chooses otherwise for some, so its choice is not taken.
NEC_SELECTED_ROWS = {0xED, 0xEE}


def python_decode(sequence):
    """The one character Python's codec decodes `sequence` to, or None."""
    try:
        text = sequence.decode("cp932")
    except UnicodeDecodeError:
        return None
    return text if len(text) == 1 else None


class CodePage:
    """Code page 932 as Python's codec decodes it, with or without the rules' refusals."""

    def __init__(self, strict):
        self.singles = [None if strict and b in NOT_CHARACTERS else python_decode(bytes([b])) for b in range(256)]
        self.pairs = {}
        for lead in range(256):
            for trail in range(256):
                c = python_decode(bytes([lead, trail]))
                if c is not None:
                    self.pairs[bytes([lead, trail])] = c

    def sequences(self):
        """Every (sequence, character), single bytes first, then pairs, each in ascending order."""
        for b, c in enumerate(self.singles):
            if c is not None:
                yield bytes([b]), c
        yield from sorted(self.pairs.items())

    def desktop_encodings(self):
        """Each character's bytes as the desktop platform writes them."""
        codes = {}
        for sequence, c in self.sequences():
            codes.setdefault(ord(c), []).append(sequence)
        return {c: next((s for s in found if s[0] not in NEC_SELECTED_ROWS), found[0]) for c, found in codes.items()}

    def decode_text(self, sequence):
        """The text of a one- or two-byte sequence: a character of two bytes, or
        each byte alone, U+FFFD where a byte is not one."""
        if len(sequence) == 2 and sequence in self.pairs:
            return self.pairs[sequence]
        return "".join(self.singles[b] or REPLACEMENT for b in sequence)


def expected_listing():
    """fenwa_text_tables' listing, made from Python's codec and the rules above."""
    page = CodePage(strict=True)
    out = []
    for first in range(256):
        for sequence in [bytes([first])] + [bytes([first, second]) for second in range(256)]:
            text = page.decode_text(sequence)
            mark = " !" if REPLACEMENT in text else ""
            out.append(f"decode {sequence.hex()} {text.encode('utf-8').hex()}{mark}")
    encodings = page.desktop_encodings()
    for c, sequence in TWINS.items():
        assert c not in encodings, f"U+{c:04X} has a code of its own in Python's codec"
        encodings[c] = sequence
    for c in sorted(encodings):
        out.append(f"encode {c:04X} {encodings[c].hex()}")
    surrogates = 0xE000 - 0xD800
    out.append(f"refused {0x110000 - surrogates - len(encodings)} code points")
    return out


def loose_table():
    """Python's codec as it is, in the form of text/CodePage932Table.txt: the
    converter the rules get in the second run. It encodes as the desktop
    platform does, so that what the rules write can differ only by the rules."""
    page = CodePage(strict=False)
    lines = []
    for start in range(0, 256, 16):
        block = page.singles[start:start + 16]
        if any(block):
            lines.append(f"{start:02X}: " + " ".join(f"{ord(c):04X}" if c else "-" for c in block))
    for start in range(0, 65536, 16):
        block = [page.pairs.get((start + i).to_bytes(2, "big")) for i in range(16)]
        if any(block):
            lines.append(f"{start:04X}: " + " ".join(f"{ord(c):04X}" if c else "-" for c in block))
    first = {}
    for sequence, c in page.sequences():
        first.setdefault(ord(c), sequence)
    for c, sequence in sorted(page.desktop_encodings().items()):
        if sequence != first[c]:
            lines.append(f"U+{c:04X}: {sequence.hex().upper()}")
    return "\n".join(lines) + "\n"


def differences(expected, got):
    """Descriptions of the lines that differ, by the sequence or code point they are about."""
    def keyed(lines):
        table = {}
        for line in lines:
            words = line.split(" ")
            table[" ".join(words[:2]) if words[0] in ("decode", "encode") else words[0]] = line
        return table

    want, have = keyed(expected), keyed(got)
    keys = list(want) + [key for key in have if key not in want]
    return [f"  expected: {want.get(key, '(nothing)')}\n       got: {have.get(key, '(nothing)')}"
            for key in keys if want.get(key) != have.get(key)]


def check(name, command, expected, env=None):
    result = subprocess.run(command, stdout=subprocess.PIPE, env=env, check=False)
    if result.returncode != 0:
        print(f"{name}: ended with status {result.returncode}")
        return False
    got = result.stdout.decode("ascii").splitlines()
    found = differences(expected, got)
    if found:
        print(f"{name}: {len(found)} lines differ from Python's cp932 codec; the first ones:")
        print("\n".join(found[:12]))
        return False
    encoded = sum(1 for line in got if line.startswith("encode"))
    print(f"{name}: the same as Python's cp932 codec: {len(got) - encoded - 1} sequences decoded, "
          f"{encoded} code points encoded, {got[-1]}")
    return True


def main(argv):
    if len(argv) != 3:
        print(__doc__)
        return 2
    expected = expected_listing()
    ok = check("this build's rules and converter", [argv[1]], expected)
    with tempfile.TemporaryDirectory() as folder:
        table = os.path.join(folder, "python-cp932.txt")
        with open(table, "w", encoding="ascii") as handle:
            handle.write(loose_table())
        env = dict(os.environ, FENWA_CODE_PAGE_932_TABLE=table)
        ok = check("the rules over Python's codec as it is", [argv[2]], expected, env) and ok
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
