"""Authenticode signatures changed by hand in ways osslsigncode cannot make
them: the signer's attributes signed anew with RSA-PSS, and an older
Authenticode counter-signature (a signer info over the signature) in
place of an RFC 3161 time stamp. The keys sign through openssl."""
import base64
import hashlib
import struct
import subprocess

SHA256 = bytes.fromhex("300d06096086480165030402010500")
RSA_ENCRYPTION = bytes.fromhex("300d06092a864886f70d0101010500")
PKCS9 = "06092a864886f70d0109"  # 1.2.840.113549.1.9.n, n appended


def element(data, at):
    """(tag, content start, end) of the DER element at `at`."""
    tag, length, start = data[at], data[at + 1], at + 2
    if length & 0x80:
        count = length & 0x7F
        length, start = int.from_bytes(data[start:start + count], "big"), start + count
    return tag, start, start + length


def parts(data, start, end):
    """The whole encodings of the elements in data[start:end]."""
    found = []
    while start < end:
        _, _, stop = element(data, start)
        found.append(data[start:stop])
        start = stop
    return found


def encoded(tag, content):
    size = len(content)
    if size < 0x80:
        return bytes([tag, size]) + content
    count = (size.bit_length() + 7) // 8
    return bytes([tag, 0x80 | count]) + size.to_bytes(count, "big") + content


def content(whole):
    _, start, end = element(whole, 0)
    return whole[start:end]


def sign(key, data, cwd, *options):
    return subprocess.run(["openssl", "dgst", "-sha256", "-sign", key, *options], input=data,
                          capture_output=True, check=True, cwd=cwd).stdout


def edited(image, change):
    """The image with its signed data's parts (version, digest algorithms,
    content, [0] certificates, signer infos) and its one signer's fields
    (version, signer id, digest algorithm, [0] attributes, algorithm,
    signature, ...) changed in place by `change`."""
    pe_at = struct.unpack_from("<I", image, 0x3C)[0]
    entry = pe_at + 24 + (112 if struct.unpack_from("<H", image, pe_at + 24)[0] == 0x20B else 96) + 8 * 4
    table_at = struct.unpack_from("<I", image, entry)[0]
    content_type, explicit = parts(image[table_at + 8:], *element(image[table_at + 8:], 0)[1:])
    signed = parts(content(explicit), 0, len(content(explicit)))
    signed = parts(signed[0], *element(signed[0], 0)[1:])
    fields = parts(content(signed[-1]), *element(content(signed[-1]), 0)[1:])
    change(signed, fields)
    signed[-1] = encoded(0x31, encoded(0x30, b"".join(fields)))
    info = encoded(0x30, content_type + encoded(0xA0, encoded(0x30, b"".join(signed))))
    info += bytes(-len(info) % 8)
    out = bytearray(image[:table_at] + struct.pack("<IHH", 8 + len(info), 0x200, 2) + info)
    struct.pack_into("<I", out, entry + 4, 8 + len(info))
    return bytes(out)


def resigned_with_pss(image, key, salt, cwd, named_salt=None):
    """`named_salt`: the salt length the parameters name, if not `salt`."""
    def change(_, fields):
        assert fields[4] == RSA_ENCRYPTION, "osslsigncode named another signature algorithm"
        fields[4] = encoded(0x30, bytes.fromhex("06092a864886f70d01010a") + encoded(0x30, (
            encoded(0xA0, SHA256) + encoded(0xA1, encoded(0x30, bytes.fromhex("06092a864886f70d010108") + SHA256))
            + encoded(0xA2, encoded(0x02, bytes([named_salt or salt]))))))
        fields[5] = encoded(0x04, sign(key, b"\x31" + fields[3][1:], cwd, "-sigopt", "rsa_padding_mode:pss",
                                       "-sigopt", f"rsa_pss_saltlen:{salt}", "-sigopt", "rsa_mgf1_md:sha256"))
    return edited(image, change)


def counter_signed(image, key, certificate_pem, when, cwd):
    """Counter-signed at `when` (a UTC datetime) by the key of the
    certificate, which joins the signature's certificates."""
    certificate = base64.b64decode(b"".join(certificate_pem.strip().splitlines()[1:-1]))
    body = parts(content(certificate), 0, len(content(certificate)))[0]
    _, serial, _, issuer = parts(body, *element(body, 0)[1:])[:4]

    def attribute(number, value):
        return encoded(0x30, bytes.fromhex(PKCS9 + number) + encoded(0x31, value))

    def change(signed, fields):
        signed[3] = encoded(0xA0, content(signed[3]) + certificate)
        attributes = (attribute("03", bytes.fromhex("06092a864886f70d010701"))
                      + attribute("05", encoded(0x17, when.strftime("%y%m%d%H%M%SZ").encode()))
                      + attribute("04", encoded(0x04, hashlib.sha256(content(fields[5])).digest())))
        counter = encoded(0x30, bytes.fromhex("020101") + encoded(0x30, issuer + serial) + SHA256
                          + encoded(0xA0, attributes) + RSA_ENCRYPTION
                          + encoded(0x04, sign(key, encoded(0x31, attributes), cwd)))
        fields[6:] = [encoded(0xA1, attribute("06", counter))]
    return edited(image, change)
