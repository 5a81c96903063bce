#!/usr/bin/env python3
"""Writes a package CPack made again so that the same files give the same bytes.

What CPack leaves to the machine it runs on, this fixes:
  .deb  the modes of the three archive members, which follow the umask: each
        is written rw-r--r--, owned by root, dated SOURCE_DATE_EPOCH;
  .zip  the order of the files, which is the order the staging folder lists
        them in, and their owner's user and group ids: each file is written
        again in name order, dated SOURCE_DATE_EPOCH (UTC), with only its
        permission bits (rwxr-xr-x or rw-r--r--) and no extra field,
        compressed with deflate at level 9.

Usage: SOURCE_DATE_EPOCH=SECONDS normalise-package.py PACKAGE.deb|PACKAGE.zip
"""
import os
import sys
import time
import zipfile

AR_MAGIC = b"!<arch>\n"
AR_HEADER = 60
DOS_EPOCH = 315532800  # 1980-01-01, the earliest time a zip holds


def normalise_deb(path, epoch):
    with open(path, "rb") as package:
        data = bytearray(package.read())
    if not data.startswith(AR_MAGIC):
        sys.exit(f"{path}: not an ar archive")
    offset = len(AR_MAGIC)
    while offset < len(data):
        header = data[offset : offset + AR_HEADER]
        if len(header) != AR_HEADER or header[58:60] != b"`\n":
            sys.exit(f"{path}: a damaged member header at offset {offset}")
        size = int(header[48:58])
        # name (16), time (12), owner (6), group (6), mode (8): all but the name.
        header[16:48] = b"%-12d%-6d%-6d%-8s" % (epoch, 0, 0, b"100644")
        data[offset : offset + AR_HEADER] = header
        offset += AR_HEADER + size + size % 2
    return bytes(data)


def normalise_zip(path, epoch):
    stamp = time.gmtime(max(epoch, DOS_EPOCH))[:6]
    with zipfile.ZipFile(path) as old:
        entries = sorted(((info, old.read(info)) for info in old.infolist()), key=lambda entry: entry[0].filename)
    rewritten = path + ".normalised"
    with zipfile.ZipFile(rewritten, "w") as new:
        for info, contents in entries:
            entry = zipfile.ZipInfo(info.filename, stamp)
            entry.create_system = 3  # Unix permission bits in the upper half of external_attr
            if info.is_dir():
                entry.external_attr = 0o40755 << 16 | 0x10
            else:
                executable = (info.external_attr >> 16) & 0o111
                entry.external_attr = (0o100755 if executable else 0o100644) << 16
                entry.compress_type = zipfile.ZIP_DEFLATED
            new.writestr(entry, contents, compresslevel=9)
    with open(rewritten, "rb") as package:
        data = package.read()
    os.remove(rewritten)
    return data


def main():
    epoch = os.environ.get("SOURCE_DATE_EPOCH", "")
    if len(sys.argv) != 2 or not epoch.isdigit():
        sys.exit("usage: SOURCE_DATE_EPOCH=SECONDS normalise-package.py PACKAGE.deb|PACKAGE.zip")
    path = sys.argv[1]
    if path.endswith(".deb"):
        data = normalise_deb(path, int(epoch))
    elif path.endswith(".zip"):
        data = normalise_zip(path, int(epoch))
    else:
        sys.exit(f"{path}: neither a .deb nor a .zip")
    with open(path, "wb") as package:
        package.write(data)


if __name__ == "__main__":
    main()
