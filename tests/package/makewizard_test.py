"""makewizard against its tables: package folders, package.cmake lines,
stubs and outputs it must refuse with the owner's message, and what it
writes read back by an independent reader (python3-pefile), byte for byte.

    makewizard_test.py --makewizard BUILDER --stub wizard-stub.exe
                       [--makewizard-exe makewizard.exe]

With --makewizard-exe, the Windows builder runs under Wine (wine64, or
WINE) and must write the same bytes as the native one.
"""
import argparse
import hashlib
import os
import re
import resource
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import unittest

try:
    import pefile
except ImportError:
    # Debian's python3-pefile is the system Python's: run there when the
    # Python at hand lacks it.
    if sys.executable != "/usr/bin/python3" and os.path.exists("/usr/bin/python3"):
        os.execv("/usr/bin/python3", ["/usr/bin/python3", *sys.argv])
    raise

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "tests", "support"))
import package_format  # noqa: E402
import pe_reader  # noqa: E402

SAMPLE = os.path.join(ROOT, "resources", "sample-package")
MIB = 1024 * 1024
SAVE = "Save agreement.txt as UTF-8 (in Notepad: Save As, Encoding UTF-8)."
ICON_NEEDS = "48, 32 and 16 pixel images at 32 bits per pixel"
ORDER = ("build takes the stub, the package folder and the output, in that order: "
         "makewizard build STUB PACKAGE_DIR OUTPUT.exe.")
TO_UTF8 = "makewizard reads package.cmake as UTF-8 only. Save it as UTF-8 (in Notepad: Save As, Encoding UTF-8)."
IDENTITY_RULE = ('a manifest identity name may hold only letters, digits, ".", "-" and "_" '
                 "(for example Owner.Package).")
SETTINGS = {"PACKAGE_COMPANY_NAME": "ORVEN Sample Devices Ltd.",
            "PACKAGE_LEGAL_COPYRIGHT": "Copyright (C) 2026 ORVEN Sample Devices Ltd.",
            "PACKAGE_IDENTITY_NAME": "ORVEN.VELNORIX410aPackageE"}
PAYLOAD = {"VELNORIX410aE.exe": b"MZ installer", "VELNORIX_User'sManual.pdf": b"%PDF-1.4",
           "ReadMe_E.txt": b""}
RT_ICON, RT_RCDATA, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 10, 14, 16, 24
args = None


def png(size, depth=8, colour=6):
    return (b"\x89PNG\r\n\x1a\n" + struct.pack(">I4sIIBBBBB", 13, b"IHDR", size, size,
                                                depth, colour, 0, 0, 0) + b"\0" * 4)


def bitmap(size, bits):
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, bits, 0, 0, 0, 0, 0, 0)
    return header + b"\0" * (size * size * bits // 8 + size * 4)


def ico(*images):
    out, offset = struct.pack("<HHH", 0, 1, len(images)), 6 + 16 * len(images)
    for data in images:
        out += struct.pack("<BBBBHHII", 0, 0, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(images)


def cmake_set(name, value):
    escaped = value.replace(b"\\", b"\\\\").replace(b'"', b'\\"').replace(b"\n", b"\\n")
    return b"set(" + name.encode() + b' "' + escaped + b'")\n'


def mark_signed(data):
    """A certificate table over the whole image, as far as headers tell."""
    at = pe_reader.PE(data).directories_at + 8 * pe_reader.SECURITY
    struct.pack_into("<II", data, at, len(data), 8)


def write(path, data):
    with open(path, "wb") as f:
        f.write(data.encode() if isinstance(data, str) else data)


def read(path):
    with open(path, "rb") as f:
        return f.read()


class Builder(unittest.TestCase):
    """A valid package folder in a scratch directory, changed by each case."""

    def setUp(self):
        self.scratch = tempfile.mkdtemp(prefix="makewizard-test-")
        self.addCleanup(shutil.rmtree, self.scratch)
        self.pkg = os.path.join(self.scratch, "package")
        self.out = os.path.join(self.scratch, "out", "Setup.exe")
        self.settings = {name: value.encode() for name, value in SETTINGS.items()}
        self.package_cmake = None
        os.makedirs(self.pkg)
        os.makedirs(os.path.dirname(self.out))
        write(self.path("agreement.txt"), "Licence agreement\r\n\r\n1.\tTerms.\r\n")
        shutil.copy(os.path.join(SAMPLE, "program.ico"), self.path("program.ico"))
        for name, data in PAYLOAD.items():
            write(self.path(name), data)

    def path(self, name):
        return os.path.join(self.pkg, name)

    def build(self, *options, stub=None, pkg=None, out=None, builder=(), windows_paths=False,
              **popen):
        if self.package_cmake is None and os.path.isdir(self.pkg):
            write(self.path("package.cmake"), b"# The owner's texts\n" + b"".join(
                cmake_set(name, value) for name, value in self.settings.items()))
        paths = [stub or args.stub, pkg or self.pkg, out or self.out]
        if windows_paths:
            paths = ["Z:" + path.replace("/", "\\") for path in paths]
        command = [*(builder or [args.makewizard]), "build", *paths, *options]
        return subprocess.run(command, capture_output=True, **popen)

    def refusal(self, *options, **kwargs):
        run = self.build(*options, **kwargs)
        self.assertEqual(run.returncode, 1, run.stderr)
        out_dir = os.path.dirname(kwargs.get("out") or self.out)
        if os.path.isdir(out_dir):
            self.assertEqual([f for f in os.listdir(out_dir) if "partial" in f], [],
                             "no temporary file is left")
        return run.stderr.decode().rstrip("\n")

    def built(self, *options, **kwargs):
        run = self.build(*options, **kwargs)
        self.assertEqual(run.returncode, 0, run.stderr)
        image = read(self.out)
        shown = kwargs.get("windows_paths") and "Z:" + self.out.replace("/", "\\") or self.out
        self.assertEqual(run.stdout.decode(), f"Wrote {shown} ({len(image):,} bytes, SHA-256 "
                         f"{hashlib.sha256(image).hexdigest()})\n")
        return image


class FolderRefusals(Builder):
    def test_each_bad_folder_is_refused_by_name(self):
        pc = "{pkg}/package.cmake"
        agreement = "{pkg}/agreement.txt"
        icon = "{pkg}/program.ico"
        cases = [
            ("no package.cmake", lambda: setattr(self, "package_cmake", b""),
             'The package folder {pkg} has no package.cmake: add one with a set(NAME "value") '
             "line for each of PACKAGE_COMPANY_NAME, PACKAGE_LEGAL_COPYRIGHT and "
             "PACKAGE_IDENTITY_NAME, as the sample package's package.cmake has."),
            ("a misspelled setting", lambda: self.own_cmake(b'set(PACKAGE_COPMANY_NAME "A")'),
             pc + " line 2 sets PACKAGE_COPMANY_NAME, which is not a setting of package.cmake: "
             "did you mean PACKAGE_COMPANY_NAME?"),
            ("a setting without its PACKAGE_", lambda: self.own_cmake(b'set(COMPANY_NAME "A")'),
             pc + " line 2 sets COMPANY_NAME, which is not a setting of package.cmake: did you "
             "mean PACKAGE_COMPANY_NAME?"),
            ("a setting without one of its words",
             lambda: self.own_cmake(b'set(PACKAGE_COPYRIGHT "A")'),
             pc + " line 2 sets PACKAGE_COPYRIGHT, which is not a setting of package.cmake: did "
             "you mean PACKAGE_LEGAL_COPYRIGHT?"),
            ("an unknown setting", lambda: self.own_cmake(b'set(PACKAGE_PRODUCT_NAME "A")'),
             pc + " line 2 sets PACKAGE_PRODUCT_NAME, which is not a setting of package.cmake: "
             "it sets only PACKAGE_COMPANY_NAME, PACKAGE_LEGAL_COPYRIGHT and "
             "PACKAGE_IDENTITY_NAME (the product name, its version and the file names are fixed "
             "in the stub). Remove that line."),
            ("a repeated setting", lambda: self.own_cmake(b'set(PACKAGE_LEGAL_COPYRIGHT "A")'),
             pc + " line 4 sets PACKAGE_LEGAL_COPYRIGHT again, after line 2: keep one of the "
             "two lines."),
            ("package.cmake in UTF-16", lambda: self.own_cmake(b"", "utf-16"),
             pc + ' is UTF-16, as Notepad saves "Unicode": ' + TO_UTF8),
            ("package.cmake in UTF-16 without a byte-order mark",
             lambda: self.own_cmake(b"", "utf-16-le"),
             pc + " holds NUL bytes between its letters, as UTF-16 without a byte-order mark "
             "does: " + TO_UTF8),
            ("package.cmake saved as package.cmake.txt",
             lambda: os.rename(self.own_cmake(b""), self.path("package.cmake.txt")),
             'The package folder {pkg} lacks "package.cmake", but holds "package.cmake.txt", '
             "whose name ends in a second extension (Windows Explorer hides the last one): "
             "rename that file to package.cmake."),
            ("identity not set", lambda: self.settings.pop("PACKAGE_IDENTITY_NAME"),
             pc + ' does not set PACKAGE_IDENTITY_NAME: add a line '
             'set(PACKAGE_IDENTITY_NAME "...").'),
            ("company empty", lambda: self.settings.update(PACKAGE_COMPANY_NAME=b" "),
             pc + ' sets PACKAGE_COMPANY_NAME to an empty text: give it a value, as in '
             'set(PACKAGE_COMPANY_NAME "...").'),
            ("company in Windows-1252",
             lambda: self.settings.update(PACKAGE_COMPANY_NAME="Société".encode("cp1252")),
             pc + " sets PACKAGE_COMPANY_NAME to text that is not UTF-8: save package.cmake "
             "as UTF-8."),
            ("copyright on two lines",
             lambda: self.settings.update(PACKAGE_LEGAL_COPYRIGHT=b"(C) 2026\nORVEN"),
             pc + " sets PACKAGE_LEGAL_COPYRIGHT to a text holding the character U+000A, "
             "which a version record cannot show: write it on one line without control "
             "characters."),
            ("copyright too long for a version record",
             lambda: self.settings.update(PACKAGE_LEGAL_COPYRIGHT="©".encode() * 30000),
             pc + " sets PACKAGE_LEGAL_COPYRIGHT to a text of 30,000 characters, more than the "
             "1,024 a version record holds: write it shorter."),
            ("identity with &", lambda: self.settings.update(PACKAGE_IDENTITY_NAME=b"A&B.Pkg"),
             pc + ' sets PACKAGE_IDENTITY_NAME to "A&B.Pkg", which holds "&": ' + IDENTITY_RULE),
            ("identity with a space",
             lambda: self.settings.update(PACKAGE_IDENTITY_NAME=b"ORVEN Package"),
             pc + ' sets PACKAGE_IDENTITY_NAME to "ORVEN Package", which holds a space: '
             + IDENTITY_RULE),
            ("identity with an escape sequence and a backslash",
             lambda: self.settings.update(PACKAGE_IDENTITY_NAME=b"A\x1b[2J\\x1b"),
             pc + ' sets PACKAGE_IDENTITY_NAME to "A\\x1b[2J\\\\x1b", which holds the character U+001B: '
             + IDENTITY_RULE),
            ("identity with a non-ASCII letter",
             lambda: self.settings.update(PACKAGE_IDENTITY_NAME="Société.P".encode()),
             pc + ' sets PACKAGE_IDENTITY_NAME to "Société.P", which holds "é": '
             + IDENTITY_RULE),

            ("no agreement", lambda: os.remove(self.path("agreement.txt")),
             "The package folder {pkg} lacks agreement.txt: add the licence agreement the "
             "user accepts, saved as UTF-8."),
            ("agreement in Windows-1252",
             lambda: write(self.path("agreement.txt"),
                           "Licence\r\n\r\nLicence © 2026 Société\r\n".encode("cp1252")),
             agreement + " is not UTF-8: the byte 0xA9 at line 3, column 9 is not part of "
             "any UTF-8 character. " + SAVE),
            ("agreement in Windows-1252 after UTF-8, lone CR line ends",
             lambda: write(self.path("agreement.txt"), "ü\rab\rxyé".encode() + b"\xe9"),
             agreement + " is not UTF-8: the byte 0xE9 at line 3, column 4 is not part of "
             "any UTF-8 character. " + SAVE),
            ("agreement cut inside a character",
             lambda: write(self.path("agreement.txt"), "Licence 株".encode()[:-1]),
             agreement + " is not UTF-8: the byte 0xE6 at line 1, column 9 is not part of "
             "any UTF-8 character. " + SAVE),
            ("UTF-16 without a byte-order mark",
             lambda: write(self.path("agreement.txt"), "Licence\r\nx".encode("utf-16-le")),
             agreement + " holds a NUL character at line 1, column 2, as UTF-16 without a "
             "byte-order mark would. " + SAVE),
            ("UTF-16 with a broken surrogate",
             lambda: write(self.path("agreement.txt"),
                           b"\xff\xfe" + "ab\ncd".encode("utf-16-le") + b"\x00\xd8x\x00"),
             agreement + " is marked as UTF-16 little-endian, but its text is broken at "
             "line 2, column 3. " + SAVE),
            ("UTF-32", lambda: write(self.path("agreement.txt"), "\ufeffab".encode("utf-32-le")),
             agreement + " is UTF-32, which the wizard does not read. " + SAVE),
            ("agreement of a byte-order mark only",
             lambda: write(self.path("agreement.txt"), b"\xef\xbb\xbf"),
             agreement + " is empty: write into it the licence agreement the user accepts on "
             "the wizard's first page."),
            ("white-space agreement",
             lambda: write(self.path("agreement.txt"),
                           b"\xff\xfe" + " \r\n\t\u3000\n".encode("utf-16-le")),
             agreement + " holds only white space: write into it the licence agreement the "
             "user accepts on the wizard's first page."),

            ("no icon", lambda: os.remove(self.path("program.ico")),
             "The package folder {pkg} lacks program.ico: add the program icon, an .ico "
             "file with " + ICON_NEEDS + "."),
            ("a PNG named program.ico", lambda: write(self.path("program.ico"), png(48)),
             icon + " is a PNG picture, not an icon file: save it as an .ico file with "
             + ICON_NEEDS + "."),
            ("text named program.ico", lambda: write(self.path("program.ico"), b"icon"),
             icon + " is not an icon file: save it as an .ico file with " + ICON_NEEDS + "."),
            ("icon with only 8-bpp images",
             lambda: write(self.path("program.ico"),
                           ico(bitmap(48, 8), bitmap(32, 8), bitmap(16, 8))),
             icon + " lacks the 48-, 32- and 16-pixel images at 32 bits per pixel (it holds "
             "48x48 at 8 bpp, 32x32 at 8 bpp, 16x16 at 8 bpp): add them with an icon "
             "editor; the wizard's icon needs " + ICON_NEEDS + "."),
            ("icon whose 48-pixel PNG is 24-bit",
             lambda: write(self.path("program.ico"),
                           ico(png(48, colour=2), bitmap(32, 32), bitmap(16, 32))),
             icon + " lacks the 48-pixel image at 32 bits per pixel (it holds 48x48 at 24 "
             "bpp, 32x32 at 32 bpp, 16x16 at 32 bpp): add it with an icon editor; the "
             "wizard's icon needs " + ICON_NEEDS + "."),
            ("truncated icon",
             lambda: write(self.path("program.ico"), ico(bitmap(48, 32), bitmap(32, 32))[:-1]),
             icon + " is damaged: image 2 lies outside the file. Save the icon again from "
             "an icon editor."),
            ("icon whose 4,095 entries each name the whole file",
             lambda: write(self.path("program.ico"), struct.pack("<HHH", 0, 1, 4095) + b"".join(
                 struct.pack("<BBBBHHII", 0, 0, 0, 0, 1, 32, 65526, 0) for _ in range(4095))),
             icon + " lists 4,095 images, more than the 256 makewizard reads of an icon: save it "
             "as an .ico file with " + ICON_NEEDS + "."),
            ("icon whose images overlap",
             lambda: write(self.path("program.ico"), struct.pack("<HHH", 0, 1, 2) + 2 * struct.pack(
                 "<BBBBHHII", 48, 48, 0, 0, 1, 32, len(bitmap(48, 32)), 38) + bitmap(48, 32)),
             icon + " is damaged: its images overlap. Save the icon again from an icon editor."),
            ("icon of ten 8-bpp images",
             lambda: write(self.path("program.ico"), ico(*(bitmap(16 + i, 8) for i in range(10)))),
             icon + " lacks the 48-, 32- and 16-pixel images at 32 bits per pixel (it holds "
             + ", ".join(f"{16 + i}x{16 + i} at 8 bpp" for i in range(8)) + " and 2 more): add "
             "them with an icon editor; the wizard's icon needs " + ICON_NEEDS + "."),
            ("agreement over 1 MiB", lambda: write(self.path("agreement.txt"), b"Terms.\r\n" * (MIB // 8 + 1)),
             agreement + " is larger than the 1,048,576 bytes makewizard reads of it: the wizard "
             "shows it in one text box, which is no place for a longer text."),
            ("package.cmake over 64 KiB",
             lambda: (setattr(self, "package_cmake", b"#\n" * 32769),
                      write(self.path("package.cmake"), self.package_cmake)),
             pc + ' is larger than the 65,536 bytes makewizard reads of it: it holds three settings, '
             'set(NAME "value") lines, and comments.'),
            ("a manual named with another apostrophe",
             lambda: os.rename(self.path("VELNORIX_User'sManual.pdf"),
                               self.path("VELNORIX_User\u2019sManual.pdf")),
             "The package folder {pkg} lacks \"VELNORIX_User'sManual.pdf\", but holds "
             "\"VELNORIX_User\u2019sManual.pdf\", whose name has \u2019 where the wizard's has ': "
             "rename that file to VELNORIX_User'sManual.pdf."),
            ("a readme without its extension, in another case",
             lambda: os.rename(self.path("ReadMe_E.txt"), self.path("README_E")),
             'The package folder {pkg} lacks "ReadMe_E.txt", but holds "README_E": rename that '
             "file to ReadMe_E.txt."),
            ("a readme beside a copy whose name differs in letter case",
             lambda: write(self.path("README_E.TXT"), b""),
             'The package folder {pkg} holds "README_E.TXT" and "ReadMe_E.txt", which differ only '
             "in letter case: Windows takes them for one file, ReadMe_E.txt. Keep only one of "
             "them."),
            ("a manual saved as another kind of file",
             lambda: os.rename(self.path("VELNORIX_User'sManual.pdf"),
                               self.path("VELNORIX_User'sManual.docx")),
             "The package folder {pkg} lacks \"VELNORIX_User'sManual.pdf\", but holds "
             "\"VELNORIX_User'sManual.docx\", which is another kind of file: save the file the "
             "wizard delivers as VELNORIX_User'sManual.pdf there."),

            ("no readme", lambda: os.remove(self.path("ReadMe_E.txt")),
             'The package folder {pkg} lacks the file "ReadMe_E.txt": the wizard delivers '
             "VELNORIX410aE.exe, VELNORIX_User'sManual.pdf and ReadMe_E.txt, so each must "
             "be there under that name."),
            ("missing folder", lambda: shutil.rmtree(self.pkg),
             "The package folder {pkg} does not exist: name a folder that holds package.cmake, "
             "agreement.txt, program.ico, VELNORIX410aE.exe, VELNORIX_User'sManual.pdf and "
             "ReadMe_E.txt."),
        ]
        for name, change, expected in cases:
            with self.subTest(name):
                self.setUp()
                change()
                self.assertEqual(self.refusal(), expected.format(pkg=self.pkg))
                self.assertFalse(os.path.exists(self.out), "nothing is written")

    def own_cmake(self, line, encoding=None):
        """package.cmake of the sample's settings with `line` as line 2."""
        lines = [b"# The owner's texts", line] + [cmake_set(name, value).rstrip(b"\n")
                                                  for name, value in self.settings.items()]
        self.package_cmake = b"\n".join(lines) + b"\n"
        if encoding:
            self.package_cmake = self.package_cmake.decode().encode(encoding)
        write(self.path("package.cmake"), self.package_cmake)
        return self.path("package.cmake")

    def test_package_cmake_is_read_not_run(self):
        """Each line as CMake reads it, or refused by its number."""
        company = b'set(PACKAGE_COMPANY_NAME "%s")\n'
        rest = (b'set(PACKAGE_LEGAL_COPYRIGHT "(C)")\r\n# comment\n\n'
                b'  SET ( PACKAGE_IDENTITY_NAME   "A.B" )  # trailing\n')
        accepted = [(rb'a\"q\" \\ \$x \; \# $ @A@', 'a"q" \\ $x \\; # $ @A@'),
                    ("Société 株式会社 😀".encode(), "Société 株式会社 😀")]
        for value, text in accepted:
            with self.subTest(value):
                self.setUp()
                self.package_cmake = b"\xef\xbb\xbf" + company % value + rest
                write(self.path("package.cmake"), self.package_cmake)
                strings = version_strings(pefile.PE(data=self.built()))
                self.assertEqual(strings["CompanyName"], text)
        pc = "{pkg}/package.cmake line 2"
        refused = [
            (b'set(PACKAGE_COMPANY_NAME ORVEN)', pc + ' is not a set(NAME "value") line'),
            (b'set(PACKAGE_COMPANY_NAME "A" CACHE STRING "")', pc + ' is not a set(NAME'),
            (b'include(other.cmake)', pc + ' is not a set(NAME "value") line'),
            (b'set(PACKAGE_COMPANY_NAME "${USER}")', pc + ' refers to a variable'),
            (b'set(PACKAGE_COMPANY_NAME "$ENV{USER}")', pc + ' refers to a variable'),
            (b'set(PACKAGE_COMPANY_NAME "\\a")', pc + ' holds "\\a", which is not one of '
                                                     "CMake's escapes"),
            (b'set(PACKAGE_COMPANY_NAME "two\nlines")', pc + ' opens a quoted value that does '
                                                           'not end on that line'),
            (b'#[[ bracket\ncomment ]]', pc + ' opens a bracket comment'),
        ]
        for line, expected in refused:
            with self.subTest(line):
                self.setUp()
                self.package_cmake = b"# first\n" + line + b"\n" + rest
                write(self.path("package.cmake"), self.package_cmake)
                self.assertTrue(self.refusal().startswith(expected.format(pkg=self.pkg)))

    def test_the_ceiling_depends_on_the_windows_the_package_is_for(self):
        too_large_32 = ("The files of the package in {pkg} come to 1,281 MiB: on 32-bit "
                        "Windows the wizard cannot map a package of more than 1,280 MiB, so "
                        "it could not start there. Make its files smaller or, if none of your "
                        "customers runs 32-bit Windows, build with --for-64bit-windows-only, "
                        "which allows 1,800 MiB.")
        too_large_64 = ("The files of the package in {pkg} come to 1,801 MiB: the wizard "
                        "cannot map a package of more than 1,800 MiB even on 64-bit Windows, "
                        "so it could not start. Make its files smaller.")
        # A folder within the ceiling gets as far as the output's folder.
        nowhere = os.path.join(self.scratch, "nowhere", "Setup.exe")
        within = (f"The folder {os.path.dirname(nowhere)} of the output {nowhere} does not "
                  "exist: create it, or name an output in a folder that exists.")
        others = sum(len(data) for name, data in PAYLOAD.items() if name != "VELNORIX410aE.exe")
        cases = [(1280 * MIB, (), within), (1280 * MIB + 1, (), too_large_32),
                 (1280 * MIB + 1, ("--for-64bit-windows-only",), within),
                 (1800 * MIB, ("--for-64bit-windows-only",), within),
                 (1800 * MIB + 1, ("--for-64bit-windows-only",), too_large_64)]
        for total, options, expected in cases:
            with self.subTest(total=total, options=options):
                # Sparse: the size counts, not the bytes.
                os.truncate(self.path("VELNORIX410aE.exe"), total - others)
                self.assertEqual(self.refusal(*options, out=nowhere), expected.format(pkg=self.pkg))


class StubAndOutputRefusals(Builder):
    def stub_variant(self, name, change):
        data = bytearray(read(args.stub))
        change(data)
        path = os.path.join(self.scratch, name)
        write(path, bytes(data))
        return path

    def test_bad_stubs_are_refused_by_name(self):
        def rename_marker(data):
            data[:] = data.replace("WIZARD_STUB".encode("utf-16-le"), "WIZARD_STAB".encode("utf-16-le"))

        def resources_in_headers(data):
            pe_at = struct.unpack_from("<I", data, 0x3C)[0]
            table = pe_at + 24 + struct.unpack_from("<H", data, pe_at + 20)[0]
            rsrc = [section.name for section in pe_reader.PE(data).sections].index(".rsrc")
            struct.pack_into("<I", data, table + 40 * rsrc + 20, 0x100)  # its PointerToRawData

        built = os.path.join(self.scratch, "built.exe")
        self.assertEqual(self.build(out=built).returncode, 0)
        fifo = os.path.join(self.scratch, "pipe.exe")
        os.mkfifo(fifo)
        cases = [
            (os.path.join(self.scratch, "missing.exe"), "The stub {stub} does not exist"),
            (self.path("ReadMe_E.txt"), "{stub} is not a Windows program (it does not start as one)"),
            (self.stub_variant("signed.exe", mark_signed), "{stub} is signed"),
            (self.stub_variant("appended.exe", lambda d: d.extend(b"overlay")),
             "{stub} has 7 bytes after its last section"),
            (fifo, "{stub} cannot be read (it is a named pipe, not a file)"),
            (self.stub_variant("unmarked.exe", rename_marker),
             "{stub} is not a wizard stub (it carries no WIZARD_STUB marker)"),
            (self.stub_variant("format7.exe", lambda d: d.__setitem__(
                slice(None), d.replace(package_format.STUB_MARKER, b"wizard stub format 7\n"))),
             "{stub} is a wizard stub of format 7, but this makewizard builds from format "
             f"{package_format.STUB_FORMAT} only"),
            (built, "{stub} already carries resource FILE1 of type 10"),
            (self.stub_variant("headers.exe", resources_in_headers),
             "{stub} is not laid out as a wizard stub (its resource section starts inside its headers)"),
        ]
        for stub, expected in cases:
            with self.subTest(os.path.basename(stub)):
                self.assertTrue(self.refusal(stub=stub).startswith(expected.format(stub=stub)))
                self.assertFalse(os.path.exists(self.out))

    def test_each_path_is_checked_for_what_it_is_first(self):
        readme = self.path("ReadMe_E.txt")
        folder = os.path.dirname(self.out)
        loop = os.path.join(self.scratch, "loop.exe")
        os.symlink("loop.exe", loop)
        too_long = os.path.join(self.scratch, "x" * 300)
        cases = [
            (dict(stub=self.pkg, pkg=args.stub),
             f"The stub {self.pkg} is a folder and the package folder {args.stub} is a file: are "
             "the two swapped? " + ORDER),
            (dict(pkg=self.out, out=self.pkg),
             f"The package folder {self.out} does not exist and the output {self.pkg} is a "
             "folder: are the two swapped? " + ORDER),
            (dict(stub=folder), f"The stub {folder} is a folder, not a file: " + ORDER),
            (dict(pkg=readme), f"The package folder {readme} is a file: " + ORDER),
            # Not called missing: the system's reason.
            (dict(stub=loop), f"The stub {loop} cannot be reached (Too many levels of symbolic links): "
             "check the path, and that you may open each folder on its way."),
            (dict(pkg=too_long), f"The package folder {too_long} cannot be reached (File name too long): "
             "check the path, and that you may open each folder on its way."),
        ]
        for paths, expected in cases:
            with self.subTest(paths):
                self.assertEqual(self.refusal(**paths), expected)

    def test_usage_errors_are_two_lines_that_point_to_help(self):
        help_line = "Run makewizard --help for how to use it."
        cases = [
            ((), "no command given"),
            (("build", args.stub, self.pkg), "build takes a stub, a package folder and an output "
                                             "file, in that order (2 were given)"),
            (("build", args.stub, self.pkg, self.out, "--overwrit"), "unknown option --overwrit"),
            (("shw", self.out), 'unknown command "shw"'),
        ]
        for arguments, problem in cases:
            with self.subTest(arguments):
                run = subprocess.run([args.makewizard, *arguments], capture_output=True)
                self.assertEqual((run.returncode, run.stderr.decode()),
                                 (2, f"makewizard: {problem}\n{help_line}\n"))

    def test_bad_outputs_are_refused_and_a_failed_write_leaves_the_old_output(self):
        linked = os.path.join(os.path.dirname(self.out), "linked.exe")
        os.link(self.path("VELNORIX410aE.exe"), linked)
        folder = os.path.dirname(self.out)
        cases = [
            (os.path.join(self.scratch, "nowhere", "Setup.exe"), "The folder {dir} of the output {out} "
             "does not exist"),
            (folder, "The output {out} is a folder"),
            (args.stub, "The output {out} is the stub"),
            (self.path("agreement.txt"), "The output {out} is {pkg}/agreement.txt, a file of the package"),
            (linked, "The output {out} is {pkg}/VELNORIX410aE.exe, a file of the package"),
        ]
        for out, expected in cases:
            with self.subTest(out):
                self.assertTrue(self.refusal(out=out).startswith(
                    expected.format(out=out, dir=os.path.dirname(out), pkg=self.pkg)))

        # An output that exists is replaced only with --overwrite, a signed one too.
        signed = self.stub_variant("signed.exe", mark_signed)
        write(self.out, b"the wizard of yesterday")
        for out, signed_text in ((self.out, ""), (signed, " and is signed")):
            with self.subTest(out):
                self.assertEqual(self.refusal(out=out), f"The output {out} already exists{signed_text}: "
                                 "name another file, or add --overwrite to replace it.")
        self.assertEqual(read(self.out), b"the wizard of yesterday")
        self.built("--overwrite")
        write(self.out, b"the wizard of yesterday")

        def small_disk():
            resource.setrlimit(resource.RLIMIT_FSIZE, (256 * 1024, 256 * 1024))
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        os.truncate(self.path("VELNORIX410aE.exe"), MIB)
        message = self.refusal("--overwrite", preexec_fn=small_disk)
        self.assertTrue(message.startswith(f"makewizard could not write the wizard {self.out} ("), message)
        self.assertTrue(message.endswith("nothing was written under that name. Free some space on "
                                         f"the disk of {folder} and build again."), message)
        # Stopped midway, too (a large sparse file, to be stopped in time).
        os.truncate(self.path("VELNORIX410aE.exe"), 1790 * MIB)
        run = subprocess.Popen([args.makewizard, "build", args.stub, self.pkg, self.out,
                                "--for-64bit-windows-only", "--overwrite"])
        while not [f for f in os.listdir(folder) if "partial" in f] and run.poll() is None:
            time.sleep(0.01)
        run.terminate()
        self.assertEqual(run.wait(), -signal.SIGTERM)
        self.assertEqual(sorted(os.listdir(folder)), ["Setup.exe", "linked.exe"])
        self.assertEqual(read(self.out), b"the wizard of yesterday")


def version_strings(pe):
    # pefile writes a character beyond U+FFFF as its surrogates' escapes.
    def text(value):
        return re.sub(r"\\u(d[89ab]..)\\u(d[c-f]..)", lambda m: chr(
            0x10000 + (int(m[1], 16) - 0xD800 << 10) + int(m[2], 16) - 0xDC00), value.decode())
    return {key.decode(): text(value) for info in pe.FileInfo[0] if info.Key == b"StringFileInfo"
            for table in info.StringTable for key, value in table.entries.items()}


def resources(pe):
    found = {}
    for type_ in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        for name in type_.directory.entries:
            for language in name.directory.entries:
                entry = language.data.struct
                found[(type_.id or str(type_.name), name.id or str(name.name), language.id)] = \
                    pe.get_data(entry.OffsetToData, entry.Size)
    return found


class WhatItWrites(Builder):
    def test_every_resource_and_header_field_read_back_by_an_independent_reader(self):
        texts = {"PACKAGE_COMPANY_NAME": 'Société Générale 株式会社 "Q" \\ a=b; 😀',
                 "PACKAGE_LEGAL_COPYRIGHT": "© Décembre 2026 Société\\"}
        self.settings.update({name: value.encode() for name, value in texts.items()})
        agreement = "Licence ©\n2026 \"Société\" \\ 株式会社 😀\r\nend\rlast\r\r\n"
        expected_agreement = "Licence ©\r\n2026 \"Société\" \\ 株式会社 😀\r\nend\r\nlast\r\n\r\n"
        encodings = [("UTF-8", agreement.encode()),
                     ("UTF-8 with a byte-order mark", b"\xef\xbb\xbf" + agreement.encode()),
                     ("UTF-16 little-endian", b"\xff\xfe" + agreement.encode("utf-16-le")),
                     ("UTF-16 big-endian", b"\xfe\xff" + agreement.encode("utf-16-be"))]
        stub = pefile.PE(args.stub)
        stub_resources = resources(stub)
        for encoding, data in encodings:
            with self.subTest(encoding):
                write(self.path("agreement.txt"), data)
                image = self.built("--execution-level=asInvoker", "--overwrite")
                pe = pefile.PE(data=image)
                got = resources(pe)
                self.assertEqual(got[(RT_RCDATA, 201, 0x409)], expected_agreement.encode())
        for number, (name, data) in enumerate(PAYLOAD.items(), 1):
            self.assertEqual(got[(RT_RCDATA, f"FILE{number}", 0x409)], data)
        self.assertEqual(got[(RT_RCDATA, "DIGESTS", 0x409)],
                         b"".join(hashlib.sha256(data).digest() for data in PAYLOAD.values()))
        for key, data in stub_resources.items():
            self.assertEqual(got[key], data, f"the stub's own {key}")
        strings = version_strings(pe)
        self.assertEqual((strings["CompanyName"], strings["LegalCopyright"]),
                         (texts["PACKAGE_COMPANY_NAME"], texts["PACKAGE_LEGAL_COPYRIGHT"]))
        manifest = got[(RT_MANIFEST, 1, 0x409)].decode()
        architecture = "amd64" if stub.OPTIONAL_HEADER.Magic == 0x20B else "X86"
        for part in ('name="ORVEN.VELNORIX410aPackageE" version="1.0.0.0" '
                     f'processorArchitecture="{architecture}"', 'level="asInvoker"'):
            self.assertIn(part, manifest)
        if shutil.which("xmllint"):
            subprocess.run(["xmllint", "--noout", "-"], input=manifest.encode(), check=True)
        icon = read(self.path("program.ico"))
        count = struct.unpack_from("<H", icon, 4)[0]
        group = got[(RT_GROUP_ICON, 1, 0x409)]
        self.assertEqual(struct.unpack_from("<HHH", group), (0, 1, count))
        for i in range(count):
            size, offset = struct.unpack_from("<II", icon, 6 + 16 * i + 8)
            self.assertEqual(got[(RT_ICON, i + 1, 0x409)], icon[offset:offset + size])
            self.assertEqual(struct.unpack_from("<IH", group, 6 + 14 * i + 8), (size, i + 1))
        self.check_layout(stub, pe, image)

    def check_layout(self, stub, pe, image):
        header = pe.OPTIONAL_HEADER
        sections = {s.Name.rstrip(b"\0").decode(): s for s in pe.sections}
        rsrc, reloc = sections[".rsrc"], sections[".reloc"]
        self.assertEqual([s.Name for s in pe.sections][-2:], [b".rsrc\0\0\0", b".reloc\0\0"])
        self.assertEqual(rsrc.Characteristics, 0x40000040, "initialized data, read-only")
        self.assertEqual(rsrc.PointerToRawData % 4096, 0)
        self.assertEqual(rsrc.SizeOfRawData % header.FileAlignment, 0)
        self.assertEqual(reloc.PointerToRawData, rsrc.PointerToRawData + rsrc.SizeOfRawData)
        self.assertEqual(reloc.VirtualAddress, -(-(rsrc.VirtualAddress + rsrc.Misc_VirtualSize)
                                                // 4096) * 4096)
        self.assertEqual(len(image), reloc.PointerToRawData + reloc.SizeOfRawData)
        directories = header.DATA_DIRECTORY
        self.assertEqual((directories[2].VirtualAddress, directories[2].Size),
                         (rsrc.VirtualAddress, rsrc.Misc_VirtualSize))
        old_reloc = [s for s in stub.sections if s.Name.startswith(b".reloc")][0]
        self.assertEqual((directories[5].VirtualAddress - reloc.VirtualAddress, directories[5].Size),
                         (stub.OPTIONAL_HEADER.DATA_DIRECTORY[5].VirtualAddress
                          - old_reloc.VirtualAddress, stub.OPTIONAL_HEADER.DATA_DIRECTORY[5].Size))
        self.assertEqual(pe.get_data(reloc.VirtualAddress, reloc.SizeOfRawData), old_reloc.get_data())
        self.assertEqual(header.SizeOfImage, reloc.VirtualAddress + -(-reloc.Misc_VirtualSize // 4096) * 4096)
        self.assertEqual(header.SizeOfInitializedData,
                         sum(s.SizeOfRawData for s in pe.sections if s.Characteristics & 0x40))
        # Unparsed: pefile writes back the version strings it parsed, beyond U+FFFF wrongly.
        self.assertEqual(header.CheckSum, pefile.PE(data=image, fast_load=True).generate_checksum())
        stub_bytes = read(args.stub)
        start = stub.OPTIONAL_HEADER.SizeOfHeaders
        self.assertEqual(image[start:stub.sections[-2].PointerToRawData],
                         stub_bytes[start:stub.sections[-2].PointerToRawData], "code and data unmoved")

        def in_loader_order(directory):
            keys = [(0, str(e.name).upper()) if e.name else (1, e.id)
                    for e in directory.entries]
            self.assertEqual(keys, sorted(keys))
            for entry in directory.entries:
                if hasattr(entry, "directory"):
                    in_loader_order(entry.directory)
        in_loader_order(pe.DIRECTORY_ENTRY_RESOURCE)

    def test_the_same_bytes_from_the_same_inputs_anywhere(self):
        first = self.built()
        moved = os.path.join(self.scratch, "elsewhere", "deeper")
        os.makedirs(os.path.dirname(moved))
        os.rename(self.pkg, moved)
        self.pkg = moved
        # A name in another letter case is the same file, as on Windows.
        os.rename(self.path("ReadMe_E.txt"), self.path("readme_e.txt"))
        self.out = os.path.join(self.scratch, "second.exe")
        self.assertEqual(self.built(cwd=os.path.dirname(moved)), first)
        if args.makewizard_exe:
            self.out = os.path.join(self.scratch, "windows.exe")
            self.assertEqual(self.built(**windows_builder()), first,
                             "the Windows builder writes the same bytes")

    def test_the_windows_builder_names_what_arrived(self):
        if not args.makewizard_exe:
            self.skipTest("no --makewizard-exe")
        stub, pkg, out = ("Z:" + path.replace("/", "\\") for path in (args.stub, self.pkg, self.out))
        # cmd's "Z:\...\package\" Z:\...\Setup.exe, as the C runtime splits it.
        misquoted = f'{pkg}" {out}'
        run = subprocess.run([windows_builder()["builder"][0], args.makewizard_exe, "build", stub,
                              misquoted], capture_output=True, env=windows_builder()["env"])
        self.assertEqual((run.returncode, run.stderr.decode()), (2, (
            f"makewizard: the argument <{misquoted}> holds a quote, left there by a backslash "
            'before a closing quote (\\"), which also joins what follows: end a quoted folder '
            'without its backslash, as in "C:\\My Package".\n'
            "Run makewizard --help for how to use it.\n")))
        manual, typographic = "VELNORIX_User'sManual.pdf", "VELNORIX_User\u2019sManual.pdf"
        os.rename(self.path(manual), self.path(typographic))
        self.assertEqual(self.refusal(**windows_builder()), (
            f'The package folder {pkg} lacks "{manual}", but holds "{typographic}", whose name has '
            f"\u2019 where the wizard's has ': rename that file to {manual}."))
        # A name Windows will not look at is not called missing.
        refusal = self.refusal(stub=os.path.join(self.scratch, "a|b.exe"), **windows_builder())
        self.assertRegex(refusal, r"^The stub Z:\\.*\\a\|b\.exe cannot be reached \(.+\): check the path, ")


def windows_builder():
    """build()'s arguments for the Windows builder under Wine."""
    wine = os.environ.get("WINE") or shutil.which("wine64") or "/usr/lib/wine/wine64"
    return dict(builder=[wine, args.makewizard_exe], windows_paths=True,
                env=dict(os.environ, WINEDEBUG="-all"))


def main():
    global args
    parser = argparse.ArgumentParser()
    parser.add_argument("--makewizard", required=True)
    parser.add_argument("--stub", required=True)
    parser.add_argument("--makewizard-exe")
    args, rest = parser.parse_known_args()
    args.makewizard, args.stub = os.path.abspath(args.makewizard), os.path.abspath(args.stub)
    unittest.main(argv=[sys.argv[0], *rest])


if __name__ == "__main__":
    main()
