"""The rules for a package folder (scripts/package_folder.py), one table of
folders each: what is accepted arrives exact, what is refused is refused
with the owner's message. Where windres, xmllint or cmake are at hand, the
generated sources are read back through them.

    python3 tests/package/test_package_folder.py
"""
import hashlib
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
TOOL = os.path.join(ROOT, "scripts", "package_folder.py")
SAMPLE = os.path.join(ROOT, "resources", "sample-package")
sys.path.insert(0, HERE)
import pe_resources  # noqa: E402

# The tool is a script: imported from its own folder, as it imports its
# neighbours from there.
sys.path.insert(0, os.path.dirname(TOOL))
import package_folder as tool  # noqa: E402

MIB = 1024 * 1024
WINDRES = os.environ.get("WINDRES") or shutil.which("i686-w64-mingw32-windres")
XMLLINT = shutil.which("xmllint")
CMAKE = os.environ.get("CMAKE") or shutil.which("cmake")
SAVE = "Save agreement.txt as UTF-8 (in Notepad: Save As, Encoding UTF-8)."
ICON_NEEDS = "48, 32 and 16 pixel images at 32 bits per pixel"

SETTINGS = {"PACKAGE_COMPANY_NAME": "ORVEN Sample Devices Ltd.",
            "PACKAGE_LEGAL_COPYRIGHT": "Copyright (C) 2026 ORVEN Sample Devices Ltd.",
            "PACKAGE_IDENTITY_NAME": "ORVEN.VELNORIX410aPackageE"}
PAYLOAD = {"VELNORIX410aE.exe": b"MZ installer", "VELNORIX_User'sManual.pdf": b"%PDF-1.4",
           "ReadMe_E.txt": b""}


def png(size, depth=8, colour=6):
    return (b"\x89PNG\r\n\x1a\n" + struct.pack(">I4sIIBBBBB", 13, b"IHDR", size, size,
                                                depth, colour, 0, 0, 0) + b"\0" * 4)


def bitmap(size, bits):
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, bits, 0, 0, 0, 0, 0, 0)
    return header + b"\0" * (size * size * bits // 8 + size * 4)


def ico(*images):
    """An .ico of the given image data, its directory as icon editors write it."""
    out, offset = struct.pack("<HHH", 0, 1, len(images)), 6 + 16 * len(images)
    for data in images:
        out += struct.pack("<BBBBHHII", 0, 0, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(images)


def write(path, data):
    with open(path, "wb") as f:
        f.write(data.encode("utf-8") if isinstance(data, str) else data)


class Folder(unittest.TestCase):
    """A valid package folder in a scratch directory, changed by each case."""

    def setUp(self):
        self.scratch = tempfile.mkdtemp(prefix="package-folder-test-")
        self.addCleanup(shutil.rmtree, self.scratch)
        self.pkg = os.path.join(self.scratch, "package")
        self.out = os.path.join(self.scratch, "out")
        self.settings = {name: value.encode() for name, value in SETTINGS.items()}
        os.mkdir(self.pkg)
        write(self.path("package.cmake"), "# set() lines, read by CMake\n")
        write(self.path("agreement.txt"), "Licence agreement\r\n\r\n1.\tTerms.\r\n")
        shutil.copy(os.path.join(SAMPLE, "program.ico"), self.path("program.ico"))
        for name, data in PAYLOAD.items():
            write(self.path(name), data)

    def path(self, name):
        return os.path.join(self.pkg, name)

    def configure(self, for_64bit_windows_only=False):
        tool.configure(self.pkg, self.out, self.settings,
                       for_64bit_windows_only=for_64bit_windows_only)

    def refusal(self, **options):
        with self.assertRaises(tool.Refusal) as caught:
            self.configure(**options)
        return str(caught.exception)

    def generated(self, name):
        with open(os.path.join(self.out, name), "rb") as f:
            return f.read()


class Refusals(Folder):
    def test_each_bad_folder_is_refused_by_name(self):
        pc = "{pkg}/package.cmake"
        agreement = "{pkg}/agreement.txt"
        icon = "{pkg}/program.ico"
        identity_rule = ('a manifest identity name may hold only letters, digits, ".", "-" '
                         'and "_" (for example Owner.Package).')
        cases = [
            ("no package.cmake", lambda: os.remove(self.path("package.cmake")),
             "The package folder {pkg} has no package.cmake: add one that sets "
             "PACKAGE_COMPANY_NAME, PACKAGE_LEGAL_COPYRIGHT and PACKAGE_IDENTITY_NAME, as "
             "resources/sample-package/package.cmake does."),
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
            ("identity with &", lambda: self.settings.update(PACKAGE_IDENTITY_NAME=b"A&B.Pkg"),
             pc + ' sets PACKAGE_IDENTITY_NAME to "A&B.Pkg", which holds "&": ' + identity_rule),
            ("identity with a space",
             lambda: self.settings.update(PACKAGE_IDENTITY_NAME=b"ORVEN Package"),
             pc + ' sets PACKAGE_IDENTITY_NAME to "ORVEN Package", which holds a space: '
             + identity_rule),
            ("identity with <", lambda: self.settings.update(PACKAGE_IDENTITY_NAME=b"A<B"),
             pc + ' sets PACKAGE_IDENTITY_NAME to "A<B", which holds "<": ' + identity_rule),
            ("identity with a non-ASCII letter",
             lambda: self.settings.update(PACKAGE_IDENTITY_NAME="Société.P".encode()),
             pc + ' sets PACKAGE_IDENTITY_NAME to "Société.P", which holds "é": '
             + identity_rule),

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
            ("agreement with UTF-8 BOM then Windows-1252",
             lambda: write(self.path("agreement.txt"), b"\xef\xbb\xbfLicence \xa9"),
             agreement + " is not UTF-8: the byte 0xA9 at line 1, column 9 is not part of "
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
            ("empty agreement", lambda: write(self.path("agreement.txt"), b""),
             agreement + " is empty: write into it the licence agreement the user accepts on "
             "the wizard's first page."),
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
            ("a cursor", lambda: write(self.path("program.ico"), b"\0\0\2\0\0\0"),
             icon + " is a cursor, not an icon file: save it as an .ico file with "
             + ICON_NEEDS + "."),
            ("text named program.ico", lambda: write(self.path("program.ico"), b"icon"),
             icon + " is not an icon file: save it as an .ico file with " + ICON_NEEDS + "."),
            ("icon without its 48-pixel image",
             lambda: write(self.path("program.ico"), ico(bitmap(32, 32), bitmap(16, 32))),
             icon + " lacks the 48-pixel image at 32 bits per pixel (it holds 32x32 at 32 "
             "bpp, 16x16 at 32 bpp): add it with an icon editor; the wizard's icon needs "
             + ICON_NEEDS + "."),
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
            ("icon of no image", lambda: write(self.path("program.ico"), ico()),
             icon + " lacks the 48-, 32- and 16-pixel images at 32 bits per pixel (it holds "
             "no image): add them with an icon editor; the wizard's icon needs "
             + ICON_NEEDS + "."),
            ("truncated icon",
             lambda: write(self.path("program.ico"), ico(bitmap(48, 32), bitmap(32, 32))[:-1]),
             icon + " is damaged: image 2 lies outside the file. Save the icon again from "
             "an icon editor."),

            ("no readme", lambda: os.remove(self.path("ReadMe_E.txt")),
             'The package folder {pkg} lacks the file "ReadMe_E.txt": the wizard delivers '
             "VELNORIX410aE.exe, VELNORIX_User'sManual.pdf and ReadMe_E.txt, so each must "
             "be there under that name."),
        ]
        for name, change, expected in cases:
            with self.subTest(name):
                self.setUp()
                change()
                self.assertEqual(self.refusal(), expected.format(pkg=self.pkg))
                self.assertFalse(os.path.exists(self.out), "nothing is written")

    def test_a_missing_folder_is_refused(self):
        self.pkg = os.path.join(self.scratch, "nowhere")
        self.assertEqual(self.refusal(),
                         f"The package folder {self.pkg} does not exist: name a folder that "
                         "holds package.cmake, agreement.txt, program.ico, VELNORIX410aE.exe, "
                         "VELNORIX_User'sManual.pdf and ReadMe_E.txt.")


class PayloadCeiling(Folder):
    def grow_to(self, total_bytes):
        # Sparse: the size counts, not the bytes.
        others = sum(len(data) for name, data in PAYLOAD.items() if name != "VELNORIX410aE.exe")
        os.truncate(self.path("VELNORIX410aE.exe"), total_bytes - others)

    def test_the_ceiling_depends_on_the_windows_the_package_is_for(self):
        too_large_32 = (f"The files of the package in {{pkg}} come to 1,281 MiB: on 32-bit "
                        "Windows the wizard cannot map a package of more than 1,280 MiB, so "
                        "it could not start there. Split the package or make its files "
                        "smaller; if it is meant only for 64-bit Windows, configure with "
                        "-DWIZARD_PACKAGE_FOR_64BIT_WINDOWS_ONLY=ON, which allows 1,800 MiB.")
        too_large_64 = ("The files of the package in {pkg} come to 1,801 MiB: the wizard "
                        "cannot map a package of more than 1,800 MiB even on 64-bit Windows, "
                        "so it could not start. Split the package or make its files smaller.")
        cases = [(1280 * MIB, False, None), (1280 * MIB + 1, False, too_large_32),
                 (1280 * MIB + 1, True, None), (1800 * MIB, True, None),
                 (1800 * MIB + 1, True, too_large_64)]
        for total, for_64bit, expected in cases:
            with self.subTest(total=total, for_64bit_windows_only=for_64bit):
                self.grow_to(total)
                if expected:
                    self.assertEqual(self.refusal(for_64bit_windows_only=for_64bit),
                                     expected.format(pkg=self.pkg))
                else:
                    self.configure(for_64bit_windows_only=for_64bit)

    def test_a_generated_payload_is_not_looked_for(self):
        for name in PAYLOAD:
            os.remove(self.path(name))
        tool.configure(self.pkg, self.out, self.settings, generated_payload_dir="/gen")
        self.assertIn(b'FILE2 RCDATA "/gen/VELNORIX_User\'sManual.pdf"',
                      self.generated("payload.rc"))


class Agreement(Folder):
    def test_every_accepted_encoding_arrives_as_utf8_with_crlf(self):
        text = "Licence ©\n2026 \"Société\" \\ 株式会社 😀\r\nend\rlast\r\r\n"
        expected = "Licence ©\r\n2026 \"Société\" \\ 株式会社 😀\r\nend\r\nlast\r\n\r\n"
        cases = [("UTF-8", text.encode()),
                 ("UTF-8 with a byte-order mark", b"\xef\xbb\xbf" + text.encode()),
                 ("UTF-16 little-endian", b"\xff\xfe" + text.encode("utf-16-le")),
                 ("UTF-16 big-endian", b"\xfe\xff" + text.encode("utf-16-be"))]
        for name, data in cases:
            with self.subTest(name):
                write(self.path("agreement.txt"), data)
                self.configure()
                self.assertEqual(self.generated("agreement.txt"), expected.encode())


class GeneratedSources(Folder):
    def test_manifest_is_well_formed_with_identity_and_level(self):
        self.settings["PACKAGE_IDENTITY_NAME"] = b"Owner-1_x.Package"
        self.configure()
        for level in ("asInvoker", "requireAdministrator"):
            with self.subTest(level):
                manifest = self.generated(f"{level}.manifest").decode()
                self.assertIn('name="Owner-1_x.Package" version="1.0.0.0"', manifest)
                self.assertIn(f'requestedExecutionLevel level="{level}"', manifest)
                if XMLLINT:
                    subprocess.run([XMLLINT, "--noout",
                                    os.path.join(self.out, f"{level}.manifest")], check=True)

    def test_an_unchanged_folder_rewrites_nothing(self):
        # A reconfigure must not make the build compile the resources again.
        self.configure()
        stamps = {name: os.stat(os.path.join(self.out, name)).st_mtime_ns
                  for name in os.listdir(self.out)}
        for name in stamps:
            os.utime(os.path.join(self.out, name), ns=(1, 1))
        self.configure()
        self.assertEqual({name: os.stat(os.path.join(self.out, name)).st_mtime_ns
                          for name in os.listdir(self.out)}, dict.fromkeys(stamps, 1))

    def test_digests_are_the_sha256_of_each_file_in_order(self):
        files = [self.path(name) for name in PAYLOAD]
        out = os.path.join(self.scratch, "digests")
        subprocess.run([sys.executable, TOOL, "digests", out, *files], check=True)
        with open(out, "rb") as f:
            self.assertEqual(f.read(), b"".join(hashlib.sha256(PAYLOAD[name]).digest()
                                                for name in PAYLOAD))


@unittest.skipUnless(WINDRES, "needs i686-w64-mingw32-windres")
class ThroughWindres(Folder):
    """The owner's texts and files as CMake hands them over, read back from
    what windres makes of the generated scripts."""

    def setUp(self):
        super().setUp()
        # A folder name with what resource scripts and CMake strings escape.
        awkward = os.path.join(self.scratch, "Pakët 1 'q\" $x\\")
        os.rename(self.pkg, awkward)
        self.pkg = awkward

    def run_tool(self, settings):
        arguments = [f"--setting={name}=".encode() + value for name, value in settings.items()]
        return subprocess.run([sys.executable, TOOL, "configure", f"--package-dir={self.pkg}",
                               f"--out-dir={self.out}", *arguments],
                              capture_output=True, text=True)

    def compile(self, rc):
        res = os.path.join(self.scratch, os.path.basename(rc) + ".res")
        subprocess.run([WINDRES, f"-I{ROOT}", "-i", rc, "-O", "res", "-o", res], check=True)
        with open(res, "rb") as f:
            return pe_resources.res_resources(f.read())

    def test_texts_and_files_arrive_exact(self):
        texts = {"PACKAGE_COMPANY_NAME": 'Société Générale 株式会社 "Q" \\ a=b; 😀',
                 "PACKAGE_LEGAL_COPYRIGHT": "© Décembre 2026 Société\\"}
        agreement = "Licence © 2026 Société\n株式会社\n"
        write(self.path("agreement.txt"), b"\xfe\xff" + agreement.encode("utf-16-be"))
        settings = dict(self.settings, **{name: value.encode() for name, value in texts.items()})
        run = self.run_tool(settings)
        self.assertEqual(run.returncode, 0, run.stderr)

        wizard = self.compile(os.path.join(self.out, "wizard-requireAdministrator.rc"))
        strings = pe_resources.version_strings(wizard[(pe_resources.RT_VERSION, 1)])
        self.assertEqual(strings["CompanyName"], texts["PACKAGE_COMPANY_NAME"])
        self.assertEqual(strings["LegalCopyright"], texts["PACKAGE_LEGAL_COPYRIGHT"])
        self.assertEqual(wizard[(pe_resources.RT_RCDATA, 201)],
                         agreement.replace("\n", "\r\n").encode())
        self.assertEqual(wizard[(pe_resources.RT_MANIFEST, 1)],
                         self.generated("requireAdministrator.manifest"))
        with open(self.path("program.ico"), "rb") as f:
            icon = f.read()
        size, offset = struct.unpack_from("<II", icon, 6 + 8)
        self.assertEqual(wizard[(pe_resources.RT_ICON, 1)], icon[offset:offset + size])

        digests = os.path.join(self.out, "payload.digests")
        subprocess.run([sys.executable, TOOL, "digests", digests,
                        *(self.path(name) for name in PAYLOAD)], check=True)
        payload = self.compile(os.path.join(self.out, "payload.rc"))
        for number, data in enumerate(PAYLOAD.values(), 1):
            self.assertEqual(payload[(pe_resources.RT_RCDATA, f"FILE{number}")], data)
        self.assertEqual(len(payload[(pe_resources.RT_RCDATA, "DIGESTS")]), 96)

    def test_text_that_is_not_utf8_is_refused_from_the_command_line(self):
        run = self.run_tool(dict(self.settings, PACKAGE_COMPANY_NAME=b"Soci\xe9t\xe9"))
        self.assertEqual((run.returncode, run.stderr),
                         (1, f"{self.pkg}/package.cmake sets PACKAGE_COMPANY_NAME to text that "
                             "is not UTF-8: save package.cmake as UTF-8.\n"))

    @unittest.skipUnless(CMAKE, "needs cmake")
    def test_cmake_reads_back_the_paths(self):
        run = self.run_tool(self.settings)
        self.assertEqual(run.returncode, 0, run.stderr)
        script = os.path.join(self.scratch, "print.cmake")
        write(script, f'include("{self.out}/resources.cmake")\n'
                      'foreach(file IN LISTS PAYLOAD_FILES)\n  message("${file}")\nendforeach()\n')
        printed = subprocess.run([CMAKE, "-P", script], capture_output=True, text=True, check=True)
        self.assertEqual(printed.stderr.splitlines(), [self.path(name) for name in PAYLOAD])


if __name__ == "__main__":
    unittest.main()
