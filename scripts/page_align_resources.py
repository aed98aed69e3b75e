#!/usr/bin/env python3
"""Moves a linked program's resource section to a page boundary in the file.

The program is linked with the usual 512-byte file alignment, which keeps
its code and data small on disk, but its resources (the package's files)
must start on a page boundary in the file: only then does Wine map them
from the file instead of reading them into the process's private memory,
which would grow with the package. Windows maps images either way.

The section's bytes are not changed, only where they lie: resource data is
addressed by RVA, which stays. The PE checksum is computed afresh. A
failure deletes the program, so that the next build links it again.

    page_align_resources.py PROGRAM
"""
import os
import shutil
import struct
import sys

PAGE = 4096


def pe_checksum(data, checksum_offset):
    total = 0
    for i in range(0, len(data) - 1, 2):
        if checksum_offset <= i < checksum_offset + 4:
            continue
        total += data[i] | data[i + 1] << 8
        total = (total & 0xFFFF) + (total >> 16)
    if len(data) % 2:
        total += data[-1]
    total = (total & 0xFFFF) + (total >> 16)
    total = (total & 0xFFFF) + (total >> 16)
    return (total + len(data)) & 0xFFFFFFFF


def page_align_resources(data):
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("not a PE file")
    sections = struct.unpack_from("<H", data, pe + 6)[0]
    optional = pe + 24
    headers = optional + struct.unpack_from("<H", data, pe + 20)[0]
    table = [headers + 40 * i for i in range(sections)]
    names = [bytes(data[h:h + 8]).rstrip(b"\0") for h in table]
    if b".rsrc" not in names:
        raise ValueError("no .rsrc section")
    first = names.index(b".rsrc")
    start = struct.unpack_from("<I", data, table[first] + 20)[0]
    padding = -start % PAGE
    if padding:
        # Every section from .rsrc on moves by the same amount; a file
        # alignment of 512 divides the page size, so all stay aligned.
        for h in table[first:]:
            raw = struct.unpack_from("<I", data, h + 20)[0]
            if raw:
                struct.pack_into("<I", data, h + 20, raw + padding)
        data[start:start] = bytes(padding)
    checksum_offset = optional + 64
    struct.pack_into("<I", data, checksum_offset, pe_checksum(data, checksum_offset))
    return data


def main(program):
    try:
        with open(program, "rb") as f:
            data = bytearray(f.read())
        page_align_resources(data)
        with open(program + ".aligning", "wb") as f:
            f.write(data)
        shutil.copymode(program, program + ".aligning")
        os.replace(program + ".aligning", program)
    except Exception as error:
        for path in (program, program + ".aligning"):
            if os.path.exists(path):
                os.remove(path)
        sys.exit(f"{program}: cannot page-align its resources: {error}")


if __name__ == "__main__":
    main(sys.argv[1])
