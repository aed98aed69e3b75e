"""Reads resources back out of what windres and the linker made: a .res
file or a PE image, and the strings of a version record.

Resource types and names are ints (ordinals) or str; each reader returns
{(type, name): bytes} for the first language of each.
"""
import struct

RT_ICON, RT_RCDATA, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 10, 14, 16, 24


def _align4(offset):
    return (offset + 3) & ~3


def _res_id(data, offset):
    """An ordinal or a NUL-terminated UTF-16 name in a .res header."""
    if struct.unpack_from("<H", data, offset)[0] == 0xFFFF:
        return struct.unpack_from("<H", data, offset + 2)[0], offset + 4
    end = offset
    while data[end:end + 2] != b"\0\0":
        end += 2
    return data[offset:end].decode("utf-16-le"), end + 2


def res_resources(data):
    resources, offset = {}, 0
    while offset + 8 <= len(data):
        size, header_size = struct.unpack_from("<II", data, offset)
        type_, after = _res_id(data, offset + 8)
        name, _ = _res_id(data, after)
        if size or type_:
            start = offset + header_size
            resources.setdefault((type_, name), data[start:start + size])
        offset = _align4(offset + header_size + size)
    return resources


def pe_resources(data):
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    assert data[pe:pe + 4] == b"PE\0\0", "not a PE image"
    sections, optional_size = struct.unpack_from("<H", data, pe + 6)[0], \
        struct.unpack_from("<H", data, pe + 20)[0]
    optional = pe + 24
    directories = optional + (96 if struct.unpack_from("<H", data, optional)[0] == 0x10B else 112)
    rsrc_rva = struct.unpack_from("<I", data, directories + 2 * 8)[0]
    table = [struct.unpack_from("<IIII", data, optional + optional_size + 40 * i + 8)
             for i in range(sections)]

    def file_offset(rva):
        for virtual_size, address, raw_size, raw_offset in table:
            if address <= rva < address + max(virtual_size, raw_size):
                return rva - address + raw_offset
        raise ValueError(f"RVA 0x{rva:x} is in no section")

    base = file_offset(rsrc_rva)

    def entries(directory):
        named, ids = struct.unpack_from("<HH", data, base + directory + 12)
        for i in range(named + ids):
            name, target = struct.unpack_from("<II", data, base + directory + 16 + 8 * i)
            if name & 0x80000000:
                at = base + (name & 0x7FFFFFFF)
                length = struct.unpack_from("<H", data, at)[0]
                name = data[at + 2:at + 2 + 2 * length].decode("utf-16-le")
            yield name, target

    resources = {}
    for type_, names in entries(0):
        for name, languages in entries(names & 0x7FFFFFFF):
            _, leaf = next(entries(languages & 0x7FFFFFFF))
            rva, size = struct.unpack_from("<II", data, base + leaf)
            start = file_offset(rva)
            resources[(type_, name)] = data[start:start + size]
    return resources


def version_strings(blob):
    """{key: text} of every String under StringFileInfo of a version record."""
    strings = {}

    def node(offset, end):
        length, value_length, kind = struct.unpack_from("<HHH", blob, offset)
        # windres counts the last padding in a length the resource lacks.
        stop = min(offset + length, end)
        key_end = offset + 6
        while blob[key_end:key_end + 2] != b"\0\0":
            key_end += 2
        key = blob[offset + 6:key_end].decode("utf-16-le")
        value_at = _align4(key_end + 2)
        value_bytes = value_length * 2 if kind == 1 else value_length
        value = blob[value_at:value_at + value_bytes]
        child = _align4(value_at + value_bytes)
        children = []
        while child + 6 <= stop:
            children.append(node(child, stop))
            child = _align4(child + struct.unpack_from("<H", blob, child)[0])
        return key, value, children

    def walk(key, value, children, under_strings):
        if under_strings and not children:
            strings[key] = value.decode("utf-16-le").rstrip("\0")
        for child in children:
            walk(*child, under_strings or key == "StringFileInfo")

    walk(*node(0, len(blob)), False)
    return strings
