#!/usr/bin/env python3
"""The built program's layout: small file alignment, its resources (the
payload) on a page boundary in the file, sections that do not overlap and
lie inside the file, and a PE checksum that matches.

    check_program_layout.py PROGRAM
"""
import struct
import sys


def pe_checksum(data, checksum_offset):
    """16-bit one's-complement sum of the file, the checksum field left out,
    plus the file's length."""
    total = 0
    for i in range(0, len(data) - 1, 2):
        if not checksum_offset <= i < checksum_offset + 4:
            total += data[i] | data[i + 1] << 8
    if len(data) % 2:
        total += data[-1]
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return (total + len(data)) & 0xFFFFFFFF


def problems(data):
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    optional = pe + 24
    file_alignment = struct.unpack_from("<I", data, optional + 36)[0]
    found = []
    if file_alignment != 512:
        found.append(f"file alignment is {file_alignment}, not 512")
    headers = optional + struct.unpack_from("<H", data, pe + 20)[0]
    spans = []
    for i in range(struct.unpack_from("<H", data, pe + 6)[0]):
        h = headers + 40 * i
        name = bytes(data[h:h + 8]).rstrip(b"\0").decode()
        size, raw = struct.unpack_from("<II", data, h + 16)
        if raw and raw + size > len(data):
            found.append(f"{name} runs past the end of the file")
        if raw:
            spans.append((raw, raw + size, name))
        if name == ".rsrc" and raw % 4096:
            found.append(f".rsrc starts at {raw:#x} in the file, not on a page boundary")
    spans.sort()
    for (_, end, name), (start, _, following) in zip(spans, spans[1:]):
        if start < end:
            found.append(f"{name} overlaps {following}")
    stored = struct.unpack_from("<I", data, optional + 64)[0]
    if stored != pe_checksum(data, optional + 64):
        found.append("the PE checksum does not match the file")
    return found


if __name__ == "__main__":
    with open(sys.argv[1], "rb") as f:
        found = problems(f.read())
    for problem in found:
        print(f"{sys.argv[1]}: {problem}")
    sys.exit(1 if found else 0)
