#!/usr/bin/env python3
"""The built program's layout: small file alignment, its resources (the
payload) on a page boundary in the file, sections that do not overlap and
lie inside the file, and a PE checksum that matches.

    check_program_layout.py PROGRAM
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "support"))
import pe_reader  # noqa: E402


def problems(data):
    image = pe_reader.PE(data)
    file_alignment = image.fields["FileAlignment"]
    found = []
    if file_alignment != 512:
        found.append(f"file alignment is {file_alignment}, not 512")
    spans = []
    for section in image.sections:
        name, size, raw = section.name, section.raw_size, section.raw_offset
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
    if image.fields["CheckSum"] != image.checksum():
        found.append("the PE checksum does not match the file")
    return found


if __name__ == "__main__":
    with open(sys.argv[1], "rb") as f:
        found = problems(f.read())
    for problem in found:
        print(f"{sys.argv[1]}: {problem}")
    sys.exit(1 if found else 0)
