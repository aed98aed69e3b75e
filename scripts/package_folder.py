#!/usr/bin/env python3
"""Checks a package folder and writes the resource sources built from it.

    package_folder.py configure --package-dir DIR --out-dir OUT
        [--setting=NAME=VALUE | --not-set=NAME]...
        [--generated-payload=DIR] [--for-64bit-windows-only] [--architecture=X86|amd64]
    package_folder.py digests OUT FILE...

`configure` runs when CMake configures the build, so that the owner of a
package learns what is wrong before anything compiles. CMake reads the
owner's package.cmake (it is CMake's own syntax) and hands over its settings;
everything else is read here. A folder the wizard cannot be built from is
refused with one message on stderr (exit status 1) naming the file or
setting, what is wrong and what to do. Otherwise OUT receives:

    agreement.txt               the agreement as UTF-8 without a byte-order
                                mark, every line ending CR LF
    <level>.manifest            the program's manifest, per execution level
    wizard-<level>.rc           icon, pictures, agreement, manifest, version
    payload.rc                  the three delivered files and their digests
    resources.cmake             where all of that is, for CMake to include

Every string in a generated resource script is escaped down to ASCII, so
windres needs no code-page option and reads every text exactly.

`digests` runs at build time (the sample's files are made by the build): it
writes the SHA-256 digests of the files, 32 raw bytes each, in order.
"""
import argparse
import hashlib
import os
import re
import struct
import sys
import unicodedata
import xml.etree.ElementTree as ElementTree

from generated_files import write_if_changed

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
RESOURCES_DIR = os.path.join(ROOT, "resources")

# The three delivered files, in payload order, under the names they carry.
PAYLOAD_NAMES = ("VELNORIX410aE.exe", "VELNORIX_User'sManual.pdf", "ReadMe_E.txt")
TEXT_SETTINGS = ("PACKAGE_COMPANY_NAME", "PACKAGE_LEGAL_COPYRIGHT")
IDENTITY_SETTING = "PACKAGE_IDENTITY_NAME"
SETTINGS = TEXT_SETTINGS + (IDENTITY_SETTING,)
ICON_SIZES = (48, 32, 16)
ICON_BITS = 32
EXECUTION_LEVELS = ("asInvoker", "highestAvailable", "requireAdministrator")

MIB = 1024 * 1024
# 32-bit Windows gives a process 2 GiB, and the image must fit in one piece
# between its base at 4 MiB and the system DLLs Windows 7 places below
# 0x78000000, beside heaps, stacks and injected DLLs: about 1,780 MiB at
# best, so 1,280 MiB keeps 500 MiB for the rest.
PAYLOAD_LIMIT_MIB = 1280
# The largest package seen to build, start and extract (under Wine on 64-bit
# Linux, where a large-address-aware process has 4 GiB).
PAYLOAD_LIMIT_64BIT_ONLY_MIB = 1800
OPTION_64BIT_ONLY = "WIZARD_PACKAGE_FOR_64BIT_WINDOWS_ONLY"


class Refusal(Exception):
    """A package folder the wizard cannot be built from; str() is the
    message for the package's owner."""


# --- package.cmake ------------------------------------------------------------

def check_settings(package_cmake, raw):
    """raw maps each setting package.cmake sets to its bytes. Returns the
    settings as text."""
    settings = {}
    for name in SETTINGS:
        if name not in raw:
            raise Refusal(f'{package_cmake} does not set {name}: add a line '
                          f'set({name} "...").')
        try:
            value = raw[name].decode("utf-8")
        except UnicodeDecodeError:
            raise Refusal(f"{package_cmake} sets {name} to text that is not UTF-8: "
                          f"save package.cmake as UTF-8.") from None
        if not value.strip():
            raise Refusal(f'{package_cmake} sets {name} to an empty text: give it '
                          f'a value, as in set({name} "...").')
        settings[name] = value
    for name in TEXT_SETTINGS:
        for char in settings[name]:
            if unicodedata.category(char) == "Cc":
                raise Refusal(f"{package_cmake} sets {name} to a text holding "
                              f"{describe(char)}, which a version record cannot show: "
                              f"write it on one line without control characters.")
    identity = settings[IDENTITY_SETTING]
    for char in identity:
        if not (char.isascii() and (char.isalnum() or char in ".-_")):
            raise Refusal(f'{package_cmake} sets {IDENTITY_SETTING} to "{identity}", '
                          f"which holds {describe(char)}: a manifest identity name may "
                          f'hold only letters, digits, ".", "-" and "_" (for example '
                          f"Owner.Package).")
    return settings


def listing(items):
    return f"{', '.join(items[:-1])} and {items[-1]}"


def describe(char):
    if char == " ":
        return "a space"
    if char.isprintable():
        return f'"{char}"'
    return f"the character U+{ord(char):04X}"


# --- agreement.txt ------------------------------------------------------------

LINE_BREAK = re.compile(r"\r\n|\r|\n")
UTF16_BOMS = {b"\xff\xfe": ("utf-16-le", "UTF-16 little-endian"),
              b"\xfe\xff": ("utf-16-be", "UTF-16 big-endian")}
SAVE_AS_UTF8 = "Save agreement.txt as UTF-8 (in Notepad: Save As, Encoding UTF-8)."


def agreement_text(path, data):
    """The agreement's text from the bytes of agreement.txt, every line
    ending CR LF (the wizard's text box breaks lines only there)."""
    if data[:4] in (b"\xff\xfe\0\0", b"\0\0\xfe\xff"):
        raise Refusal(f"{path} is UTF-32, which the wizard does not read. {SAVE_AS_UTF8}")
    if data[:2] in UTF16_BOMS:
        codec, encoding = UTF16_BOMS[data[:2]]
        text = decode(path, data[2:], codec, f"is marked as {encoding}")
    else:
        if data[:3] == b"\xef\xbb\xbf":
            data = data[3:]
        text = decode(path, data, "utf-8", "is not UTF-8")
    if "\0" in text:
        line, column = position(text[:text.index("\0")])
        raise Refusal(f"{path} holds a NUL character at line {line}, column {column}, "
                      f"as UTF-16 without a byte-order mark would. {SAVE_AS_UTF8}")
    if not text.strip():
        what = "holds only white space" if text else "is empty"
        raise Refusal(f"{path} {what}: write into it the licence agreement the user "
                      f"accepts on the wizard's first page.")
    return LINE_BREAK.sub("\r\n", text)


def decode(path, data, codec, what):
    try:
        return data.decode(codec)
    except UnicodeDecodeError as error:
        line, column = position(data[:error.start].decode(codec))
        if codec == "utf-8":
            raise Refusal(f"{path} is not UTF-8: the byte 0x{data[error.start]:02X} at "
                          f"line {line}, column {column} is not part of any UTF-8 "
                          f"character. {SAVE_AS_UTF8}") from None
        raise Refusal(f"{path} {what}, but its text is broken at line {line}, column "
                      f"{column}. {SAVE_AS_UTF8}") from None


def position(text_before):
    """Line and column (both from 1, the column in characters) of the
    character that follows text_before."""
    lines = LINE_BREAK.split(text_before)
    return len(lines), len(lines[-1]) + 1


# --- program.ico --------------------------------------------------------------

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"
NOT_ICONS = ((PNG_SIGNATURE, "a PNG picture"), (b"BM", "a bitmap picture"),
             (b"\xff\xd8\xff", "a JPEG picture"), (b"GIF8", "a GIF picture"),
             (b"\0\0\2\0", "a cursor"))
ICON_NEEDS = (f"{listing([str(size) for size in ICON_SIZES])} pixel images at {ICON_BITS} "
              f"bits per pixel")
# Bits per pixel by PNG colour type, in samples of the image's bit depth.
PNG_SAMPLES = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}


def icon_images(path, data):
    """(width, height, bits per pixel) of each image in an .ico file, as its
    image data gives them: a directory entry's bit count is often 0, and a
    PNG-compressed image's are in its own header."""
    for signature, what in NOT_ICONS:
        if data.startswith(signature):
            raise Refusal(f"{path} is {what}, not an icon file: save it as an .ico "
                          f"file with {ICON_NEEDS}.")
    if len(data) < 6 or data[:4] != b"\0\0\1\0":
        raise Refusal(f"{path} is not an icon file: save it as an .ico file with "
                      f"{ICON_NEEDS}.")
    count = struct.unpack_from("<H", data, 4)[0]
    if len(data) < 6 + 16 * count:
        raise Refusal(f"{path} is damaged: its directory lists {count} images but the "
                      f"file ends first. Save the icon again from an icon editor.")
    images = []
    for index in range(count):
        size, offset = struct.unpack_from("<II", data, 6 + 16 * index + 8)
        image = data[offset:offset + size]
        header = struct.unpack_from("<I", image)[0] if len(image) >= 4 else 0
        if offset + size > len(data):
            raise Refusal(f"{path} is damaged: image {index + 1} lies outside the file. "
                          f"Save the icon again from an icon editor.")
        if image.startswith(PNG_SIGNATURE) and len(image) >= 26:
            width, height, depth, colour = struct.unpack_from(">IIBB", image, 16)
            bits = depth * PNG_SAMPLES.get(colour, 0)
        elif header == 12 and len(image) >= 12:
            width, height, _, bits = struct.unpack_from("<HHHH", image, 4)
            height //= 2
        elif header >= 40 and len(image) >= 40:
            width, height, _, bits = struct.unpack_from("<iiHH", image, 4)
            # The height counts the colour and the transparency mask.
            height = abs(height) // 2
        else:
            raise Refusal(f"{path} is damaged: image {index + 1} is neither a bitmap "
                          f"nor a PNG image. Save the icon again from an icon editor.")
        images.append((width, height, bits))
    return images


def check_icon(path, data):
    images = icon_images(path, data)
    missing = [size for size in ICON_SIZES if (size, size, ICON_BITS) not in images]
    if missing:
        held = ", ".join(f"{w}x{h} at {b} bpp" for w, h, b in images) or "no image"
        if len(missing) == 1:
            what, it = f"the {missing[0]}-pixel image", "it"
        else:
            sizes = [f"{size}-" for size in missing[:-1]] + [f"{missing[-1]}-pixel"]
            what, it = f"the {listing(sizes)} images", "them"
        raise Refusal(f"{path} lacks {what} at {ICON_BITS} bits per pixel (it holds "
                      f"{held}): add {it} with an icon editor; the wizard's icon needs "
                      f"{ICON_NEEDS}.")


# --- the delivered files ------------------------------------------------------

def check_payload(package_dir, for_64bit_windows_only):
    files = [os.path.join(package_dir, name) for name in PAYLOAD_NAMES]
    for name, file in zip(PAYLOAD_NAMES, files):
        if not os.path.isfile(file):
            raise Refusal(f'The package folder {package_dir} lacks the file "{name}": '
                          f"the wizard delivers {listing(PAYLOAD_NAMES)}, so each must be "
                          f"there under that name.")
    total = sum(os.path.getsize(file) for file in files)
    limit = PAYLOAD_LIMIT_64BIT_ONLY_MIB if for_64bit_windows_only else PAYLOAD_LIMIT_MIB
    if total > limit * MIB:
        mib = -(-total // MIB)
        if for_64bit_windows_only:
            raise Refusal(f"The files of the package in {package_dir} come to {mib:,} MiB: "
                          f"the wizard cannot map a package of more than {limit:,} MiB "
                          f"even on 64-bit Windows, so it could not start. Split the "
                          f"package or make its files smaller.")
        raise Refusal(f"The files of the package in {package_dir} come to {mib:,} MiB: "
                      f"on 32-bit Windows the wizard cannot map a package of more than "
                      f"{limit:,} MiB, so it could not start there. Split the package or "
                      f"make its files smaller; if it is meant only for 64-bit Windows, "
                      f"configure with -D{OPTION_64BIT_ONLY}=ON, which allows "
                      f"{PAYLOAD_LIMIT_64BIT_ONLY_MIB:,} MiB.")
    return files


# --- writing ------------------------------------------------------------------

def rc_text(text):
    """A wide resource-script string of any text: everything outside
    printable ASCII as 4-digit \\x escapes of UTF-16 code units (windres
    reads at most four digits, so a following hex digit stays a character)."""
    data = text.encode("utf-16-le")
    units = struct.unpack(f"<{len(data) // 2}H", data)
    return 'L"' + "".join(rc_ascii(unit) or f"\\x{unit:04x}" for unit in units) + '"'


def rc_path(path):
    """A narrow resource-script string of a file name's bytes: others than
    printable ASCII as 3-digit octal escapes."""
    return '"' + "".join(rc_ascii(b) or f"\\{b:03o}" for b in os.fsencode(path)) + '"'


def rc_ascii(code):
    if code == ord('"'):
        return '""'
    if code == ord("\\"):
        return "\\\\"
    return chr(code) if 0x20 <= code < 0x7F else None


def xml_attribute(text):
    return (text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")
            .replace('"', "&quot;"))


def cmake_string(text):
    return '"' + re.sub(r'([\\"$])', r"\\\1", text) + '"'


def fill(template_path, values):
    with open(template_path, encoding="utf-8") as f:
        template = f.read()

    def value(match):
        return values[match.group(1)]
    return re.sub(r"@(\w+)@", value, template)


def manifest(identity, level, architecture):
    text = fill(os.path.join(RESOURCES_DIR, "app.manifest.in"),
                {"PACKAGE_IDENTITY_NAME": xml_attribute(identity),
                 "MANIFEST_EXECUTION_LEVEL": level,
                 "PROCESSOR_ARCHITECTURE": architecture})
    # Windows refuses to start a program whose manifest is not well-formed
    # (Wine starts it), so the build must not make one.
    try:
        ElementTree.fromstring(text.encode("utf-8"))
    except ElementTree.ParseError as error:
        raise Refusal(f"resources/app.manifest.in makes a manifest that is not "
                      f"well-formed XML ({error}).") from None
    return text


def configure(package_dir, out_dir, raw_settings, generated_payload_dir=None,
              for_64bit_windows_only=False, architecture="X86"):
    """Checks the package folder and writes the generated sources into
    out_dir; raises Refusal for a folder the wizard cannot be built from."""
    if not os.path.isdir(package_dir):
        files = ("package.cmake", "agreement.txt", "program.ico") + PAYLOAD_NAMES
        raise Refusal(f"The package folder {package_dir} does not exist: name a folder "
                      f"that holds {listing(files)}.")
    package_cmake = os.path.join(package_dir, "package.cmake")
    if not os.path.isfile(package_cmake):
        raise Refusal(f"The package folder {package_dir} has no package.cmake: add one "
                      f"that sets {listing(SETTINGS)}, as "
                      f"resources/sample-package/package.cmake does.")
    settings = check_settings(package_cmake, raw_settings)

    agreement_path = os.path.join(package_dir, "agreement.txt")
    icon_path = os.path.join(package_dir, "program.ico")
    for path, what in ((agreement_path, "the licence agreement the user accepts, "
                                        "saved as UTF-8"),
                       (icon_path, f"the program icon, an .ico file with {ICON_NEEDS}")):
        if not os.path.isfile(path):
            raise Refusal(f"The package folder {package_dir} lacks "
                          f"{os.path.basename(path)}: add {what}.")
    with open(agreement_path, "rb") as f:
        agreement = agreement_text(agreement_path, f.read())
    with open(icon_path, "rb") as f:
        check_icon(icon_path, f.read())

    if generated_payload_dir:
        payload_dir = generated_payload_dir
        payload = [os.path.join(payload_dir, name) for name in PAYLOAD_NAMES]
    else:
        payload_dir = package_dir
        # A 64-bit program runs only on 64-bit Windows: it has that ceiling.
        payload = check_payload(package_dir,
                                for_64bit_windows_only or architecture == "amd64")

    os.makedirs(out_dir, exist_ok=True)
    out = {name: os.path.join(out_dir, name) for name in
           ("agreement.txt", "payload.rc", "payload.digests", "resources.cmake")}
    write_if_changed(out["agreement.txt"], agreement.encode("utf-8"))
    pictures = {name: os.path.join(RESOURCES_DIR, file) for name, file in
                (("HEADER_BITMAP", "header.bmp"),
                 ("FINISH_BACKGROUND_BITMAP", "finish-background.bmp"),
                 ("FINISH_BAND_BITMAP", "finish-band.bmp"))}
    cmake = [f"# Written by scripts/package_folder.py from {package_dir}."]
    for level in EXECUTION_LEVELS:
        manifest_path = os.path.join(out_dir, f"{level}.manifest")
        rc_file = os.path.join(out_dir, f"wizard-{level}.rc")
        write_if_changed(manifest_path,
                         manifest(settings[IDENTITY_SETTING], level,
                                  architecture).encode("utf-8"))
        values = {name: rc_path(path) for name, path in pictures.items()}
        values.update({name: rc_text(settings[name]) for name in TEXT_SETTINGS},
                      PROGRAM_ICON=rc_path(icon_path), AGREEMENT=rc_path(out["agreement.txt"]),
                      MANIFEST=rc_path(manifest_path))
        write_if_changed(rc_file, fill(os.path.join(RESOURCES_DIR, "wizard.rc.in"),
                                        values).encode("ascii"))
        inputs = [out["agreement.txt"], icon_path, manifest_path, *pictures.values()]
        cmake.append(f"set(PACKAGE_WIZARD_RC_{level} {cmake_string(rc_file)})")
        cmake.append(f"set(PACKAGE_WIZARD_RC_INPUTS_{level} "
                     f"{' '.join(map(cmake_string, inputs))})")
    values = {f"PAYLOAD_FILE{i}": rc_path(file) for i, file in enumerate(payload, 1)}
    values["PAYLOAD_DIGESTS"] = rc_path(out["payload.digests"])
    write_if_changed(out["payload.rc"], fill(os.path.join(RESOURCES_DIR, "payload.rc.in"),
                                             values).encode("ascii"))

    # The files whose change must configure the build again.
    inputs = [package_cmake, agreement_path, icon_path, os.path.abspath(__file__)]
    inputs += [os.path.join(RESOURCES_DIR, name) for name in
               ("wizard.rc.in", "app.manifest.in", "payload.rc.in")]
    if not generated_payload_dir:
        inputs += payload
    cmake += [f"set(PAYLOAD_DIR {cmake_string(payload_dir)})",
              f"set(PAYLOAD_FILES {' '.join(map(cmake_string, payload))})",
              f"set(PAYLOAD_RC {cmake_string(out['payload.rc'])})",
              f"set(PAYLOAD_DIGESTS {cmake_string(out['payload.digests'])})",
              f"set(PACKAGE_INPUTS {' '.join(map(cmake_string, inputs))})"]
    write_if_changed(out["resources.cmake"], ("\n".join(cmake) + "\n").encode("utf-8"))


def write_digests(out, files):
    digests = b""
    for file in files:
        digest = hashlib.sha256()
        with open(file, "rb") as f:
            while chunk := f.read(MIB):
                digest.update(chunk)
        digests += digest.digest()
    # Written whole or not at all: a build stopped midway leaves no short file.
    with open(out + ".part", "wb") as f:
        f.write(digests)
    os.replace(out + ".part", out)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    commands = parser.add_subparsers(dest="command", required=True)
    conf = commands.add_parser("configure")
    conf.add_argument("--package-dir", required=True)
    conf.add_argument("--out-dir", required=True)
    conf.add_argument("--setting", action="append", default=[], metavar="NAME=VALUE")
    # For the record: a setting missing from --setting is not set.
    conf.add_argument("--not-set", action="append", default=[], metavar="NAME")
    conf.add_argument("--generated-payload", metavar="DIR")
    conf.add_argument("--for-64bit-windows-only", action="store_true")
    # The manifest's processorArchitecture: the program's own.
    conf.add_argument("--architecture", choices=("X86", "amd64"), default="X86")
    dig = commands.add_parser("digests")
    dig.add_argument("out")
    dig.add_argument("files", nargs="+")
    args = parser.parse_args(argv)

    if args.command == "digests":
        write_digests(args.out, args.files)
        return 0
    # The settings' bytes as package.cmake holds them, so that text that is
    # not UTF-8 can be told apart.
    raw = dict(os.fsencode(s).split(b"=", 1) for s in args.setting)
    raw = {name.decode("ascii"): value for name, value in raw.items()}
    try:
        configure(os.path.abspath(args.package_dir), os.path.abspath(args.out_dir), raw,
                  args.generated_payload, args.for_64bit_windows_only, args.architecture)
    except Refusal as refusal:
        print(refusal, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
