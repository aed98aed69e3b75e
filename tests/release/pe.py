#!/usr/bin/env python3
"""Reads what the release tests need from a PE file (PE32 or PE32+).

    pe.py stamp PROGRAM                 the link time stamp, in seconds
    pe.py signed PROGRAM                exit 0 when it carries a signature
    pe.py same PROGRAM NAME FILE        exit 0 when RCDATA NAME holds FILE's bytes
    pe.py flip PROGRAM NAME             flip one bit in the middle of RCDATA NAME
"""
import struct
import sys

RT_RCDATA = 10
SECURITY_DIRECTORY, RESOURCE_DIRECTORY = 4, 2


class Pe:
    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[:2] != b"MZ" or data[pe:pe + 4] != b"PE\0\0":
            raise SystemExit("not a PE file")
        sections, self.stamp = struct.unpack_from("<HI", data, pe + 6)
        optional_size = struct.unpack_from("<H", data, pe + 20)[0]
        optional = pe + 24
        # The data directories follow the 64-bit fields of a PE32+ header.
        magic = struct.unpack_from("<H", data, optional)[0]
        if magic not in (0x10B, 0x20B):
            raise SystemExit("not a PE32 or PE32+ file")
        directories = optional + (96 if magic == 0x10B else 112)
        self.directories = [struct.unpack_from("<II", data, directories + 8 * i)
                            for i in range(16)]
        self.sections = []
        for i in range(sections):
            at = optional + optional_size + 40 * i
            size, rva, raw_size, raw = struct.unpack_from("<IIII", data, at + 8)
            self.sections.append((rva, max(size, raw_size), raw))

    def offset(self, rva):
        for start, size, raw in self.sections:
            if start <= rva < start + size:
                return raw + rva - start
        raise SystemExit(f"RVA {rva:#x} lies in no section")

    def _entries(self, base, table):
        named, ids = struct.unpack_from("<HH", self.data, table + 12)
        for i in range(named + ids):
            name, target = struct.unpack_from("<II", self.data, table + 16 + 8 * i)
            if name & 0x80000000:
                at = base + (name & 0x7FFFFFFF)
                length = struct.unpack_from("<H", self.data, at)[0]
                name = self.data[at + 2:at + 2 + 2 * length].decode("utf-16-le")
            yield name, target

    def rcdata(self, wanted):
        """(file offset, size) of the raw data resource called `wanted`."""
        base = self.offset(self.directories[RESOURCE_DIRECTORY][0])
        for kind, names in self._entries(base, base):
            if kind != RT_RCDATA:
                continue
            for name, languages in self._entries(base, base + (names & 0x7FFFFFFF)):
                if name == wanted:
                    _, leaf = next(self._entries(base, base + (languages & 0x7FFFFFFF)))
                    rva, size = struct.unpack_from("<II", self.data, base + leaf)
                    return self.offset(rva), size
        raise SystemExit(f"no RCDATA resource {wanted}")


def main(command, program, *rest):
    with open(program, "rb") as f:
        pe = Pe(f.read())
    if command == "stamp":
        print(pe.stamp)
    elif command == "signed":
        return 0 if pe.directories[SECURITY_DIRECTORY][1] else 1
    elif command == "same":
        at, size = pe.rcdata(rest[0])
        with open(rest[1], "rb") as f:
            return 0 if pe.data[at:at + size] == f.read() else 1
    elif command == "flip":
        at, size = pe.rcdata(rest[0])
        with open(program, "r+b") as f:
            f.seek(at + size // 2)
            byte = f.read(1)[0]
            f.seek(at + size // 2)
            f.write(bytes([byte ^ 1]))
    else:
        raise SystemExit(__doc__)
    return 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
