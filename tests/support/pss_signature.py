"""An Authenticode signature made again with RSA-PSS, which osslsigncode
cannot make: the signer's attributes signed anew by openssl with PSS
padding, and its signature algorithm named RSASSA-PSS (SHA-256, MGF1 with
SHA-256, the given salt length)."""
import struct
import subprocess

SHA256 = bytes.fromhex("300d06096086480165030402010500")
RSA_ENCRYPTION = bytes.fromhex("300d06092a864886f70d0101010500")


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
        _, content, stop = element(data, start)
        found.append((start, content, stop))
        start = stop
    return found


def encoded(tag, content):
    size = len(content)
    if size < 0x80:
        return bytes([tag, size]) + content
    count = (size.bit_length() + 7) // 8
    return bytes([tag, 0x80 | count]) + size.to_bytes(count, "big") + content


def resigned_with_pss(image, key, salt, cwd, named_salt=None):
    """`named_salt`: the salt length the parameters name, if not `salt`."""
    pe_at = struct.unpack_from("<I", image, 0x3C)[0]
    entry = pe_at + 24 + (112 if struct.unpack_from("<H", image, pe_at + 24)[0] == 0x20B else 96) + 8 * 4
    table_at = struct.unpack_from("<I", image, entry)[0]
    der = image[table_at + 8:]
    _, info_start, info_end = element(der, 0)
    content_type, explicit = parts(der, info_start, info_end)
    signed_data = element(der, explicit[1])
    signers = parts(der, signed_data[1], signed_data[2])[-1]
    signer = parts(der, signers[1], signers[2])[0]
    fields = [der[start:stop] for start, _, stop in parts(der, signer[1], signer[2])]
    # version, signer id, digest algorithm, [0] attributes, algorithm, signature
    attributes = b"\x31" + fields[3][1:]
    signature = subprocess.run(
        ["openssl", "dgst", "-sha256", "-sign", key, "-sigopt", "rsa_padding_mode:pss",
         "-sigopt", f"rsa_pss_saltlen:{salt}", "-sigopt", "rsa_mgf1_md:sha256"],
        input=attributes, capture_output=True, check=True, cwd=cwd).stdout
    assert fields[4] == RSA_ENCRYPTION, "osslsigncode named another signature algorithm"
    fields[4] = encoded(0x30, bytes.fromhex("06092a864886f70d01010a") + encoded(0x30, (
        encoded(0xA0, SHA256) + encoded(0xA1, encoded(0x30, bytes.fromhex("06092a864886f70d010108") + SHA256))
        + encoded(0xA2, encoded(0x02, bytes([named_salt or salt]))))))
    fields[5] = encoded(0x04, signature)
    new_data = der[signed_data[1]:signers[0]] + encoded(0x31, encoded(0x30, b"".join(fields)))
    new_info = encoded(0x30, der[content_type[0]:content_type[2]] + encoded(0xA0, encoded(0x30, new_data)))
    new_info += bytes(-len(new_info) % 8)
    out = bytearray(image[:table_at] + struct.pack("<IHH", 8 + len(new_info), 0x200, 2) + new_info)
    struct.pack_into("<I", out, entry + 4, 8 + len(new_info))
    return bytes(out)
