"""makewizard show and extract, end to end, on a wizard the builder made from
the sample's texts and icon: intact, with a payload byte flipped, signed, and
on files that are not wizards.

    show_extract_test.py --makewizard BUILDER --stub wizard-stub.exe
                         --sample-installer sample_installer.exe
                         [--makewizard-exe makewizard.exe]

With --makewizard-exe, the Windows builder's show --json under Wine (wine64,
or WINE) must give the native builder's facts.
"""
import argparse
import datetime
import glob
import hashlib
import json
import os
import resource
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "tests", "support"))
import package_format  # noqa: E402
import hand_signed  # noqa: E402
import pe_reader  # noqa: E402

SAMPLE = os.path.join(ROOT, "resources", "sample-package")
# Distinct bytes, so that each file can be found in the wizard.
PAYLOAD = {"VELNORIX410aE.exe": b"MZ" + hashlib.shake_256(b"installer").digest(300 * 1024),
           "VELNORIX_User'sManual.pdf": b"%PDF-1.4 manual",
           "ReadMe_E.txt": b"Read me.\r\n"}
GET_AGAIN = "If you built it, build it again; otherwise get it again from where it was published."
MIB = 1024 * 1024
args = None


def read(path):
    with open(path, "rb") as f:
        return f.read()


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def run(*arguments, **popen):
    done = subprocess.run([args.makewizard, *arguments], capture_output=True, timeout=60, **popen)
    return done.returncode, done.stdout.decode(), done.stderr.decode().rstrip("\n")


def shown(path):
    """A path as makewizard's messages show it."""
    return path.replace("\\", "\\\\").replace("\x1b", "\\x1b")


def expected_status(message):
    """Damage is 1, whatever else is not a wizard 2: the advice tells them apart."""
    return 1 if GET_AGAIN in message else 2


def run_measured(*arguments):
    """run(), and the process's peak resident size in MiB."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        child = subprocess.Popen([args.makewizard, *arguments], stdout=out, stderr=err)
        _, status, usage = os.wait4(child.pid, 0)
        child.returncode = os.waitstatus_to_exitcode(status)
        out.seek(0)
        err.seek(0)
        return child.returncode, out.read().decode(), err.read().decode().rstrip("\n"), usage.ru_maxrss / 1024


class Resources:
    """The resource directory of a wizard's bytes, to be damaged in place."""

    def __init__(self, data):
        self.data = data
        self.base = pe_reader.PE(data).offset(pe_reader.PE(data).directory(pe_reader.RESOURCE)[0])

    def entries(self, table=0):
        """(file offset, name field, target) of each entry of a table."""
        named, ids = struct.unpack_from("<HH", self.data, self.base + table + 12)
        return [(at, *struct.unpack_from("<II", self.data, at))
                for at in range(self.base + table + 16, self.base + table + 16 + 8 * (named + ids), 8)]

    def names(self, type_):
        """{name: file offset of its string} of one type's named entries."""
        table = next(t for _, n, t in self.entries() if n == type_) & 0x7FFFFFFF
        found = {}
        for _, field, _ in self.entries(table):
            if field & 0x80000000:
                at = self.base + (field & 0x7FFFFFFF)
                length = struct.unpack_from("<H", self.data, at)[0]
                found[bytes(self.data[at + 2:at + 2 + 2 * length]).decode("utf-16-le")] = at
        return found

    def first_leaf(self):
        names = self.entries(self.entries()[0][2] & 0x7FFFFFFF)
        return self.base + self.entries(names[0][2] & 0x7FFFFFFF)[0][2]


class ShowAndExtract(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.mkdtemp(prefix="show-extract-test-")
        package = os.path.join(cls.scratch, "package")
        os.makedirs(package)
        for name in ("package.cmake", "agreement.txt", "program.ico"):
            shutil.copy(os.path.join(SAMPLE, name), package)
        for name, data in PAYLOAD.items():
            write(os.path.join(package, name), data)
        cls.wizard = cls.file("Setup.exe")
        built = subprocess.run([args.makewizard, "build", args.stub, package, cls.wizard], capture_output=True)
        assert built.returncode == 0, built.stderr
        cls.image = read(cls.wizard)
        damaged = bytearray(cls.image)
        damaged[cls.image.index(PAYLOAD["VELNORIX410aE.exe"]) + 1000] ^= 0x01
        cls.damaged = cls.file("Damaged.exe", bytes(damaged))

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.scratch)

    @classmethod
    def file(cls, name, data=None):
        path = os.path.join(cls.scratch, name)
        if data is not None:
            write(path, data)
        return path

    @classmethod
    def link(cls, name, to):
        path = cls.file(name)
        if not os.path.lexists(path):
            os.symlink(to, path)
        return path

    @classmethod
    def fifo(cls, name):
        path = cls.file(name)
        if not os.path.exists(path):
            os.mkfifo(path)
        return path

    def folder(self):
        path = tempfile.mkdtemp(dir=self.scratch)
        self.addCleanup(shutil.rmtree, path)
        return path

    def show(self, wizard):
        status, out, err = run("show", wizard, "--json")
        self.assertIn(status, (0, 1), err)
        return status, json.loads(out)

    def test_an_intact_wizard(self):
        status, facts = self.show(self.wizard)
        self.assertEqual(status, 0)
        self.assertEqual([(f["name"], f["size"], f["sha256"], f["state"]) for f in facts["files"]],
                         [(name, len(data), hashlib.sha256(data).hexdigest(), "intact")
                          for name, data in PAYLOAD.items()])
        with open(os.path.join(SAMPLE, "agreement.txt"), encoding="utf-8") as f:
            agreement = f.read().splitlines()
        self.assertEqual(
            {key: facts[key] for key in ("company_name", "legal_copyright", "identity_name",
                                         "product_version", "file_version", "agreement", "icon",
                                         "signature", "stub_format", "above_32bit_ceiling")},
            {"company_name": "ORVEN Sample Devices Ltd.",
             "legal_copyright": "Copyright (C) 2026 ORVEN Sample Devices Ltd. Sample package.",
             "identity_name": "ORVEN.VELNORIX410aPackageE",
             "product_version": "4.1.0.0", "file_version": "4.1.0.0",
             "agreement": {"first_line": agreement[0], "lines": len(agreement)},
             "icon": [{"width": size, "height": size, "bits_per_pixel": 32} for size in (48, 32, 16)],
             "signature": None, "stub_format": package_format.STUB_FORMAT, "above_32bit_ceiling": False})
        status, out, _ = run("show", self.wizard)
        self.assertEqual(status, 0)
        self.assertIn(f"  VELNORIX410aE.exe          307,202 bytes  intact\n"
                      f"      SHA-256 {facts['files'][0]['sha256']}\n", out)
        self.assertTrue(out.endswith("\nEvery file is intact.\n"), out)

        # Into a folder that does not exist yet, then again over what it wrote.
        target = os.path.join(self.folder(), "a", "b")
        self.assertEqual(run("extract", self.wizard, target)[0], 0)
        self.assertEqual({name: read(os.path.join(target, name)) for name in os.listdir(target)}, PAYLOAD)
        write(os.path.join(target, "ReadMe_E.txt"), b"mine")
        status, _, err = run("extract", self.wizard, target)
        self.assertEqual((status, err), (1, "\n".join(
            f"{target}/{name} already exists: extract into another folder, or add --overwrite to replace it."
            for name in PAYLOAD)))
        self.assertEqual(read(os.path.join(target, "ReadMe_E.txt")), b"mine")
        self.assertEqual(run("extract", self.wizard, target, "--overwrite")[0], 0)
        self.assertEqual(read(os.path.join(target, "ReadMe_E.txt")), PAYLOAD["ReadMe_E.txt"])

    def test_the_checksums_the_wizard_checks_count_and_format_1_is_read_without_them(self):
        offset, _ = pe_reader.PE(self.image).resources()[(pe_reader.RT_RCDATA, "CRC32C")]
        wrong_checksum = bytearray(self.image)
        wrong_checksum[offset] ^= 0x01  # the first file's, which is intact
        for name, data, states in (("WrongChecksum.exe", bytes(wrong_checksum), ["damaged", "intact", "intact"]),
                                   ("Format1.exe", bytes(wrong_checksum).replace(
                                       package_format.STUB_MARKER, b"wizard stub format 1\n"),
                                    ["intact", "intact", "intact"])):
            with self.subTest(name):
                _, facts = self.show(self.file(name, data))
                self.assertEqual([f["state"] for f in facts["files"]], states)

    def test_a_damaged_wizard(self):
        status, facts = self.show(self.damaged)
        self.assertEqual(status, 1)
        self.assertEqual([f["state"] for f in facts["files"]], ["damaged", "intact", "intact"])
        stored = hashlib.sha256(PAYLOAD["VELNORIX410aE.exe"]).hexdigest()
        self.assertEqual(facts["files"][0]["stored_sha256"], stored)
        status, out, _ = run("show", self.damaged)
        self.assertEqual(status, 1)
        self.assertTrue(out.endswith(
            "\nVELNORIX410aE.exe is damaged, so the wizard would refuse to deliver its package. "
            + GET_AGAIN + "\n"), out)

        # The damaged file is refused and leaves nothing; an older one of
        # its name stays as it was.
        target = self.folder()
        write(os.path.join(target, "VELNORIX410aE.exe"), b"yesterday's")
        status, _, err = run("extract", self.damaged, target, "--overwrite")
        self.assertEqual((status, err), (1, (
            f"VELNORIX410aE.exe is damaged in {self.damaged} (its SHA-256 is {facts['files'][0]['sha256']}, "
            f"the wizard stored {stored}): nothing of it was written to {target}. " + GET_AGAIN)))
        self.assertEqual(sorted(os.listdir(target)), sorted(PAYLOAD))
        self.assertEqual(read(os.path.join(target, "VELNORIX410aE.exe")), b"yesterday's")

    def test_a_package_resource_in_two_languages_is_damage(self):
        # FILE1's name is pointed at a language table of two, written over
        # the readme's bytes: Windows would pick one by the user's language.
        data = bytearray(self.image)
        tree = Resources(data)
        names = next(t for _, n, t in tree.entries() if n == 10) & 0x7FFFFFFF
        by_name = {bytes(data[tree.base + (f & 0x7FFFFFFF) + 2:][:10]).decode("utf-16-le"): (at, t)
                   for at, f, t in tree.entries(names) if f & 0x80000000}
        leaf = lambda name: tree.entries(by_name[name][1] & 0x7FFFFFFF)[0][2]
        table = (data.index(PAYLOAD["ReadMe_E.txt"]) + 3) & ~3
        data[table:table + 32] = struct.pack("<IIHHHHIIII", 0, 0, 0, 0, 0, 2, 0x409, leaf("FILE1"),
                                             0x411, leaf("FILE2"))
        struct.pack_into("<I", data, by_name["FILE1"][0] + 4, 0x80000000 | (table - tree.base))
        wizard = self.file("TwoLanguages.exe", bytes(data))
        for command in (["show", wizard], ["extract", wizard, self.folder()]):
            status, _, err = run(*command)
            self.assertEqual((status, err), (1, (
                f"{wizard} is a damaged wizard: it holds the package resource FILE1 in 2 languages, "
                "and Windows would give each user the one of their own language. " + GET_AGAIN)))

    def test_a_wizard_above_the_32bit_ceiling_says_so(self):
        package = self.folder()
        for name in ("package.cmake", "agreement.txt", "program.ico"):
            shutil.copy(os.path.join(SAMPLE, name), package)
        for name, data in PAYLOAD.items():
            write(os.path.join(package, name), data)
        # Sparse: 1,281 MiB in all.
        others = sum(len(data) for name, data in PAYLOAD.items() if name != "VELNORIX410aE.exe")
        os.truncate(os.path.join(package, "VELNORIX410aE.exe"), 1281 * MIB - others)
        wizard = os.path.join(self.folder(), "Large.exe")
        self.assertEqual(run("build", args.stub, package, wizard, "--for-64bit-windows-only")[0], 0)
        os.remove(os.path.join(package, "VELNORIX410aE.exe"))
        self.assertIn("\n32-bit Windows   will not start it: its files come to 1,281 MiB, above the 1,280 MiB "
                      "a wizard can map there\n", run("show", wizard)[1])
        self.assertTrue(self.show(wizard)[1]["above_32bit_ceiling"])

    def test_a_full_disk_leaves_nothing_half_written(self):
        target = self.folder()

        def small_disk():
            resource.setrlimit(resource.RLIMIT_FSIZE, (256 * 1024, 256 * 1024))
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        status, _, err = run("extract", self.wizard, target, preexec_fn=small_disk)
        self.assertEqual((status, err), (1, (
            f"makewizard could not write {target}/VELNORIX410aE.exe (File too large); nothing was left under "
            f"that name. Free some space on the disk of {target} and extract again.")))
        self.assertEqual(os.listdir(target), [])

    @classmethod
    def pki(cls):
        """A throwaway CA with a code-signing signer (RSA and ECDSA P-256) and
        a time-stamp authority, made once; the signer's end as show gives it."""
        pki = os.path.join(cls.scratch, "pki")
        if os.path.isdir(pki):
            return pki, cls.signer_ends
        os.makedirs(pki)

        def openssl(*arguments):
            subprocess.run(["openssl", *arguments], cwd=pki, check=True, capture_output=True)
        openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key", "-out", "ca.pem",
                "-days", "2", "-subj", "/CN=Show Test CA", "-addext", "basicConstraints=critical,CA:TRUE")
        write(os.path.join(pki, "signer.ext"), b"extendedKeyUsage=codeSigning\n")
        write(os.path.join(pki, "tsa.ext"), b"extendedKeyUsage=critical,timeStamping\n")
        for name, key, subject, ext in (("signer", "rsa:2048", "/O=Société Générale 株式会社/CN=Signé Signer", "signer"),
                                        ("ec", "ec", "/CN=EC Signer", "signer"),
                                        ("tsa", "rsa:2048", "/CN=Show Test TSA", "tsa")):
            openssl("req", "-newkey", key, *(["-pkeyopt", "ec_paramgen_curve:P-256"] if key == "ec" else []),
                    "-nodes", "-keyout", f"{name}.key", "-out", f"{name}.csr", "-utf8", "-subj", subject)
            openssl("x509", "-req", "-in", f"{name}.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial",
                    "-days", "2", "-extfile", f"{ext}.ext", "-out", f"{name}.pem")
            write(os.path.join(pki, f"{name}-chain.pem"),
                  read(os.path.join(pki, f"{name}.pem")) + read(os.path.join(pki, "ca.pem")))
        ends = subprocess.run(["openssl", "x509", "-enddate", "-noout", "-in", "signer.pem"], cwd=pki,
                              check=True, capture_output=True, text=True).stdout
        cls.signer_ends = time.strftime("%Y-%m-%dT%H:%M:%SZ",
                                        time.strptime(ends.strip(), "notAfter=%b %d %H:%M:%S %Y GMT"))
        return pki, cls.signer_ends

    @classmethod
    def sign(cls, wizard, name, *options, signer="signer"):
        pki, _ = cls.pki()
        signed = os.path.join(pki, name)
        subprocess.run(["osslsigncode", "sign", "-certs", f"{signer}-chain.pem", "-key", f"{signer}.key",
                        *options, "-in", wizard, "-out", signed], cwd=pki, check=True, capture_output=True)
        return signed

    @unittest.skipUnless(shutil.which("osslsigncode") and shutil.which("openssl"), "osslsigncode and openssl")
    def test_a_signed_wizard_names_its_signer_not_the_authority(self):
        _, ends = self.pki()
        local_tsa = "-TSA-certs" in subprocess.run(["osslsigncode", "--help"], capture_output=True, text=True).stdout
        cases = [
            ("no time stamp", (), None,
             f"none: the signature ends when the certificate does ({ends[:10]} {ends[11:19]} UTC)"),
            ("an RFC 3161 time stamp",
             ("-TSA-certs", "tsa-chain.pem", "-TSA-key", "tsa.key", "-TSA-time", "1767312000"),
             {"time": "2026-01-02T00:00:00Z", "kind": "RFC 3161"},
             "2026-01-02 00:00:00 UTC (RFC 3161, by Show Test TSA, checks out)"),
        ]
        for name, options, stamp, stamp_text in cases:
            with self.subTest(name):
                if options and not local_tsa:
                    self.skipTest("this osslsigncode makes no time stamps of its own (-TSA-certs)")
                signed = self.sign(self.wizard, name.replace(" ", "-") + ".exe", "-h", "sha256", *options)
                status, facts = self.show(signed)
                self.assertEqual((status, {key: facts["signature"][key] for key in (
                    "signer", "organisation", "certificate_ends", "time_stamp", "verified")}), (0, {
                    "signer": "Signé Signer", "organisation": "Société Générale 株式会社",
                    "certificate_ends": ends, "time_stamp": stamp and dict(
                        stamp, authority="Show Test TSA", problem=None), "verified": True}))
                self.assertIn("\nSignature        signed by Signé Signer, Société Générale 株式会社 "
                              f"(SHA-256)\nTime stamp       {stamp_text}\n", run("show", signed)[1])
        target = self.folder()
        self.assertEqual(run("extract", signed, target)[0], 0)
        self.assertEqual(read(os.path.join(target, "VELNORIX410aE.exe")), PAYLOAD["VELNORIX410aE.exe"])

        # Cut inside its certificate table, it is cut short, not unsigned.
        cut = self.file("SignedCut.exe", read(signed)[:-10])
        status, _, err = run("show", cut)
        self.assertEqual((status, err), (1, (
            f"{cut} is cut short: it holds {len(read(signed)) - 10:,} of the {len(read(signed)):,} bytes its "
            "headers describe. " + GET_AGAIN)))

    @unittest.skipUnless(shutil.which("osslsigncode") and shutil.which("openssl"), "osslsigncode and openssl")
    def test_the_signature_is_checked_and_what_breaks_it_is_named(self):
        """Each signed or tampered wizard: the same verdict from show, show --json,
        osslsigncode verify and (when given) the Windows builder under Wine."""
        pki, _ = self.pki()
        signed = self.sign(self.wizard, "signed.exe", "-h", "sha256")
        sha1 = self.sign(self.wizard, "sha1.exe", "-h", "sha1")
        dual = self.sign(sha1, "dual.exe", "-nest", "-h", "sha256", "-TSA-certs", "tsa-chain.pem", "-TSA-key", "tsa.key")
        other = self.sign(self.damaged, "other.exe", "-h", "sha256")
        subprocess.run(["osslsigncode", "extract-signature", "-in", other, "-out", "other.sig"], cwd=pki, check=True,
                       capture_output=True)
        borrowed = os.path.join(pki, "borrowed.exe")
        # attach-signature checks what it made and says it does not verify.
        subprocess.run(["osslsigncode", "attach-signature", "-sigin", "other.sig", "-in", self.wizard, "-out", borrowed],
                       cwd=pki, capture_output=True)
        image = read(signed)
        changed = bytearray(image)
        # The agreement: no checksum of the wizard's own covers it.
        with open(os.path.join(SAMPLE, "agreement.txt"), encoding="utf-8") as f:
            changed[image.index(f.readline().strip().encode())] ^= 0x20
        table_at, _ = struct.unpack_from("<II", image, pe_reader.PE(image).directories_at + 8 * pe_reader.SECURITY)
        signed_end = table_at + 8 + 4 + int.from_bytes(image[table_at + 10:table_at + 12], "big")
        broken = bytearray(image)
        broken[signed_end - 1] ^= 0xFF  # the signature's last byte
        holds = "The signature checks out: the file is as Signé Signer, Société Générale 株式会社 signed it"
        not_as_signed = "Every file matches the checksums stored beside it, but "
        cases = [
            ("signed", signed, "holds", holds + " (SHA-256)."),
            ("dual-signed", dual, "holds", holds + " (SHA-1), and so does its nested SHA-256 signature."),
            ("ECDSA P-256", self.sign(self.wizard, "ec.exe", "-h", "sha256", signer="ec"), "holds",
             "The signature checks out: the file is as EC Signer signed it (SHA-256)."),
            ("a byte changed", self.file("changed.exe", bytes(changed)), "changed_after_signing",
             not_as_signed + "it was changed after it was signed: the file's SHA-256 digest is "),
            ("16 bytes appended", self.file("appended.exe", image + bytes(range(16))), "bytes_outside_signature",
             not_as_signed + "it carries bytes no signature covers, which Windows refuses when it checks "
                             "certificate padding: 16 bytes after the certificate table. " + GET_AGAIN),
            ("another wizard's signature", borrowed, "signed_for_other_contents",
             not_as_signed + "its signature was made for other contents (another file's signature attached to it"),
            ("its signature broken", self.file("broken.exe", bytes(broken)), "does_not_verify",
             not_as_signed + "its signature does not hold: the signer's signature does not verify with the key of "
                             "its certificate (Signé Signer, Société Générale 株式会社). " + GET_AGAIN),
        ]
        # By a token, as the release build signs: SoftHSM holding the signer's key.
        module = next(iter(glob.glob("/usr/lib/softhsm/libsofthsm2.so") +
                           glob.glob("/usr/lib/*/softhsm/libsofthsm2.so")), None)
        if module and shutil.which("softhsm2-util"):
            write(os.path.join(pki, "softhsm2.conf"),
                  f"directories.tokendir = {pki}/tokens\nobjectstore.backend = file\n".encode())
            os.makedirs(os.path.join(pki, "tokens"), exist_ok=True)
            token = dict(os.environ, SOFTHSM2_CONF=os.path.join(pki, "softhsm2.conf"))
            for command in (("--init-token", "--free", "--label", "Show Test", "--pin", "123456", "--so-pin", "654321"),
                            ("--import", "signer.key", "--token", "Show Test", "--label", "signer", "--id", "01",
                             "--pin", "123456")):
                subprocess.run(["softhsm2-util", *command], cwd=pki, env=token, check=True, capture_output=True)
            subprocess.run(["osslsigncode", "sign", "-pkcs11module", module, "-key",
                            "pkcs11:token=Show%20Test;object=signer;type=private", "-certs", "signer-chain.pem",
                            "-pass", "123456", "-h", "sha256", "-in", self.wizard, "-out", "token.exe"],
                           cwd=pki, env=token, check=True, capture_output=True)
            cases.append(("signed by a token", os.path.join(pki, "token.exe"), "holds", holds + " (SHA-256)."))
        cases += [("SHA-384", self.sign(self.wizard, "sha384.exe", "-h", "sha384"), "holds", holds + " (SHA-384)."),
                  ("MD5", self.sign(self.wizard, "md5.exe", "-h", "md5"), "not_checked",
                   "Every file matches the checksums stored beside it, but makewizard cannot check its signature: "
                   "it uses MD5, which makewizard does not check; signtool verify /pa or osslsigncode verify can.")]
        # An older Authenticode counter-signature in place of an RFC 3161 token,
        # by the time-stamp authority and by a key not its certificate's.
        when = datetime.datetime(2026, 1, 2, 3, 4, 5)
        for name, key, verdict in (("a counter-signature", "tsa.key", "holds"),
                                   ("a counter-signature by another key", "signer.key", "does_not_verify")):
            stamped = hand_signed.counter_signed(image, os.path.join(pki, key), read(os.path.join(pki, "tsa.pem")),
                                                 when, pki)
            cases.append((name, self.file(name.replace(" ", "-") + ".exe", stamped), verdict,
                          holds + " (SHA-256)." if verdict == "holds" else
                          not_as_signed + "its signature does not hold: its time stamp does not check out (its "
                                          "counter-signature's signature does not verify with the key of its "
                                          "certificate (Show Test TSA))."))
        # RSA-PSS, made by hand, once as signed and once naming another salt length.
        key = os.path.join(pki, "signer.key")
        cases += [("RSA-PSS", self.file("pss.exe", hand_signed.resigned_with_pss(image, key, 32, pki)), "holds",
                   holds + " (SHA-256)."),
                  ("RSA-PSS with another salt named", self.file("pss-salt.exe", hand_signed.resigned_with_pss(
                      image, key, 32, pki, named_salt=20)), "does_not_verify",
                   not_as_signed + "its signature does not hold: the signer's signature does not verify")]
        wine = os.environ.get("WINE") or shutil.which("wine64") or "/usr/lib/wine/wine64"
        for name, path, verdict, line in cases:
            with self.subTest(name):
                status, facts = self.show(path)
                self.assertEqual((status, facts["signature"]["verdict"], facts["signature"]["verified"]),
                                 (0 if verdict == "holds" else 1, verdict, verdict == "holds"))
                self.assertIn("\n" + line, run("show", path)[1])
                verified = subprocess.run(["osslsigncode", "verify", "-CAfile", "ca.pem", "-TSA-CAfile", "ca.pem",
                                           "-in", path], cwd=pki, capture_output=True)
                # osslsigncode checks PKCS#1 v1.5 padding only, and so refuses any PSS
                # signature; it checks MD5, which makewizard leaves to it; and it
                # takes a time stamp that does not verify for none, where makewizard
                # calls the signature broken: a forged time could outlive the certificate.
                if "RSA-PSS" not in name and verdict != "not_checked" and "another key" not in name:
                    self.assertEqual(verified.returncode == 0, verdict == "holds", verified.stdout.decode()[-400:])
                if args.makewizard_exe:
                    done = subprocess.run([wine, args.makewizard_exe, "show", "Z:" + path.replace("/", "\\"), "--json"],
                                          capture_output=True, env=dict(os.environ, WINEDEBUG="-all"))
                    windows = json.loads(done.stdout)["signature"]
                    # Windows' own say on trust is the one fact only it has.
                    self.assertIn("trusted", windows.pop("windows_trust"))
                    self.assertEqual((done.returncode, windows), (status, facts["signature"]))

        # The chain against roots given: the CA's, another, and a file that holds none.
        for roots, trusted in (("ca.pem", True), ("tsa.pem", False)):
            chain = json.loads(run("show", signed, "--json", "--trust", os.path.join(pki, roots))[1])
            self.assertEqual([s["trusted"] for s in chain["signature"]["signatures"]], [trusted])
        status, _, err = run("show", signed, "--trust", os.path.join(pki, "ca.key"))
        self.assertEqual((status, err), (2, (
            f"{pki}/ca.key cannot be used with --trust: it holds no certificate (no -----BEGIN CERTIFICATE----- "
            "line). Name a PEM file of the root certificates to trust (text beginning -----BEGIN CERTIFICATE-----).")))

        # Extract says so first, and still delivers the files.
        target = self.folder()
        status, out, err = run("extract", cases[3][1], target)
        self.assertEqual(status, 1)
        self.assertTrue(err.startswith(f"{cases[3][1]}: it was changed after it was signed: "), err)
        self.assertEqual(sorted(os.listdir(target)), sorted(PAYLOAD))

    def test_what_is_not_a_wizard_is_named_by_show_and_extract(self):
        marker = package_format.STUB_MARKER
        cases = [
            (args.sample_installer, "{p} is a Windows program but not a wizard made by makewizard."),
            (args.stub, "{p} is a wizard stub without a package: makewizard build makes a wizard of it and a "
                        "package folder."),
            (self.file("format7.exe", self.image.replace(marker, b"wizard stub format 7\n")),
             "{p} is a wizard made by makewizard 7, this is makewizard "
             f"{package_format.STUB_FORMAT}: look inside it with makewizard 7."),
            (self.file("agreement.txt", b"Licence agreement\r\n\r\n1.\tTerms.\r\n"),
             '{p} is not a Windows program (it starts with the text "Licence agreement\\r\\n\\r\\n1.\\t…").'),
            (self.file("program.elf", b"\x7fELF\x02\x01\x01" + bytes(100)),
             "{p} is not a Windows program (it starts with the bytes 7F 45 4C 46 02 01 01 00 …)."),
            (self.file("empty.exe", b""), "{p} is empty."),
            (self.file("headers.exe", self.image[:300]),
             "{p} is cut short: it ends after 300 bytes, within its headers. " + GET_AGAIN),
            (self.file("cut.exe", self.image[:len(self.image) // 2]),
             f"{{p}} is cut short: it holds {len(self.image) // 2:,} of the {len(self.image):,} bytes its "
             "headers describe. " + GET_AGAIN),
            (self.file("missing.exe"), "{p} does not exist: name the wizard's .exe file."),
            # A downloaded file's name may hold anything.
            (self.file("\x1b[2J\\x1b.exe"), "{p} does not exist: name the wizard's .exe file."),
            (self.link("loop.exe", "loop.exe"), "{p} cannot be reached (Too many levels of symbolic links): "
                                                "check the path, and that you may open each folder on its way."),
            (self.file("x" * 300), "{p} cannot be reached (File name too long): check the path, and that you "
                                   "may open each folder on its way."),
            # Refused by name, not waited on.
            (self.fifo("pipe.exe"), "{p} cannot be read (it is a named pipe, not a file): check that it is a "
                                    "file you may read."),
            ("/dev/null", "{p} cannot be read (it is a device, not a file): check that it is a file you may read."),
        ]
        for path, expected in cases:
            for command in ("show", "extract"):
                with self.subTest(os.path.basename(path), command=command):
                    target = os.path.join(self.scratch, "not-created")
                    status, out, err = run(command, path, *([target] if command == "extract" else []))
                    message = expected.format(p=shown(path))
                    self.assertEqual((status, err), (expected_status(message), message))
                    self.assertEqual(out, "")
                    self.assertFalse(os.path.exists(target))
        status, out, err = run("show", args.stub, "--json")
        self.assertEqual((status, json.loads(out)), (2, {"path": args.stub, "error": err}))

    def test_a_malformed_wizard_gets_a_short_refusal_within_budget(self):
        """Each structure cut short or damaged: the same refusal from show,
        show --json and extract, in 64 MiB and in time."""
        image = self.image
        pe = pe_reader.PE(image)
        pe_at = struct.unpack_from("<I", image, 0x3C)[0]
        sections_at = pe_at + 24 + struct.unpack_from("<H", image, pe_at + 20)[0]
        resources_at = pe.directories_at + 8 * pe_reader.RESOURCE
        damaged_directory = "{p} is a Windows program with a damaged resource directory (%s). " + GET_AGAIN

        def cut(size):
            return image[:size], (f"{{p}} is cut short: it ends after {size:,} bytes, within its headers. "
                                  + GET_AGAIN)

        def changed(change, why):
            data = bytearray(image)
            change(data, Resources(data))
            return bytes(data), damaged_directory % why

        def pack(form, at, *values):
            return lambda data, _: struct.pack_into(form, data, at, *values)

        def rename(data, resources):
            at = resources.names(pe_reader.RT_RCDATA)["FILE2"]
            data[at + 2:at + 12] = "FILE1".encode("utf-16-le")

        def loop(data, resources):
            struct.pack_into("<I", data, resources.entries()[0][0] + 4, 0x80000000)

        def long_name(data, resources):
            struct.pack_into("<H", data, min(resources.names(pe_reader.RT_RCDATA).values()), 0xFFFF)

        def counts(data, resources):
            struct.pack_into("<HH", data, resources.base + 12, 0xFFFF, 0xFFFF)

        def data_size(data, resources):
            struct.pack_into("<I", data, resources.first_leaf() + 4, 0xFFFFFFFF)

        cases = {
            "in the DOS header": cut(0x3C),
            "in the file header": cut(pe_at + 10),
            "in the optional header": cut(pe_at + 24 + 40),
            "in the section table": cut(sections_at + 20),
            "a PE header offset that wraps in 32 bits": (
                image[:0x3C] + struct.pack("<I", 0xFFFFFFF0) + image[0x40:],
                f"{{p}} is cut short: it ends after {len(image):,} bytes, within its headers. " + GET_AGAIN),
            "resources in no section": (
                image[:resources_at] + struct.pack("<I", 0x7FFF0000) + image[resources_at + 4:],
                "{p} is a Windows program but not a wizard made by makewizard."),
            "a loop in the directory": changed(loop, "a language leads to a table instead of data"),
            "a repeated resource": changed(rename, "it lists resource FILE1 of type 10 in language 1033 twice"),
            "entry counts at their limit": changed(counts, "it has too many entries"),
            "a name of 65,535 units": changed(long_name, "its names are too long"),
            "data of 4 GiB": changed(data_size, "resource data lies outside the resource section"),
        }
        # The budget: 64 MiB beyond what the program and the payload's
        # streaming take to show an intact wizard.
        budget = run_measured("show", self.wizard)[3] + 64
        for name, (data, expected) in cases.items():
            path = self.file(name.replace(" ", "-") + ".exe", data)
            expected = expected.format(p=path)
            for command in ("show", "extract", "--json"):
                with self.subTest(name, command=command):
                    target = os.path.join(self.scratch, "not-created")
                    arguments = {"show": [], "extract": [target], "--json": []}[command]
                    status, out, err, peak = run_measured(
                        "show" if command == "--json" else command, path, *arguments,
                        *(["--json"] if command == "--json" else []))
                    self.assertEqual((status, err), (expected_status(expected), expected))
                    self.assertLessEqual(peak, budget)
                    self.assertFalse(os.path.exists(target))
                    if command == "--json":
                        self.assertEqual(json.loads(out), {"path": path, "error": expected})

        # A certificate table of its header alone is an unreadable signature.
        header_only = self.file("certificate-header.exe", image + struct.pack("<IHH", 8, 0x200, 2))
        with open(header_only, "r+b") as f:
            f.seek(pe.directories_at + 8 * pe_reader.SECURITY)
            f.write(struct.pack("<II", len(image), 8))
        status, facts = self.show(header_only)
        self.assertEqual((status, {key: facts["signature"][key] for key in ("signer", "problem", "verdict")}),
                         (1, {"signer": None, "problem": "it lacks a content info", "verdict": "does_not_verify"}))

    def test_what_show_prints_is_safe_on_a_terminal(self):
        # Controls C0 and C1 and a bidirectional override in the version record.
        hostile = "\u202eS\x9b\x1b[J"
        data = self.image.replace("Sample".encode("utf-16-le"), hostile.encode("utf-16-le"), 1)
        path = self.file("hostile-texts.exe", data)
        status, out, _ = run("show", path)
        self.assertIn("\nCompany name     ORVEN \\u202eS\\x9b\\x1b[J Devices Ltd.\n", out)
        status, facts = self.show(path)
        self.assertEqual(facts["company_name"], f"ORVEN {hostile} Devices Ltd.")
        self.assertFalse(set("\u202e\x9b\x1b") & set(run("show", path, "--json")[1]))
        # Nor from its name, whose backslash is escaped too.
        named = self.file("\x1b]0;\\x1b.exe", data)
        status, out, _ = run("show", named)
        self.assertTrue(out.startswith(os.path.join(self.scratch, "\\x1b]0;\\\\x1b.exe: a 32-bit wizard")), out)

    def test_the_windows_builder_shows_the_same_facts(self):
        if not args.makewizard_exe:
            self.skipTest("no --makewizard-exe")
        wine = os.environ.get("WINE") or shutil.which("wine64") or "/usr/lib/wine/wine64"
        for wizard in (self.wizard, self.damaged):
            windows_path = "Z:" + wizard.replace("/", "\\")
            done = subprocess.run([wine, args.makewizard_exe, "show", windows_path, "--json"], capture_output=True,
                                  env=dict(os.environ, WINEDEBUG="-all"))
            status, native = self.show(wizard)
            self.assertEqual(done.returncode, status, done.stderr)
            self.assertEqual(json.loads(done.stdout), dict(native, path=windows_path))


def main():
    global args
    parser = argparse.ArgumentParser()
    parser.add_argument("--makewizard", required=True)
    parser.add_argument("--stub", required=True)
    parser.add_argument("--sample-installer", required=True)
    parser.add_argument("--makewizard-exe")
    args, rest = parser.parse_known_args()
    args.makewizard, args.stub, args.sample_installer = (
        os.path.abspath(path) for path in (args.makewizard, args.stub, args.sample_installer))
    unittest.main(argv=[sys.argv[0], *rest])


if __name__ == "__main__":
    main()
