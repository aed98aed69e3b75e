#!/usr/bin/env python3
"""Fails when the program imports a function that is not in the reviewed
list, or one that Windows 7 SP1 without updates does not export.

  check_imports.py --program EXE --map MAP --list LIST [--objdump OBJDUMP]

The ordinary import table (and a registered delay-import table, if the link
ever fills one) is read from the PE file itself: objdump's text layout
differs between binutils versions, the PE layout does not. With --objdump,
objdump's listing is compared with that reading, so a fault in this parser
shows up instead of a silent pass.

The delay-loaded functions come from the linker map (-Wl,-Map): the delay
tables are built by our own dlltool step and are not registered in the PE
delay-import directory, so the file does not list them. The map names every
delay-library member the link pulled in and the symbol that pulled it.

It reads PE32 and PE32+ alike, but the list is the shipped 32-bit
program's, and the test command checks that program only.

Exit status: 0 all good, 1 problems found (one line each), 2 bad input.
"""

import argparse
import os
import re
import struct
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "support"))
import pe_reader  # noqa: E402

# Windows versions as Microsoft's pages write them, ranked by release.
WINDOWS_ORDER = [("NT", 40), ("2000", 50), ("XP", 51), ("Vista", 60), ("7", 61),
                 ("8", 62), ("8.1", 63), ("10", 100), ("11", 110)]
WINDOWS_7 = 61
# "8.1" before "8", or "Windows 8.1" would read as Windows 8.
WINDOWS_RE = re.compile(r"^Windows (NT|2000|XP|Vista|7|8\.1|8|10|11)\b")
# msvcrt.dll ships with every Windows; Microsoft documents the C runtime's
# functions, not msvcrt.dll's export history.
C_RUNTIME = "C runtime"
C_RUNTIME_DLL = "msvcrt.dll"
# Kept only after review; Microsoft has no page for it.
UNDOCUMENTED = "undocumented"
KINDS = ("import", "runtime")


class InputError(Exception):
    """The program, map or list cannot be read as such."""


# ---------------------------------------------------------------- PE file

def pe_imports(data):
    """(dll, function) pairs of the import table, and of the registered
    delay-import table. Ordinal imports are named '#<ordinal>'."""
    image = pe_reader.PE(data)
    offset = image.offset
    thunk = "<Q" if image.pe32_plus else "<I"
    ordinal_flag = 1 << (63 if image.pe32_plus else 31)

    def text(rva):
        at = offset(rva)
        return data[at:data.index(b"\0", at)].decode("ascii")

    def names(dll, table_rva):
        at = offset(table_rva)
        while True:
            entry = struct.unpack_from(thunk, data, at)[0]
            if entry == 0:
                return
            if entry & ordinal_flag:
                yield dll, "#%d" % (entry & 0xFFFF)
            else:
                yield dll, text((entry & 0x7FFFFFFF) + 2)
            at += struct.calcsize(thunk)

    ordinary, delayed = [], []
    rva = image.directory(pe_reader.IMPORT)[0]
    while rva:
        lookup, _, _, name, first = struct.unpack_from("<IIIII", data, offset(rva))
        if not (lookup or name or first):
            break
        ordinary.extend(names(text(name).lower(), lookup or first))
        rva += 20
    rva = image.directory(pe_reader.DELAY_IMPORT)[0]
    while rva:
        attributes, name, _, _, lookup = struct.unpack_from("<IIIII", data, offset(rva))
        if not name:
            break
        # Old-style descriptors hold addresses, not RVAs.
        base = 0 if attributes & 1 else image.fields["ImageBase"]
        delayed.extend(names(text(name - base).lower(), lookup - base))
        rva += 32
    return ordinary, delayed


def objdump_imports(listing):
    """(dll, function) pairs from `objdump -p`'s import tables."""
    found, dll = [], None
    for line in listing.splitlines():
        named = re.match(r"\s*DLL Name: (\S+)", line)
        if named:
            dll = named.group(1).lower()
            continue
        if not line.strip():
            dll = None
            continue
        entry = re.match(r"\t[0-9a-fA-F]+\s+(\d+)\s+(\S+)", line)
        if dll and entry:
            name = entry.group(2)
            found.append((dll, "#" + entry.group(1) if name == "<none>" else name))
    return found


# -------------------------------------------------------------- link map

MAP_SECTION_END = ("Allocating common symbols", "Discarded input sections",
                   "Memory Configuration", "Linker script and memory map")
MEMBER_RE = re.compile(r"^(\S*?)lib([A-Za-z0-9_.-]+?)_delay\.a\(([^)]+)\)(.*)$")


def function_name(symbol):
    """The exported name behind an i386 import symbol as ld prints it."""
    plain = re.match(r"^_{1,2}imp__(.+)$", symbol)
    if plain:
        symbol = plain.group(1)
    # ld already drops the leading underscore of C symbols in the map.
    return re.sub(r"@\d+$", "", symbol)


def delayed_imports(map_text):
    """(dll, function) pairs of the delay-load stubs the link pulled in."""
    lines = map_text.splitlines()
    try:
        start = lines.index("Archive member included to satisfy reference by file (symbol)")
    except ValueError:
        raise InputError("no archive member list: not an ld map written with -Map")
    found = []
    for i in range(start + 1, len(lines)):
        if lines[i].startswith(MAP_SECTION_END):
            break
        member = MEMBER_RE.match(lines[i])
        if not member:
            continue
        dll, object_name, rest = member.group(2).lower() + ".dll", member.group(3), member.group(4)
        # The head and tail members hold the DLL's descriptor, not a function.
        if re.search(r"_[ht]\.o$", object_name):
            continue
        reference = rest.strip() or (lines[i + 1].strip() if i + 1 < len(lines) else "")
        symbol = re.search(r" \(([^()]+)\)$", reference)
        if not symbol:
            raise InputError("cannot tell which function %s(%s) is: %r"
                             % (dll, object_name, reference))
        found.append((dll, function_name(symbol.group(1))))
    return found


# ------------------------------------------------------------------ list

def windows_rank(version):
    match = WINDOWS_RE.match(version)
    if not match:
        return None
    return dict(WINDOWS_ORDER)[match.group(1)]


def read_list(text):
    """(allowed DLLs, entries by (dll, function), problems with the list)."""
    allowed, entries, problems, previous = set(), {}, [], None
    for number, raw in enumerate(text.splitlines(), 1):
        line = raw.strip()
        if not line or line.startswith("#"):
            continue
        where = "line %d" % number
        fields = line.split()
        if fields[0] == "allow-dll":
            if len(fields) != 2:
                problems.append("%s: expected 'allow-dll <name>.dll'" % where)
            else:
                allowed.add(fields[1].lower())
            continue
        if len(fields) < 5:
            problems.append("%s: expected '<dll> <function> <oldest Windows> import|runtime <page>'"
                            % where)
            continue
        dll, function, kind, page = fields[0].lower(), fields[1], fields[-2], fields[-1]
        version = " ".join(fields[2:-2])
        key = (dll, function)
        name = "%s!%s" % key
        if kind not in KINDS:
            problems.append("%s: %s: the fourth column is '%s', not import or runtime"
                            % (where, name, kind))
            continue
        if key in entries:
            problems.append("%s: %s is listed twice" % (where, name))
            continue
        order = (dll, function.lower())
        if previous and order < previous:
            problems.append("%s: %s is out of order: keep DLLs and their functions sorted"
                            % (where, name))
        previous = order
        if dll not in allowed:
            problems.append("%s: %s: %s is not an allow-dll above" % (where, name, dll))
        if not (page.startswith("https://") or page == "-"):
            problems.append("%s: %s: the last column must be Microsoft's page or '-'"
                            % (where, name))
        rank = windows_rank(version)
        if version == C_RUNTIME:
            if dll != C_RUNTIME_DLL:
                problems.append("%s: %s: only %s functions can be '%s'"
                                % (where, name, C_RUNTIME_DLL, C_RUNTIME))
        elif version == UNDOCUMENTED:
            pass
        elif rank is None:
            problems.append("%s: %s: '%s' is not a Windows version this check knows"
                            % (where, name, version))
        elif rank > WINDOWS_7 and kind != "runtime":
            problems.append("%s: %s needs %s, later than Windows 7: look it up with "
                            "GetProcAddress, with a fallback, and mark it runtime"
                            % (where, name, version))
        entries[key] = (version, kind)
    return allowed, entries, problems


# ----------------------------------------------------------------- check

def check(static, delayed, list_text, list_name):
    """(problems, notes) for the given imports against the list."""
    allowed, entries, problems = read_list(list_text)
    problems = ["%s %s" % (list_name, p) for p in problems]
    imported = set()
    bad_dlls = set()
    for how, pairs in (("a static import", static), ("delay-loaded", delayed)):
        for dll, function in sorted(set(pairs)):
            imported.add((dll, function))
            name = "%s!%s" % (dll, function)
            if dll not in allowed:
                if dll not in bad_dlls:
                    problems.append("%s is imported but is not a system DLL allowed in %s"
                                    % (dll, list_name))
                    bad_dlls.add(dll)
                continue
            entry = entries.get((dll, function))
            if entry is None:
                problems.append("%s is imported but not in %s: add a reviewed line with "
                                "the oldest Windows that exports it" % (name, list_name))
            elif entry[1] == "runtime":
                why = ("the loader refuses to start the program where it is missing"
                       if how == "a static import" else
                       "the call raises an exception where it is missing")
                problems.append("%s is marked runtime (%s) but is %s: %s; look it up "
                                "with GetProcAddress" % (name, entry[0], how, why))
    # Entries ahead of (or left after) the code that uses them do no harm.
    notes = ["%s!%s is in %s but not imported" % (key + (list_name,))
             for key, (_, kind) in sorted(entries.items())
             if kind == "import" and key not in imported]
    notes += ["%s!%s has no Microsoft page: imported on review only" % key
              for key, (version, _) in sorted(entries.items())
              if version == UNDOCUMENTED and key in imported]
    return problems, notes


def display_name(path):
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    relative = os.path.relpath(os.path.abspath(path), root)
    return path if relative.startswith("..") else relative


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--program", required=True, help="the linked .exe")
    parser.add_argument("--map", required=True, help="its ld map (-Wl,-Map=...)")
    parser.add_argument("--list", required=True, help="tests/windows-imports.txt")
    parser.add_argument("--objdump", help="objdump to cross-check the PE reading with")
    args = parser.parse_args(argv)
    try:
        with open(args.program, "rb") as f:
            image = f.read()
        static, registered = pe_imports(image)
        # A map left from an earlier link would hide what this one delay-loads.
        # The link time, not the file time: signing rewrites the file later.
        linked = pe_reader.PE(image).timestamp
        if linked and os.path.getmtime(args.map) + 60 < linked:
            raise InputError("%s is older than the link of %s: is the link still writing it?"
                             % (args.map, args.program))
        with open(args.map, encoding="utf-8", errors="replace") as f:
            delayed = registered + delayed_imports(f.read())
        with open(args.list, encoding="utf-8") as f:
            list_text = f.read()
        if args.objdump:
            listing = subprocess.run([args.objdump, "-p", args.program], check=True,
                                     capture_output=True, text=True).stdout
            theirs, ours = set(objdump_imports(listing)), set(static)
            # Whether objdump prints a registered delay table differs by version.
            if ours - theirs or theirs - ours - set(registered):
                raise InputError("this script's reading of the import table differs from "
                                 "objdump's: only objdump %s, only here %s"
                                 % (sorted(theirs - ours), sorted(ours - theirs)))
    except (OSError, InputError, subprocess.CalledProcessError, struct.error,
            ValueError) as error:
        print("check_imports: %s" % error)
        return 2
    if not static:
        print("check_imports: no imports found in %s" % args.program)
        return 2
    problems, notes = check(static, delayed, list_text, display_name(args.list))
    for note in notes:
        print("note: " + note)
    for problem in problems:
        print(problem)
    if problems:
        return 1
    print("ok: %d static imports, %d delay-loaded functions, all available on Windows 7 SP1"
          % (len(set(static)), len(set(delayed))))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
