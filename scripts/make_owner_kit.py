#!/usr/bin/env python3
"""Writes the owner's kit: a folder and a zip of it, the same bytes on every
run from the same inputs.

    make_owner_kit.py --out-dir DIR --zip FILE --stamp SECONDS
        --stub EXE --makewizard FILE --makewizard-exe EXE
        --sample-dir DIR --owners FILE --sample-note FILE

The kit holds the stub, makewizard for Linux and for Windows, the sample
package folder's own files (not the payload the build generates for it)
with a note on what to put where, OWNERS.md and SHA256SUMS. The folder is
written afresh each time, so that nothing of an older kit stays in it. The
zip's entries are sorted, dated at the stamp (zip cannot go before 1980),
and carry fixed permissions: executable for the two Linux-runnable files.
"""
import argparse
import hashlib
import os
import shutil
import sys
import time
import zipfile

SAMPLE_FILES = ("package.cmake", "agreement.txt", "program.ico")
EXECUTABLE = {"makewizard"}


def kit_files(args):
    """(path in the kit, source) in the order SHA256SUMS lists them."""
    files = [("OWNERS.md", args.owners),
             ("makewizard", args.makewizard),
             ("makewizard.exe", args.makewizard_exe),
             ("wizard-stub.exe", args.stub),
             ("sample-package/WHAT-GOES-HERE.txt", args.sample_note)]
    files += [(f"sample-package/{name}", os.path.join(args.sample_dir, name))
              for name in SAMPLE_FILES]
    return sorted(files)


def write_folder(out_dir, files):
    if os.path.isdir(out_dir):
        shutil.rmtree(out_dir)
    sums = []
    for name, source in files:
        target = os.path.join(out_dir, name)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copyfile(source, target)
        os.chmod(target, 0o755 if name in EXECUTABLE else 0o644)
        with open(target, "rb") as f:
            sums.append(f"{hashlib.sha256(f.read()).hexdigest()}  {name}\n")
    with open(os.path.join(out_dir, "SHA256SUMS"), "w", newline="\n") as f:
        f.writelines(sums)


def write_zip(out_dir, zip_path, stamp):
    date = time.gmtime(max(stamp, 315532800))[:6]  # 1980-01-01: zip's first day
    names = sorted(os.path.relpath(os.path.join(folder, name), out_dir).replace(os.sep, "/")
                   for folder, _, names in os.walk(out_dir) for name in names)
    partial = zip_path + ".part"
    with zipfile.ZipFile(partial, "w") as kit:
        for name in names:
            entry = zipfile.ZipInfo(f"owner-kit/{name}", date)
            entry.compress_type = zipfile.ZIP_DEFLATED
            entry.create_system = 3  # Unix, so that the permissions below count
            entry.external_attr = (0o100755 if name in EXECUTABLE else 0o100644) << 16
            with open(os.path.join(out_dir, name), "rb") as f:
                kit.writestr(entry, f.read())
    os.replace(partial, zip_path)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    for option in ("--out-dir", "--zip", "--stub", "--makewizard", "--makewizard-exe",
                   "--sample-dir", "--owners", "--sample-note"):
        parser.add_argument(option, required=True)
    parser.add_argument("--stamp", type=int, required=True)
    args = parser.parse_args(argv)
    files = kit_files(args)
    missing = [source for _, source in files if not os.path.isfile(source)]
    if missing:
        print(f"make_owner_kit.py: cannot make the kit without {', '.join(missing)}",
              file=sys.stderr)
        return 1
    write_folder(args.out_dir, files)
    write_zip(args.out_dir, args.zip, args.stamp)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
