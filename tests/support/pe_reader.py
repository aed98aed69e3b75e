"""Reads PE32 and PE32+ files for the tests and scripts: the headers, the
optional header's fields by name (their file offsets in field_at), the data
directories, the sections, the resources, a version record's strings and the
checksum. PE(data) takes bytes, or a bytearray to patch at the offsets it gives.
"""
import array
import collections
import struct
import sys

IMPORT, RESOURCE, SECURITY, DELAY_IMPORT = 1, 2, 4, 13      # data directories
RT_RCDATA, RT_VERSION, RT_MANIFEST = 10, 16, 24             # resource types

# The optional header in order. P is 4 bytes in PE32 and 8 in PE32+, which
# has no BaseOfData.
_OPTIONAL = """Magic H MajorLinkerVersion B MinorLinkerVersion B SizeOfCode I
    SizeOfInitializedData I SizeOfUninitializedData I AddressOfEntryPoint I BaseOfCode I
    BaseOfData I ImageBase P SectionAlignment I FileAlignment I MajorOperatingSystemVersion H
    MinorOperatingSystemVersion H MajorImageVersion H MinorImageVersion H
    MajorSubsystemVersion H MinorSubsystemVersion H Win32VersionValue I SizeOfImage I
    SizeOfHeaders I CheckSum I Subsystem H DllCharacteristics H SizeOfStackReserve P
    SizeOfStackCommit P SizeOfHeapReserve P SizeOfHeapCommit P LoaderFlags I
    NumberOfRvaAndSizes I""".split()

Section = collections.namedtuple(
    "Section", "name virtual_size rva raw_size raw_offset characteristics")


class PeError(ValueError):
    """The data is not a PE file, or not one this reader can follow."""


class PE:
    def __init__(self, data):
        self.data = data
        try:
            self._read_headers()
        except struct.error:
            raise PeError("not a PE file (cut short in its headers)") from None

    def _read_headers(self):
        data = self.data
        if data[:2] != b"MZ":
            raise PeError("not a PE file (no MZ header)")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise PeError("not a PE file (no PE signature)")
        _, section_count, self.timestamp, _, _, optional_size, _ = struct.unpack_from(
            "<HHIIIHH", data, pe + 4)
        magic = struct.unpack_from("<H", data, pe + 24)[0]
        if magic not in (0x10B, 0x20B):
            raise PeError("unknown optional header magic 0x%x" % magic)
        self.pe32_plus = magic == 0x20B
        self.fields, self.field_at, at = {}, {}, pe + 24
        for name, kind in zip(_OPTIONAL[::2], _OPTIONAL[1::2]):
            if name == "BaseOfData" and self.pe32_plus:
                continue
            form = "<" + (("Q" if self.pe32_plus else "I") if kind == "P" else kind)
            self.fields[name], self.field_at[name] = struct.unpack_from(form, data, at)[0], at
            at += struct.calcsize(form)
        self.directories_at = at
        self.directories = [struct.unpack_from("<II", data, at + 8 * i)
                            for i in range(min(self.fields["NumberOfRvaAndSizes"], 16))]
        table = pe + 24 + optional_size
        self.sections = [
            Section(bytes(data[at:at + 8]).rstrip(b"\0").decode("latin-1"),
                    *struct.unpack_from("<IIII12xI", data, at + 8))
            for at in range(table, table + 40 * section_count, 40)]

    def directory(self, index):
        """(RVA, size) of a data directory; (0, 0) where the header has none."""
        return self.directories[index] if index < len(self.directories) else (0, 0)

    def offset(self, rva):
        """The file offset of an RVA."""
        for section in self.sections:
            if section.rva <= rva < section.rva + max(section.virtual_size, section.raw_size):
                if rva - section.rva >= section.raw_size:
                    raise PeError("RVA 0x%x is in no file data" % rva)
                return section.raw_offset + rva - section.rva
        raise PeError("RVA 0x%x is in no section" % rva)

    def resources(self):
        """{(type, name): (file offset, size)} of each resource's first
        language; types and names are ints (ordinals) or str."""
        rva = self.directory(RESOURCE)[0]
        if not rva:
            return {}
        base, data = self.offset(rva), self.data

        def entries(directory):
            named, ids = struct.unpack_from("<HH", data, base + directory + 12)
            for at in range(base + directory + 16, base + directory + 16 + 8 * (named + ids), 8):
                name, target = struct.unpack_from("<II", data, at)
                if name & 0x80000000:
                    at = base + (name & 0x7FFFFFFF)
                    length = struct.unpack_from("<H", data, at)[0]
                    name = bytes(data[at + 2:at + 2 + 2 * length]).decode("utf-16-le")
                yield name, target & 0x7FFFFFFF

        found = {}
        for type_, names in entries(0):
            for name, languages in entries(names):
                _, leaf = next(entries(languages))
                rva, size = struct.unpack_from("<II", data, base + leaf)
                found[(type_, name)] = self.offset(rva), size
        return found

    def resource(self, type_, name):
        """The bytes of a resource, or None if there is none."""
        found = self.resources().get((type_, name))
        return bytes(self.data[found[0]:found[0] + found[1]]) if found else None

    def checksum(self):
        """The PE checksum of the file as it is: the 16-bit one's-complement
        sum of its words, the CheckSum field left out, plus its length."""
        data = self.data
        words = array.array("H", bytes(data[:len(data) & ~1]))
        if sys.byteorder == "big":
            words.byteswap()
        at = self.field_at["CheckSum"] // 2
        words[at] = words[at + 1] = 0
        total = sum(words) + (data[-1] if len(data) % 2 else 0)
        while total >> 16:
            total = (total & 0xFFFF) + (total >> 16)
        return (total + len(data)) & 0xFFFFFFFF


def version_strings(blob):
    """{key: text} of every String under StringFileInfo of a version record."""
    strings = {}

    def align4(offset):
        return (offset + 3) & ~3

    def node(offset, end):
        length, value_length, kind = struct.unpack_from("<HHH", blob, offset)
        # windres counts the last padding in a length the resource lacks.
        stop = min(offset + length, end)
        key_end = offset + 6
        while blob[key_end:key_end + 2] != b"\0\0":
            key_end += 2
        key = blob[offset + 6:key_end].decode("utf-16-le")
        value_at = align4(key_end + 2)
        value_bytes = value_length * 2 if kind == 1 else value_length
        value = blob[value_at:value_at + value_bytes]
        child = align4(value_at + value_bytes)
        children = []
        while child + 6 <= stop:
            children.append(node(child, stop))
            child = align4(child + struct.unpack_from("<H", blob, child)[0])
        return key, value, children

    def walk(key, value, children, under_strings):
        if under_strings and not children:
            strings[key] = value.decode("utf-16-le").rstrip("\0")
        for child in children:
            walk(*child, under_strings or key == "StringFileInfo")

    walk(*node(0, len(blob)), False)
    return strings
