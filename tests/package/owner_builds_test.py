"""Package folders built as their owner would with CMake: one build tree,
configured again for each folder, building only the program, which
makewizard makes from the stub and the folder. A valid folder's texts and
files are read back exact from the built .exe; a bad one stops the build
with makewizard's message.

    owner_builds_test.py --source-dir SRC --build-dir DIR --toolchain FILE
                         [--cmake CMAKE]

After the first build only makewizard runs again, so each further folder
costs a second.
"""
import argparse
import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "support"))
import pe_reader  # noqa: E402
from package_format import PAYLOAD_NAMES  # noqa: E402

IDENTITY_RULE = ('a manifest identity name may hold only letters, digits, ".", "-" and "_" '
                 "(for example Owner.Package).")
SAVE = "Save agreement.txt as UTF-8 (in Notepad: Save As, Encoding UTF-8)."
MIB = 1024 * 1024


def cmake_set(name, value):
    """A set() line as an owner writes it, CMake's escapes and all."""
    escaped = value.replace("\\", "\\\\").replace('"', '\\"')
    return f'set({name} "{escaped}")\n'


class Case:
    def __init__(self, name, company="ORVEN Sample Devices Ltd.",
                 copyright="Copyright (C) 2026 ORVEN", identity="ORVEN.Package",
                 agreement=b"Licence\r\n", icon=None, package_cmake=None,
                 payload_mib=0, options=(), refusal=None):
        self.__dict__.update(locals())
        del self.__dict__["self"]

    def make(self, folder, sample):
        os.makedirs(folder)
        with open(os.path.join(folder, "package.cmake"), "wb") as f:
            f.write(self.package_cmake if self.package_cmake is not None else
                    (cmake_set("PACKAGE_COMPANY_NAME", self.company)
                     + cmake_set("PACKAGE_LEGAL_COPYRIGHT", self.copyright)
                     + cmake_set("PACKAGE_IDENTITY_NAME", self.identity)).encode())
        with open(os.path.join(folder, "agreement.txt"), "wb") as f:
            f.write(self.agreement)
        if self.icon is None:
            shutil.copy(os.path.join(sample, "program.ico"), folder)
        else:
            with open(os.path.join(folder, "program.ico"), "wb") as f:
                f.write(self.icon)
        for number, name in enumerate(PAYLOAD_NAMES, 1):
            with open(os.path.join(folder, name), "wb") as f:
                f.write(f"{self.name}: file {number}\n".encode() if number != 3 else b"")
        if self.payload_mib:
            # Sparse: only the size counts at configure time.
            os.truncate(os.path.join(folder, PAYLOAD_NAMES[0]), self.payload_mib * MIB + 1)


CASES = [
    Case("unicode texts",
         company='Société Générale 株式会社 "Q" \\ a;b',
         copyright="© Décembre 2026 Société Générale \\",
         identity="Societe-Generale.Package_1",
         agreement="Licence © 2026 “Société”\n株式会社\rend\r\n".encode()),
    Case("utf-16 little-endian agreement",
         agreement=b"\xff\xfe" + "Licence ©\r\nSociété\n".encode("utf-16-le")),
    Case("utf-16 big-endian agreement",
         agreement=b"\xfe\xff" + "株式会社\n".encode("utf-16-be")),
    Case("too large even for 64-bit Windows", payload_mib=1800,
         options=("-DWIZARD_PACKAGE_FOR_64BIT_WINDOWS_ONLY=ON",),
         refusal="The files of the package in {pkg} come to 1,801 MiB: the wizard cannot map a "
                 "package of more than 1,800 MiB even on 64-bit Windows, so it could not start. "
                 "Make its files smaller."),

    Case("identity with &", identity="A&B.Package",
         refusal='{pc} sets PACKAGE_IDENTITY_NAME to "A&B.Package", which holds "&": '
                 + IDENTITY_RULE),
    Case("identity with a space", identity="ORVEN Package",
         refusal='{pc} sets PACKAGE_IDENTITY_NAME to "ORVEN Package", which holds a space: '
                 + IDENTITY_RULE),
    Case("package.cmake in Windows-1252",
         package_cmake=('set(PACKAGE_COMPANY_NAME "Société")\n'.encode("cp1252")
                        + b'set(PACKAGE_LEGAL_COPYRIGHT "(C)")\n'
                        + b'set(PACKAGE_IDENTITY_NAME "A.B")\n'),
         refusal="{pc} sets PACKAGE_COMPANY_NAME to text that is not UTF-8: save "
                 "package.cmake as UTF-8."),
    Case("package.cmake without the identity",
         package_cmake=b'set(PACKAGE_COMPANY_NAME "A")\nset(PACKAGE_LEGAL_COPYRIGHT "(C)")\n',
         refusal='{pc} does not set PACKAGE_IDENTITY_NAME: add a line '
                 'set(PACKAGE_IDENTITY_NAME "...").'),
    Case("Windows-1252 agreement",
         agreement="Licence\r\nLicence © 2026 Société\r\n".encode("cp1252"),
         refusal="{pkg}/agreement.txt is not UTF-8: the byte 0xA9 at line 2, column 9 is not "
                 "part of any UTF-8 character. " + SAVE),
    Case("empty agreement", agreement=b"\r\n \r\n",
         refusal="{pkg}/agreement.txt holds only white space: write into it the licence "
                 "agreement the user accepts on the wizard's first page."),
    Case("a PNG named program.ico",
         icon=b"\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x30\0\0\0\x30\x08\x06\0\0\0\0\0\0\0",
         refusal="{pkg}/program.ico is a PNG picture, not an icon file: save it as an .ico "
                 "file with 48, 32 and 16 pixel images at 32 bits per pixel."),
    Case("too large for 32-bit Windows", payload_mib=1300,
         refusal="The files of the package in {pkg} come to 1,301 MiB: on 32-bit Windows the "
                 "wizard cannot map a package of more than 1,280 MiB, so it could not start "
                 "there. Make its files smaller or, if none of your customers runs 32-bit "
                 "Windows, configure with -DWIZARD_PACKAGE_FOR_64BIT_WINDOWS_ONLY=ON, which "
                 "allows 1,800 MiB."),
]


def words(text):
    return " ".join(text.split())


def check_program(case, exe, folder):
    with open(exe, "rb") as f:
        image = pe_reader.PE(f.read())
    problems = []

    def expect(what, got, wanted):
        if got != wanted:
            problems.append(f"{what}: {got!r}, not {wanted!r}")

    strings = pe_reader.version_strings(image.resource(pe_reader.RT_VERSION, 1))
    expect("CompanyName", strings.get("CompanyName"), case.company)
    expect("LegalCopyright", strings.get("LegalCopyright"), case.copyright)
    data = case.agreement
    if data[:2] in (b"\xff\xfe", b"\xfe\xff"):
        text = data[2:].decode("utf-16-le" if data[:2] == b"\xff\xfe" else "utf-16-be")
    else:
        text = data.decode("utf-8-sig")
    expect("agreement", image.resource(pe_reader.RT_RCDATA, 201),
           re.sub(r"\r\n|\r|\n", "\r\n", text).encode())
    manifest = image.resource(pe_reader.RT_MANIFEST, 1)
    lint = subprocess.run(["xmllint", "--noout", "-"], input=manifest, capture_output=True)
    if lint.returncode:
        problems.append(f"manifest not well-formed: {lint.stderr.decode()}")
    expect("manifest identity", f'name="{case.identity}"'.encode() in manifest, True)
    digests = b""
    for number, name in enumerate(PAYLOAD_NAMES, 1):
        with open(os.path.join(folder, name), "rb") as f:
            item = f.read()
        expect(f"FILE{number}", image.resource(pe_reader.RT_RCDATA, f"FILE{number}"), item)
        digests += hashlib.sha256(item).digest()
    expect("DIGESTS", image.resource(pe_reader.RT_RCDATA, "DIGESTS"), digests)
    return problems


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--source-dir", required=True)
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--toolchain", required=True)
    parser.add_argument("--cmake", default="cmake")
    args = parser.parse_args()
    sample = os.path.join(args.source_dir, "resources", "sample-package")
    build = os.path.abspath(args.build_dir)
    os.makedirs(build, exist_ok=True)
    folders = tempfile.mkdtemp(prefix="owner-packages-", dir=build)

    def fail(case, problem):
        failed.add(case.name)
        failures.append(f"{case.name}: {problem}")
    failures, failed, built = [], set(), False
    try:
        for case in CASES:
            folder = os.path.join(folders, re.sub(r"\W+", "-", case.name))
            case.make(folder, sample)
            configure = subprocess.run(
                [args.cmake, "-S", args.source_dir, "-B", build,
                 f"-DCMAKE_TOOLCHAIN_FILE={args.toolchain}", "-DCMAKE_BUILD_TYPE=MinSizeRel",
                 "-DWIZARD_BUILD_TESTS=OFF", f"-DWIZARD_PACKAGE_DIR={folder}",
                 "-DWIZARD_PACKAGE_FOR_64BIT_WINDOWS_ONLY=OFF", *case.options],
                capture_output=True, text=True)
            print(f"--- {case.name}", flush=True)
            if configure.returncode:
                fail(case, f"configure failed:\n{configure.stderr}")
                continue
            run = subprocess.run([args.cmake, "--build", build, "--parallel",
                                  str(os.cpu_count() or 2), "--target", "VELNORIX410aPackageE"],
                                 capture_output=True, text=True)
            if case.refusal:
                wanted = words(case.refusal.format(pkg=folder,
                                                   pc=os.path.join(folder, "package.cmake")))
                if run.returncode == 0 or wanted not in words(run.stdout + run.stderr):
                    fail(case, f"the build said\n  {run.stdout}{run.stderr}\nnot\n  {wanted}")
                continue
            if run.returncode:
                fail(case, f"build failed:\n{run.stdout}{run.stderr}")
                continue
            # Another package makes the wizard again, never the code.
            if built and "Building CXX object" in run.stdout:
                fail(case, f"the package's change recompiled code:\n{run.stdout}")
            built = True
            for problem in check_program(
                    case, os.path.join(build, "bin", "VELNORIX410aPackageE.exe"), folder):
                fail(case, problem)
    finally:
        shutil.rmtree(folders)
    for failure in failures:
        print(f"FAILED {failure}")
    print(f"{len(CASES) - len(failed)} of {len(CASES)} package folders as expected")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
