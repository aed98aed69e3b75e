#!/usr/bin/env python3
"""The owner's kit as an owner uses it: unpacked into a fresh folder, its
digests right, and its makewizard, with nothing on PATH (no compiler, no
CMake, no Python), making from the sample folder the same wizard the build
makes. With --makewizard-exe-under-wine, the kit's Windows makewizard does
the same under wine64.

    owner_kit_test.py --zip KIT.zip --payload-dir DIR --wizard EXE [--wine]
"""
import argparse
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
import zipfile

ARGS = None


def unpack(zip_path, into):
    with zipfile.ZipFile(zip_path) as kit:
        for entry in kit.infolist():
            path = kit.extract(entry, into)
            os.chmod(path, (entry.external_attr >> 16) & 0o777)
    return os.path.join(into, "owner-kit")


class OwnerKit(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="owner-kit-test-")
        self.addCleanup(shutil.rmtree, self.folder)
        self.kit = unpack(ARGS.zip, self.folder)
        self.kit_files = sorted(os.path.relpath(os.path.join(d, n), self.kit)
                                for d, _, names in os.walk(self.kit) for n in names)
        # The owner's step: their three files beside the kit's texts.
        self.package = os.path.join(self.kit, "sample-package")
        for name in os.listdir(ARGS.payload_dir):
            if name not in ("package.cmake", "agreement.txt", "program.ico"):
                shutil.copy(os.path.join(ARGS.payload_dir, name), self.package)

    def test_every_file_matches_its_listed_digest(self):
        with open(os.path.join(self.kit, "SHA256SUMS")) as f:
            listed = dict(reversed(line.rstrip("\n").split("  ", 1)) for line in f)
        self.assertEqual(sorted([*listed, "SHA256SUMS"]), self.kit_files)
        for name, digest in listed.items():
            with open(os.path.join(self.kit, name), "rb") as f:
                self.assertEqual(hashlib.sha256(f.read()).hexdigest(), digest, name)

    def test_the_guide_speaks_to_a_kit_user(self):
        # Nothing the kit lacks: this source tree's paths, its README, its CMake options.
        for name in ("OWNERS.md", "sample-package/WHAT-GOES-HERE.txt"):
            with open(os.path.join(self.kit, name), encoding="utf-8") as f:
                text = f.read()
            for word in ("resources/", "build/", "scripts/", "README", "-DWIZARD_"):
                self.assertNotIn(word, text, name)

    def build(self, command, env):
        out = os.path.join(self.folder, "VELNORIX410aPackageE.exe")
        run = subprocess.run(command(out), env=env, capture_output=True, text=True)
        self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
        with open(out, "rb") as f, open(ARGS.wizard, "rb") as g:
            self.assertTrue(f.read() == g.read(),
                            f"the kit's wizard differs from the build's {ARGS.wizard}")

    def test_linux_makewizard_needs_nothing_on_path(self):
        empty = os.path.join(self.folder, "empty-path")
        os.mkdir(empty)
        self.build(lambda out: [os.path.join(self.kit, "makewizard"), "build",
                                os.path.join(self.kit, "wizard-stub.exe"), self.package, out],
                   env={"PATH": empty, "LANG": "C.UTF-8"})

    @unittest.skipUnless(os.environ.get("WINEPREFIX"), "needs a Wine prefix (WINEPREFIX)")
    def test_windows_makewizard_under_wine(self):
        wine = os.environ.get("WINE") or "/usr/lib/wine/wine64"
        windows = lambda path: "Z:" + path.replace("/", "\\")  # noqa: E731
        self.build(lambda out: [wine, os.path.join(self.kit, "makewizard.exe"), "build",
                                windows(os.path.join(self.kit, "wizard-stub.exe")),
                                windows(self.package), windows(out)],
                   env=dict(os.environ, WINEDEBUG="-all"))


if __name__ == "__main__":
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--zip", required=True)
    parser.add_argument("--payload-dir", required=True)
    parser.add_argument("--wizard", required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0], *rest], verbosity=2)
