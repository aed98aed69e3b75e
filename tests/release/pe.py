#!/usr/bin/env python3
"""Reads what the release tests need from a PE file (PE32 or PE32+).

    pe.py stamp PROGRAM                 the link time stamp, in seconds
    pe.py signed PROGRAM                exit 0 when it carries a signature
    pe.py same PROGRAM NAME FILE        exit 0 when RCDATA NAME holds FILE's bytes
    pe.py flip PROGRAM NAME             flip one bit in the middle of RCDATA NAME
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                                "support"))
import pe_reader  # noqa: E402


def rcdata(pe, wanted):
    """(file offset, size) of the raw data resource called `wanted`."""
    found = pe.resources().get((pe_reader.RT_RCDATA, wanted))
    if not found:
        raise SystemExit(f"no RCDATA resource {wanted}")
    return found


def main(command, program, *rest):
    with open(program, "rb") as f:
        pe = pe_reader.PE(f.read())
    if command == "stamp":
        print(pe.timestamp)
    elif command == "signed":
        return 0 if pe.directory(pe_reader.SECURITY)[1] else 1
    elif command == "same":
        at, size = rcdata(pe, rest[0])
        with open(rest[1], "rb") as f:
            return 0 if pe.data[at:at + size] == f.read() else 1
    elif command == "flip":
        at, size = rcdata(pe, rest[0])
        with open(program, "r+b") as f:
            f.seek(at + size // 2)
            byte = f.read(1)[0]
            f.seek(at + size // 2)
            f.write(bytes([byte ^ 1]))
    else:
        raise SystemExit(__doc__)
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main(*sys.argv[1:]))
    except pe_reader.PeError as error:
        sys.exit(str(error))
