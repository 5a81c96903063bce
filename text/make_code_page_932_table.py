#!/usr/bin/python3
"""Writes text/CodePage932Table.txt: code page 932 as glibc's iconv converts it.

usage: /usr/bin/python3 text/make_code_page_932_table.py > text/CodePage932Table.txt

Run by hand on a glibc system, when the table is to follow a new glibc; the
build only reads the file it writes. It asks iconv ("CP932" and "UTF-32LE",
through ctypes) exactly what text/CodePage932Iconv.cpp asks it, one character
at a time: every single byte and every pair of bytes, decoded, and every code
point from U+0000 to U+10FFFF, encoded. The file it writes says how to read it;
text/CodePage932Table.cpp reads it, and the test fenwa_code_page_table_tests
requires the two to agree on every sequence and every code point.
"""
import ctypes
import os
import sys

CODE_PAGE = b"CP932"
UTF32 = b"UTF-32LE"
LAST_CODE_POINT = 0x10FFFF


class Converter:
    """One iconv conversion, reset before each use, as CodePage932Iconv.cpp does it."""

    def __init__(self, libc, to, source):
        self.libc = libc
        self.handle = libc.iconv_open(to, source)
        if self.handle in (None, ctypes.c_void_p(-1).value):
            raise OSError(f"iconv cannot convert from {source.decode()} to {to.decode()}")
        self.output = ctypes.create_string_buffer(16)

    def convert(self, data):
        """The bytes `data` converts to; None when some of it does not convert."""
        self.libc.iconv(self.handle, None, None, None, None)
        source_buffer = ctypes.create_string_buffer(data, len(data))
        source = ctypes.cast(source_buffer, ctypes.c_char_p)
        left = ctypes.c_size_t(len(data))
        target = ctypes.cast(self.output, ctypes.c_char_p)
        room = ctypes.c_size_t(len(self.output))
        result = self.libc.iconv(self.handle, ctypes.byref(source), ctypes.byref(left), ctypes.byref(target),
                                 ctypes.byref(room))
        if result == ctypes.c_size_t(-1).value or left.value != 0:
            return None
        return self.output.raw[:len(self.output) - room.value]


def open_libc():
    libc = ctypes.CDLL(None)
    libc.iconv_open.restype = ctypes.c_void_p
    libc.iconv_open.argtypes = [ctypes.c_char_p, ctypes.c_char_p]
    libc.iconv.restype = ctypes.c_size_t
    pointer = ctypes.POINTER(ctypes.c_char_p)
    size = ctypes.POINTER(ctypes.c_size_t)
    libc.iconv.argtypes = [ctypes.c_void_p, pointer, size, pointer, size]
    return libc


def decode(decoder, sequence):
    """The code point of `sequence` when it is exactly one character, else None."""
    out = decoder.convert(sequence)
    if out is None or len(out) != 4:
        return None
    return int.from_bytes(out, "little")


def chart_lines(decoded, key_format):
    """Lines of 16 sequences each, for the blocks that hold at least one character."""
    lines = []
    for start in range(0, len(decoded), 16):
        block = decoded[start:start + 16]
        if any(c is not None for c in block):
            entries = " ".join("-" if c is None else f"{c:04X}" for c in block)
            lines.append(f"{key_format.format(start)}: {entries}")
    return lines


def main():
    libc = open_libc()
    decoder = Converter(libc, UTF32, CODE_PAGE)
    encoder = Converter(libc, CODE_PAGE, UTF32)

    singles = [decode(decoder, bytes([b])) for b in range(256)]
    pairs = [decode(decoder, bytes([p >> 8, p & 0xFF])) for p in range(65536)]

    # The first sequence that decodes to each code point: single bytes, then pairs.
    first = {}
    for b, c in enumerate(singles):
        if c is not None:
            first.setdefault(c, bytes([b]))
    for p, c in enumerate(pairs):
        if c is not None:
            first.setdefault(c, p.to_bytes(2, "big"))

    # Every code point whose bytes are not that first sequence, in runs of the same result.
    others = []
    for c in range(LAST_CODE_POINT + 1):
        encoded = encoder.convert(c.to_bytes(4, "little"))
        if encoded == first.get(c):
            continue
        shown = "-" if encoded is None else ("empty" if encoded == b"" else encoded.hex().upper())
        if others and others[-1][1] == c - 1 and others[-1][2] == shown:
            others[-1][1] = c
        else:
            others.append([c, c, shown])

    glibc = os.confstr("CS_GNU_LIBC_VERSION") or "an unknown C library"
    out = [
        '# Code page 932 as glibc\'s iconv ("CP932") converts one character, for the',
        "# platforms whose C library has no converter for it: text/CodePage932Table.cpp",
        "# reads this file (FENWA_CODE_PAGE_TABLE), and fenwa_code_page_table_tests",
        "# requires it to give what text/CodePage932Iconv.cpp gives. Written from",
        f"# {glibc} by text/make_code_page_932_table.py; run that again rather than",
        "# editing it by hand.",
        "#",
        '# Decoding. "XX:" gives the code points of the single bytes XX to XX+0F, and',
        '# "XXYY:" those of the pairs XXYY to XXYY+0F; "-" is a byte or pair that is',
        "# not one character, and so is every byte or pair on no line.",
        "#",
        "# Encoding. A code point takes the first byte or pair above that decodes to it",
        "# (the single bytes first, then the pairs, each in ascending order), except",
        '# the code points of the lines "U+XXXX: BYTES" at the end ("U+XXXX..U+YYYY:"',
        "# for a run of them): they take BYTES, where \"empty\" is no byte at all and",
        '# "-" means the code point does not encode. Every other code point does not',
        "# encode.",
        "",
    ]
    out += chart_lines(singles, "{:02X}")
    out += chart_lines(pairs, "{:04X}")
    out.append("")
    for low, high, shown in others:
        where = f"U+{low:04X}" if low == high else f"U+{low:04X}..U+{high:04X}"
        out.append(f"{where}: {shown}")
    sys.stdout.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
