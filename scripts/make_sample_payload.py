#!/usr/bin/env python3
"""Write the sample package's payload files.

    python3 make_sample_payload.py --program BUILT_PROGRAM.exe --out-dir DIR

The sample package mimics a real driver package, so each file is produced at
a fixed size with deterministic filler. Files are rewritten only when their
bytes change, so a build that runs this every time does not rebuild the
package needlessly.
"""
import argparse
import hashlib
import os
import re
import sys
import textwrap

from generated_files import write_if_changed

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "support"))
import package_format  # noqa: E402
import pe_reader  # noqa: E402

EXE_NAME, PDF_NAME, README_NAME = package_format.PAYLOAD_NAMES
EXE_SIZE, PDF_SIZE, README_SIZE = 3192872, 532997, 5834
SIZES = {EXE_NAME: EXE_SIZE, PDF_NAME: PDF_SIZE, README_NAME: README_SIZE}

PRODUCT = "ORVEN VELNORIX Serial Emulation Driver"


class Failure(Exception):
    pass


def filler(label, n):
    # An extendable-output hash gives fast, reproducible bytes that do not
    # compress away, so the package's size stays realistic.
    return hashlib.shake_256(b"velnorix-sample:" + label.encode()).digest(n) if n else b""


# --- program ----------------------------------------------------------------

def make_exe(program_path):
    with open(program_path, "rb") as f:
        prog = f.read()
    try:
        pe_reader.PE(prog)
    except pe_reader.PeError as error:
        raise Failure(f"{program_path}: {error}")
    if len(prog) > EXE_SIZE:
        raise Failure(f"{program_path} is {len(prog):,} bytes, larger than the "
                      f"{EXE_SIZE:,} bytes that {EXE_NAME} must be")
    # Bytes past the PE image are an overlay: Windows loads and runs the
    # program the same.
    return prog + filler(EXE_NAME, EXE_SIZE - len(prog))


# --- manual -----------------------------------------------------------------

PDF_PAGES = [
    [("F2", 20, "ORVEN VELNORIX"),
     ("F2", 16, "Serial Emulation Driver"),
     ("F1", 14, "User's Manual (sample)"),
     ("F1", 11, "Version 4.10a"),
     ("F1", 10, ""),
     ("F1", 10, "This document is a sample. It stands in for the real manual in the"),
     ("F1", 10, "sample package, so that the package can be built and tried out."),
     ("F1", 10, "A package owner replaces it with the manual for their own product.")],
    [("F2", 14, "About the sample package"),
     ("F1", 10, ""),
     ("F1", 10, "The package holds the driver installer (VELNORIX410aE.exe), this"),
     ("F1", 10, "manual and a short ReadMe file."),
     ("F1", 10, ""),
     ("F1", 10, "To install the driver, run VELNORIX410aE.exe and follow the steps"),
     ("F1", 10, "on the screen. Copying the files alone does not install the driver."),
     ("F1", 10, ""),
     ("F1", 10, "ORVEN and VELNORIX are invented names used for this sample only.")],
]


def pdf_text(s):
    return "(" + s.replace("\\", "\\\\").replace("(", "\\(").replace(")", "\\)") + ")"


def page_content(lines, first):
    ops = []
    if first:
        ops.append("0 0 0.5 rg 72 760 451 6 re f 0 g")  # navy band above the title
    ops.append("BT 72 720 Td")
    for font, size, text in lines:
        ops.append(f"/{font} {size} Tf {pdf_text(text)} Tj 0 -{round(size * 1.6)} Td")
    ops.append("ET")
    return ("\n".join(ops) + "\n").encode("ascii")


def build_pdf(rows, pad):
    """A small PDF whose size is set by an undrawn image of `rows` rows of
    256 grey pixels, plus `pad` characters in a comment for the last few bytes."""
    width = 256
    n_pages = len(PDF_PAGES)
    page_ids = [5 + 2 * i for i in range(n_pages)]
    image_id = 5 + 2 * n_pages
    objs = {
        1: b"<< /Type /Catalog /Pages 2 0 R >>",
        2: ("<< /Type /Pages /Count %d /Kids [%s] >>"
            % (n_pages, " ".join(f"{i} 0 R" for i in page_ids))).encode(),
        3: b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>",
        4: b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica-Bold /Encoding /WinAnsiEncoding >>",
    }
    for i, (pid, lines) in enumerate(zip(page_ids, PDF_PAGES)):
        content = page_content(lines, i == 0)
        objs[pid] = (f"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] "
                     f"/Resources << /Font << /F1 3 0 R /F2 4 0 R >> "
                     f"/XObject << /Im0 {image_id} 0 R >> >> "
                     f"/Contents {pid + 1} 0 R >>").encode()
        objs[pid + 1] = b"<< /Length %d >>\nstream\n%s\nendstream" % (len(content), content)
    data = filler(PDF_NAME, width * rows)
    objs[image_id] = (b"<< /Type /XObject /Subtype /Image /Width %d /Height %d "
                      b"/ColorSpace /DeviceGray /BitsPerComponent 8 /Length %d >>\n"
                      b"stream\n%s\nendstream" % (width, rows, len(data), data))
    info_id = image_id + 1
    title = pdf_text(f"{PRODUCT} - User's Manual (sample)")
    objs[info_id] = (f"<< /Title {title} "
                     f"/Author (ORVEN) /CreationDate (D:20261201000000Z) >>").encode()

    out = bytearray(b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n")
    offsets = {}
    for oid in sorted(objs):
        if oid == image_id:
            out += b"%" + b"." * pad + b"\n"
        offsets[oid] = len(out)
        out += b"%d 0 obj\n%s\nendobj\n" % (oid, objs[oid])
    xref = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (info_id + 1)
    for oid in range(1, info_id + 1):
        out += b"%010d 00000 n \n" % offsets[oid]
    out += (b"trailer\n<< /Size %d /Root 1 0 R /Info %d 0 R >>\nstartxref\n%d\n%%%%EOF\n"
            % (info_id + 1, info_id, xref))
    return bytes(out)


def make_pdf():
    rows, pad = 0, 0
    for _ in range(8):
        pdf = build_pdf(rows, pad)
        short = PDF_SIZE - len(pdf)
        if short == 0:
            check_pdf(pdf)
            return pdf
        # Number widths in the file shift as the image grows; a few rounds settle it.
        rows, pad = divmod(256 * rows + pad + short, 256)
        if rows < 0:
            raise Failure("the manual's fixed content is larger than its target size")
    raise Failure(f"could not bring {PDF_NAME} to {PDF_SIZE} bytes")


def check_pdf(pdf):
    """Re-read the cross-reference table the way a viewer would."""
    m = re.search(rb"startxref\n(\d+)\n%%EOF\n\Z", pdf)
    if not m or not pdf.startswith(b"%PDF-"):
        raise Failure("manual: bad header or trailer")
    xref = int(m.group(1))
    head = re.match(rb"xref\n0 (\d+)\n", pdf[xref:])
    if not head:
        raise Failure("manual: startxref does not point at the xref table")
    table = xref + head.end()
    for oid in range(1, int(head.group(1))):
        entry = pdf[table + 20 * oid: table + 20 * (oid + 1)]
        off = int(entry[:10])
        if not entry.endswith(b" n \n") or not pdf.startswith(b"%d 0 obj\n" % oid, off):
            raise Failure(f"manual: xref entry for object {oid} is wrong")
        body = re.match(rb"\d+ 0 obj\n<<[^\n]*/Length (\d+) >>\nstream\n", pdf[off:off + 400])
        if body:
            end = off + body.end() + int(body.group(1))
            if pdf[end:end + 10] != b"\nendstream":
                raise Failure(f"manual: stream length of object {oid} is wrong")


# --- readme -----------------------------------------------------------------

README_PARAGRAPHS = [
    "=" * 76,
    f" {PRODUCT} 4.10a",
    " ReadMe (sample package)",
    "=" * 76,
    "",
    "This file is part of a SAMPLE package. The package exists so that the "
    "package wizard can be built, run and tested with realistic files; the "
    "driver, the manual and this ReadMe are stand-ins, and ORVEN and VELNORIX "
    "are invented names. A package owner replaces all of them with the files "
    "of their own product.",
    "",
    "",
    "1. What the package contains",
    "-" * 28,
    "",
    "* VELNORIX410aE.exe - the driver installation program. Run it to install "
    "the driver on this computer.",
    "* VELNORIX_User'sManual.pdf - the user's manual, in PDF format. It "
    "describes how to connect the hardware, how to choose the emulated serial "
    "port and how to solve common problems.",
    "* ReadMe_E.txt - this file.",
    "",
    "The package wizard copies these files to the folder that you choose. "
    "Copying them does not install the driver: the installation program must "
    "be run, either from the last page of the wizard or later from the folder "
    "that holds the files.",
    "",
    "",
    "2. Requirements",
    "-" * 15,
    "",
    "* Windows 7, Windows 8.1, Windows 10 or Windows 11, 32-bit or 64-bit.",
    "* One free USB port for the serial adapter, or a built-in serial port.",
    "* About 10 MB of free disk space for the driver and its documentation.",
    "* A PDF viewer to read the user's manual.",
    "",
    "",
    "3. Before you install",
    "-" * 21,
    "",
    "* Log on with an account that has administrator rights. Installing a "
    "driver changes system settings, and Windows asks for confirmation before "
    "it lets the installation program do so.",
    "* Close all programs that use a serial (COM) port, such as terminal "
    "programs, modem software or data loggers.",
    "* Disconnect the serial adapter or cable from the computer. The "
    "installation program tells you when to connect it again.",
    "* If an earlier version of the driver is installed, you do not have to "
    "remove it first: the installation program replaces it and keeps the port "
    "settings that you had chosen.",
    "",
    "",
    "4. Installing the driver",
    "-" * 24,
    "",
    "1) Run VELNORIX410aE.exe.",
    "2) Read the license agreement and accept it to continue.",
    "3) Choose the folder for the driver files, or keep the folder that is "
    "suggested.",
    "4) When you are asked to, connect the serial adapter or cable. Windows "
    "detects it and finishes the installation of the driver.",
    "5) Restart the computer if the installation program asks you to.",
    "",
    "After the installation the emulated port appears under \"Ports (COM & "
    "LPT)\" in Device Manager. The port number can be changed on the Port "
    "Settings tab of the port's properties.",
    "",
    "",
    "5. Removing the driver",
    "-" * 22,
    "",
    "Open \"Programs and Features\" in Control Panel, select \"ORVEN VELNORIX "
    "Serial Emulation Driver\" and choose Uninstall. Disconnect the serial "
    "adapter or cable before you remove the driver.",
    "",
    "",
    "6. Using more than one adapter",
    "-" * 30,
    "",
    "Each adapter that you connect gets its own emulated port, and Windows "
    "remembers the port number for each adapter. If you move an adapter to "
    "another USB port, the emulated port keeps its number, so that programs "
    "that were set up for it go on working. To give an adapter a different "
    "number, change it in the port's properties as described in section 4.",
    "",
    "Up to eight adapters can be used at the same time. Each of them can run "
    "at its own baud rate and with its own settings.",
    "",
    "",
    "7. Known issues in this version",
    "-" * 31,
    "",
    "* Some terminal programs list the emulated port only after they have "
    "been restarted. Close and reopen the program if the port is missing.",
    "* When the computer resumes from sleep, a connection that was open may "
    "be closed. Open the port again in your program.",
    "* Baud rates above 921,600 bit/s are accepted but are limited by the "
    "adapter that is connected.",
    "",
    "",
    "8. Troubleshooting",
    "-" * 18,
    "",
    "The port does not appear in Device Manager: check that the adapter is "
    "connected, then choose \"Scan for hardware changes\" from the Action "
    "menu. If the port still does not appear, run the installation program "
    "again and choose Repair.",
    "",
    "The port appears with a warning sign: the driver could not be started. "
    "Remove the driver as described in section 5, restart the computer and "
    "install the driver again. Section 6 of the user's manual explains the "
    "error codes that Device Manager shows.",
    "",
    "Characters are lost or garbled: make sure that the baud rate, data bits, "
    "parity, stop bits and flow control are the same on both ends of the "
    "connection. Long cables may need a lower baud rate.",
    "",
    "",
    "9. Version history",
    "-" * 18,
    "",
    "4.10a  Corrects the port number shown after the computer resumes from "
    "sleep. Adds Windows 11 to the supported versions.",
    "4.10   Adds flow control settings to the port's properties. The "
    "installation program keeps the port settings of an earlier version.",
    "4.00   First release of the 4.x series, with a new installation program "
    "and support for 64-bit editions of Windows.",
    "",
    "",
    "10. Notice",
    "-" * 10,
    "",
    "This is sample text for the sample package. It describes no real "
    "product, and nothing in it is a promise of support or of fitness for any "
    "purpose. The use of the software is governed by the license agreement "
    "that the installation program shows.",
    "",
    "If you received this package with a product of your own and expected "
    "the real driver, ask whoever gave you the package for the release that "
    "belongs to your product. The sample files cannot be used to set up a "
    "device, and keeping them once the wizard has been tried out is not needed.",
    "",
    "Sample edition 4.10a, December 2026",
]


def wrap(par):
    if not par:
        return [""]
    # List items hang their continuation lines under the item's text.
    m = re.match(r"(\* |\d\) |\d\.\d+a? +)", par)
    indent = " " * len(m.group(1)) if m else ""
    return textwrap.wrap(par, width=76, subsequent_indent=indent,
                         break_on_hyphens=False, break_long_words=False) or [""]


def make_readme():
    lines = [line for par in README_PARAGRAPHS for line in wrap(par)]
    body = "".join(line + "\r\n" for line in lines)
    # A closing rule takes up the slack so the file keeps its fixed size
    # even after small edits to the prose above.
    rule = README_SIZE - len(body) - 2 - 2
    if not 8 <= rule <= 76:
        raise Failure(f"{README_NAME}: text is {len(body)} bytes; adjust it so that "
                      f"a closing rule of 8 to 76 characters makes {README_SIZE}")
    text = body + "\r\n" + "=" * rule + "\r\n"
    return text.encode("ascii")


# --- output -----------------------------------------------------------------

def main():
    ap = argparse.ArgumentParser(description="Write the sample package's payload files.")
    ap.add_argument("--program", required=True, help="built Windows program to embed")
    ap.add_argument("--out-dir", required=True, help="folder to write the payload into")
    args = ap.parse_args()
    try:
        files = {EXE_NAME: make_exe(args.program), PDF_NAME: make_pdf(),
                 README_NAME: make_readme()}
        os.makedirs(args.out_dir, exist_ok=True)
        for name, data in files.items():
            if len(data) != SIZES[name]:
                raise Failure(f"{name}: came out at {len(data)} bytes")
            write_if_changed(os.path.join(args.out_dir, name), data)
    except (Failure, OSError) as e:
        print(f"make_sample_payload: {e}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
