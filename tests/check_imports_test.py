#!/usr/bin/env python3
"""Proves check_imports.py fails when it should, on small synthetic programs,
link maps and lists; the real build only shows that it passes."""

import contextlib
import io
import os
import struct
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_imports  # noqa: E402


def build_pe(imports, delayed=(), linked=0):
    """A PE32 image holding only an import table (and, if given, a registered
    delay-import table): lists of (dll, [name or ordinal])."""
    base, blob = 0x1000, bytearray()

    def here():
        return base + len(blob)

    def align(n):
        while len(blob) % n:
            blob.append(0)

    def put_string(text):
        rva = here()
        blob.extend(text.encode() + b"\0")
        align(2)
        return rva

    def put_thunks(names):
        entries = []
        for name in names:
            if isinstance(name, int):
                entries.append(0x80000000 | name)
            else:
                entries.append(here())
                blob.extend(b"\0\0" + name.encode() + b"\0")
                align(2)
        align(4)
        rva = here()
        for entry in entries + [0]:
            blob.extend(struct.pack("<I", entry))
        return rva

    import_dir = here()
    blob.extend(bytes(20 * (len(imports) + 1)))
    delay_dir = here() if delayed else 0
    blob.extend(bytes(32 * (len(delayed) + 1)) if delayed else b"")
    for i, (dll, names) in enumerate(imports):
        lookup, first, name = put_thunks(names), put_thunks(names), put_string(dll)
        struct.pack_into("<IIIII", blob, import_dir - base + 20 * i, lookup, 0, 0, name, first)
    for i, (dll, names) in enumerate(delayed):
        lookup, iat, name = put_thunks(names), put_thunks(names), put_string(dll)
        align(4)
        handle = here()
        blob.extend(bytes(4))
        struct.pack_into("<8I", blob, delay_dir - base + 32 * i, 1, name, handle, iat, lookup,
                         0, 0, 0)

    header = bytearray(0x200)
    header[0:2] = b"MZ"
    struct.pack_into("<I", header, 0x3C, 0x40)
    header[0x40:0x44] = b"PE\0\0"
    struct.pack_into("<HHIIIHH", header, 0x44, 0x14C, 1, linked, 0, 0, 224, 0x102)
    optional = 0x58
    struct.pack_into("<H", header, optional, 0x10B)
    struct.pack_into("<I", header, optional + 28, 0x400000)
    struct.pack_into("<I", header, optional + 92, 16)
    struct.pack_into("<II", header, optional + 96 + 8, import_dir, 20 * (len(imports) + 1))
    if delayed:
        struct.pack_into("<II", header, optional + 96 + 8 * 13, delay_dir, 32 * (len(delayed) + 1))
    section = optional + 224
    header[section:section + 8] = b".idata\0\0"
    struct.pack_into("<IIII", header, section + 8, len(blob), base, len(blob), 0x200)
    return bytes(header + blob)


def map_text(*members, after=""):
    """An ld map whose archive list holds the given delay-library members:
    (dll, member index, symbol, wrapped onto the next line)."""
    lines = ["Archive member included to satisfy reference by file (symbol)", "",
             "libpackage.a(ShellCopy.cpp.obj)",
             "                              libwizard.a(Tmainform.cpp.obj) (Copy())",
             "/usr/lib/libkernel32.a(libkernel32s00767.o)",
             "                              libpackage.a(Stage.cpp.obj) (_imp__GetTempPathW@8)"]
    for dll, index, symbol, wrapped in members:
        member = "delay/lib%s_delay.a(_b_delay_lib%s_delay_a_raw_s%05d.o)" % (dll, dll, index)
        reference = "libtoolkit.a(Form.cpp.obj) (%s)" % symbol
        lines += [member, " " * 30 + reference] if wrapped else [member + "  " + reference]
        head = "delay/lib%s_delay.a(_b_delay_lib%s_delay_a_raw_h.o)" % (dll, dll)
        lines += [head, " " * 30 + member + " (__tailMerge__b_delay_lib%s_delay_a_raw)" % dll]
    lines += ["", "Discarded input sections", "", after, "", "Memory Configuration", ""]
    return "\n".join(lines) + "\n"


LIST = """# test list
allow-dll kernel32.dll
kernel32.dll  GetModuleHandleW          Windows XP                   import   https://example.invalid/a
kernel32.dll  GetProcAddress            Windows XP                   import   https://example.invalid/b
kernel32.dll  SetDefaultDllDirectories  Windows 8, KB2533623 on Windows 7  runtime  https://example.invalid/c
allow-dll user32.dll
user32.dll    SetFocus                  Windows 2000 Professional    import   -
user32.dll    UpdateWindow              Windows 2000 Professional    import   -
"""
GOOD_STATIC = [("kernel32.dll", "GetModuleHandleW"), ("kernel32.dll", "GetProcAddress")]
GOOD_DELAYED = [("user32.dll", "SetFocus"), ("user32.dll", "UpdateWindow")]
UNKNOWN = ("kernel32.dll!CreateFileW is imported but not in tests/windows-imports.txt: add a "
           "reviewed line with the oldest Windows that exports it")


class ReadsTheImportTable(unittest.TestCase):
    def test_names_ordinals_and_registered_delay_table(self):
        image = build_pe([("KERNEL32.dll", ["GetProcAddress", "Sleep"]), ("ws2_32.dll", [23])],
                         delayed=[("USER32.dll", ["SetFocus"])])
        ordinary, delayed = check_imports.pe_imports(image)
        self.assertEqual(ordinary, [("kernel32.dll", "GetProcAddress"), ("kernel32.dll", "Sleep"),
                                    ("ws2_32.dll", "#23")])
        self.assertEqual(delayed, [("user32.dll", "SetFocus")])

    def test_not_a_program(self):
        for data in (b"", b"ELF\0" + bytes(100), b"MZ" + bytes(0x3A) + b"\x40\0\0\0" + bytes(8)):
            with self.assertRaises(check_imports.pe_reader.PeError):
                check_imports.pe_imports(data + bytes(0x100))

    def test_objdump_listing(self):
        listing = ("\tDLL Name: KERNEL32.dll\n\tvma:  Hint/Ord Member-Name Bound-To\n"
                   "\t273d8\t   21  AddVectoredExceptionHandler\n\t273f6\t  136  CloseHandle\n\n"
                   "\tDLL Name: ntdll.dll\n\tvma:  Hint/Ord Member-Name Bound-To\n"
                   "\t27aa4\t  297  NtCreateFile\n\n")
        self.assertEqual(check_imports.objdump_imports(listing),
                         [("kernel32.dll", "AddVectoredExceptionHandler"),
                          ("kernel32.dll", "CloseHandle"), ("ntdll.dll", "NtCreateFile")])


class ReadsTheLinkMap(unittest.TestCase):
    def test_symbol_forms(self):
        cases = [
            ("stdcall import, wrapped", ("user32", 982, "_imp__UpdateWindow@4", True),
             ("user32.dll", "UpdateWindow")),
            ("stdcall import, one line", ("gdi32", 17, "_imp__DeleteDC@4", False),
             ("gdi32.dll", "DeleteDC")),
            ("cdecl import", ("user32", 5, "__imp__wsprintfW", True), ("user32.dll", "wsprintfW")),
            ("direct call", ("advapi32", 762, "SystemFunction036@8", True),
             ("advapi32.dll", "SystemFunction036")),
        ]
        for name, member, expected in cases:
            with self.subTest(name):
                self.assertEqual(check_imports.delayed_imports(map_text(member)), [expected])

    def test_only_the_archive_member_list_counts(self):
        later = "delay/libshell32_delay.a(_b_delay_libshell32_delay_a_raw_s00001.o)  x (_imp__Y@4)"
        self.assertEqual(check_imports.delayed_imports(map_text(after=later)), [])

    def test_not_a_map(self):
        with self.assertRaises(check_imports.InputError):
            check_imports.delayed_imports("garbage\n")


class Checks(unittest.TestCase):
    def run_check(self, static, delayed, listed=LIST):
        return check_imports.check(static, delayed, listed, "tests/windows-imports.txt")

    def test_cases(self):
        cases = [
            ("all good", GOOD_STATIC, GOOD_DELAYED, LIST, []),
            ("unknown function", GOOD_STATIC + [("kernel32.dll", "CreateFileW")], GOOD_DELAYED,
             LIST, [UNKNOWN]),
            ("non-system DLL", GOOD_STATIC + [("planted.dll", "Run"), ("planted.dll", "Stop")],
             GOOD_DELAYED, LIST,
             ["planted.dll is imported but is not a system DLL allowed in "
              "tests/windows-imports.txt"]),
            ("runtime function statically imported",
             GOOD_STATIC + [("kernel32.dll", "SetDefaultDllDirectories")], GOOD_DELAYED, LIST,
             ["kernel32.dll!SetDefaultDllDirectories is marked runtime (Windows 8, KB2533623 on "
              "Windows 7) but is a static import: the loader refuses to start the program where "
              "it is missing; look it up with GetProcAddress"]),
            ("runtime function delay-loaded", GOOD_STATIC,
             GOOD_DELAYED + [("kernel32.dll", "SetDefaultDllDirectories")], LIST,
             ["kernel32.dll!SetDefaultDllDirectories is marked runtime (Windows 8, KB2533623 on "
              "Windows 7) but is delay-loaded: the call raises an exception where it is missing; "
              "look it up with GetProcAddress"]),
            ("post-Windows-7 function not marked runtime", GOOD_STATIC, GOOD_DELAYED,
             LIST.replace("Windows 2000 Professional    import   -\nuser32.dll    Update",
                          "Windows 8                    import   -\nuser32.dll    Update"),
             ["tests/windows-imports.txt line 7: user32.dll!SetFocus needs Windows 8, later "
              "than Windows 7: look it up with GetProcAddress, with a fallback, and mark it "
              "runtime"]),
            ("version the check cannot place", GOOD_STATIC, GOOD_DELAYED,
             LIST.replace("Windows 2000 Professional    import   -\nuser32.dll    Update",
                          "Win2k                        import   -\nuser32.dll    Update"),
             ["tests/windows-imports.txt line 7: user32.dll!SetFocus: 'Win2k' is not a Windows "
              "version this check knows"]),
            ("C runtime outside msvcrt.dll", GOOD_STATIC, GOOD_DELAYED,
             LIST.replace("Windows 2000 Professional    import   -\nuser32.dll    Update",
                          "C runtime                    import   -\nuser32.dll    Update"),
             ["tests/windows-imports.txt line 7: user32.dll!SetFocus: only msvcrt.dll "
              "functions can be 'C runtime'"]),
            ("list out of order", GOOD_STATIC, GOOD_DELAYED,
             LIST.replace("SetFocus ", "Zoom     "),
             ["tests/windows-imports.txt line 8: user32.dll!UpdateWindow is out of order: keep "
              "DLLs and their functions sorted", UNKNOWN.replace("kernel32.dll!CreateFileW",
                                                                 "user32.dll!SetFocus")]),
            ("function of a DLL not allowed", GOOD_STATIC, GOOD_DELAYED,
             LIST + "zlib.dll  inflate  Windows XP  import  -\n",
             ["tests/windows-imports.txt line 9: zlib.dll!inflate: zlib.dll is not an "
              "allow-dll above"]),
        ]
        for name, static, delayed, listed, expected in cases:
            with self.subTest(name):
                problems, _ = self.run_check(static, delayed, listed)
                self.assertEqual(problems, expected)

    def test_listed_but_not_imported_is_a_note_only(self):
        problems, notes = self.run_check(GOOD_STATIC, GOOD_DELAYED[:1])
        self.assertEqual(problems, [])
        self.assertEqual(notes, ["user32.dll!UpdateWindow is in tests/windows-imports.txt but "
                                 "not imported"])


class CommandLine(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)

    def write(self, name, data):
        path = os.path.join(self.dir.name, name)
        with open(path, "wb" if isinstance(data, bytes) else "w") as f:
            f.write(data)
        return path

    def run_main(self, kernel32, extra=()):
        program = self.write("program.exe", build_pe([("KERNEL32.dll", kernel32)]))
        link_map = self.write("program.map", map_text(("user32", 1, "_imp__SetFocus@4", True),
                                                      ("user32", 2, "_imp__UpdateWindow@4", True)))
        listed = self.write("windows-imports.txt", LIST)
        out = io.StringIO()
        with contextlib.redirect_stdout(out):
            status = check_imports.main(["--program", program, "--map", link_map,
                                         "--list", listed] + list(extra))
        return status, out.getvalue().splitlines()

    def test_fails_on_the_runtime_function_then_passes_without_it(self):
        status, lines = self.run_main(["GetModuleHandleW", "GetProcAddress",
                                       "SetDefaultDllDirectories"])
        self.assertEqual(status, 1)
        self.assertEqual([line for line in lines if not line.startswith("note:")],
                         ["kernel32.dll!SetDefaultDllDirectories is marked runtime (Windows 8, "
                          "KB2533623 on Windows 7) but is a static import: the loader refuses "
                          "to start the program where it is missing; look it up with "
                          "GetProcAddress"])
        status, lines = self.run_main(["GetModuleHandleW", "GetProcAddress"])
        self.assertEqual((status, lines[-1]), (0, "ok: 2 static imports, 2 delay-loaded "
                                                  "functions, all available on Windows 7 SP1"))

    def test_objdump_that_disagrees_stops_the_check(self):
        listing = self.write("listing.txt", "\tDLL Name: KERNEL32.dll\n"
                                            "\t273d8\t   21  GetModuleHandleW\n\n")
        objdump = self.write("objdump", "#!/bin/sh\ncat '%s'\n" % listing)
        os.chmod(objdump, 0o755)
        status, lines = self.run_main(["GetModuleHandleW", "GetProcAddress"], ["--objdump", objdump])
        self.assertEqual(status, 2)
        self.assertIn("differs from objdump's", lines[-1])

    def test_map_older_than_the_link_stops_the_check(self):
        linked = 1700000000
        program = self.write("program.exe", build_pe([("KERNEL32.dll", ["GetProcAddress"])],
                                                     linked=linked))
        link_map = self.write("program.map", map_text())
        listed = self.write("windows-imports.txt", LIST)
        for map_time, expected in ((linked - 3600, 2), (linked + 5, 0)):
            with self.subTest(map_time - linked):
                os.utime(link_map, (map_time, map_time))
                with contextlib.redirect_stdout(io.StringIO()):
                    status = check_imports.main(["--program", program, "--map", link_map,
                                                 "--list", listed])
                self.assertEqual(status, expected)


if __name__ == "__main__":
    unittest.main()
