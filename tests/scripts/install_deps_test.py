"""scripts/install-deps.sh on a host whose package mirror is mid-sync: stand-ins
for dpkg, apt-get and apt-cache, first on PATH, say what a real one would."""
import os
import pathlib
import stat
import subprocess
import sys
import tempfile
import unittest

ROOT = pathlib.Path(__file__).resolve().parents[2]
SCRIPT = ROOT / "scripts" / "install-deps.sh"

# Every package is missing; `update` fails as a mirror mid-sync does; an
# install of a package named in $REFUSE fails as apt does, naming it.
STAND_INS = {
    "dpkg": """#!/bin/sh
case "$1" in --print-foreign-architectures | --add-architecture) exit 0 ;; esac
exit 1
""",
    "apt-get": """#!/bin/sh
echo "apt-get $*" >>"$CALLS"
case "$1" in
update)
  echo "E: Failed to fetch http://mirror/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?"
  echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
  exit 100 ;;
esac
for package; do
  for refused in $REFUSE; do
    if [ "$package" = "$refused" ]; then
      echo " $refused : Depends: libthing:i386 (>= 1.0) but it is not going to be installed"
      echo "E: Unable to correct problems, you have held broken packages."
      exit 100
    fi
  done
done
exit 0
""",
    "apt-cache": "#!/bin/sh\nexit 0\n",
    "id": "#!/bin/sh\necho 0\n",
}


class InstallDepsOnABrokenMirror(unittest.TestCase):
    def run_script(self, refuse):
        with tempfile.TemporaryDirectory() as folder:
            bin_dir = pathlib.Path(folder)
            for name, text in STAND_INS.items():
                path = bin_dir / name
                path.write_text(text)
                path.chmod(path.stat().st_mode | stat.S_IXUSR)
            calls = bin_dir / "calls"
            env = dict(os.environ, PATH=f"{bin_dir}:{os.environ['PATH']}", CALLS=str(calls),
                       REFUSE=refuse, INSTALL_DEPS_UPDATE_PAUSE="0")
            result = subprocess.run(["bash", str(SCRIPT)], env=env, capture_output=True, text=True,
                                    timeout=60)
            return result, calls.read_text().splitlines()

    def test_without_32_bit_wine_the_rest_installs_and_the_64_bit_path_is_named(self):
        result, calls = self.run_script("wine32:i386")
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertEqual(sum(call == "apt-get update -q" for call in calls), 3)
        self.assertIn("Packages.xz  File has unexpected size", result.stdout)
        installs = [call for call in calls if " install " in call]
        self.assertEqual(len(installs), 2)
        self.assertIn(" wine64 ", installs[0] + " ")
        self.assertNotIn("wine32", installs[0])
        self.assertIn(
            "32-bit Wine (wine32:i386) could not be installed (wine32:i386 : Depends: libthing:i386 "
            "(>= 1.0) but it is not going to be installed); the tests will run the 64-bit build "
            "under wine64.", result.stdout)

    def test_any_other_package_refused_ends_the_script_with_apts_words(self):
        result, _ = self.run_script("wine32:i386 xvfb")
        self.assertNotEqual(result.returncode, 0)
        self.assertIn("xvfb : Depends: libthing:i386", result.stdout + result.stderr)
        self.assertNotIn("the tests will run the 64-bit build", result.stdout)


if __name__ == "__main__":
    sys.exit(unittest.main())
