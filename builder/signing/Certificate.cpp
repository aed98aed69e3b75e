#include "builder/signing/Certificate.h"

#include "builder/base/Sha1.h"
#include "builder/base/Sha256.h"
#include "builder/base/Sha512.h"
#include "builder/base/Utf.h"

#include <algorithm>

namespace signing {

namespace {

using der::Element;
using der::Malformed;
using der::Reader;
using platform::HashKind;
using platform::PublicKey;
using platform::SignatureScheme;

const Bytes kSha1 = {0x2B, 0x0E, 0x03, 0x02, 0x1A};
const Bytes kSha256 = {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x01};
const Bytes kSha384 = {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x02};
const Bytes kSha512 = {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x03};
const Bytes kMd5 = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x02, 0x05};
// 1.2.840.113549.1.1.n: RSA and its signature algorithms.
const Bytes kRsa = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x01};
enum : std::uint8_t { kRsaEncryption = 1, kMgf1 = 8, kRsaPss = 10 };
const Bytes kEcPublicKey = {0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x02, 0x01};
const Bytes kP256 = {0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x03, 0x01, 0x07};
const Bytes kP384 = {0x2B, 0x81, 0x04, 0x00, 0x22};

// Each digest makewizard checks: its name, its size, its OID, the last
// number of its RSA signature algorithm (1.2.840.113549.1.1.n) and the OID
// of its ECDSA one.
struct HashInfo {
  HashKind kind;
  const char *name;
  std::size_t size;
  Bytes oid;
  std::uint8_t withRsa;
  Bytes withEcdsa;
};
const HashInfo kHashes[] = {
    {HashKind::Sha1, "SHA-1", 20, kSha1, 5, {0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x04, 0x01}},
    {HashKind::Sha256,
     "SHA-256",
     32,
     kSha256,
     11,
     {0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x04, 0x03, 0x02}},
    {HashKind::Sha384,
     "SHA-384",
     48,
     kSha384,
     12,
     {0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x04, 0x03, 0x03}},
    {HashKind::Sha512,
     "SHA-512",
     64,
     kSha512,
     13,
     {0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x04, 0x03, 0x04}},
};

const HashInfo &InfoOf(HashKind kind) {
  return *std::find_if(std::begin(kHashes), std::end(kHashes),
                       [&](const HashInfo &info) { return info.kind == kind; });
}
// String types the DER reader does not name.
enum : std::uint8_t { kUniversalString = 0x1C, kBmpString = 0x1E };
const Bytes kCommonName = {0x55, 0x04, 0x03};
const Bytes kOrganisation = {0x55, 0x04, 0x0A};
const Bytes kSubjectKeyId = {0x55, 0x1D, 0x0E};
// RSA keys above these are refused: a key of the file's choosing must not
// cost more than a moment to check (a real exponent is 65537).
constexpr std::size_t kMostModulusBytes = 16384 / 8;
constexpr std::size_t kMostExponentBytes = 8;

Bytes Rsa(std::uint8_t last) {
  Bytes oid = kRsa;
  oid.push_back(last);
  return oid;
}

bool IsRsa(const Element &oid, std::uint8_t last) { return oid.Is(Rsa(last)); }

// The OID as dotted numbers, for naming an algorithm makewizard does not know.
std::string Dotted(const Element &oid) {
  std::string text;
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < oid.size && i < 64; ++i) {
    value = value << 7 | (oid.content[i] & 0x7F);
    if (oid.content[i] & 0x80)
      continue;
    if (text.empty())
      text = value < 80 ? std::to_string(value / 40) + "." + std::to_string(value % 40)
                        : "2." + std::to_string(value - 80);
    else
      text += "." + std::to_string(value);
    value = 0;
  }
  return text;
}

using der::Reader;
using Unreadable = der::Malformed;

std::string Text(const Element &value) {
  const std::string bytes(value.content, value.content + value.size);
  std::u32string text;
  if (value.tag == kBmpString) {
    std::u16string units;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
      units.push_back(static_cast<char16_t>(value.content[i] << 8 | value.content[i + 1]));
    return Utf16ToUtf8(units);
  }
  if (value.tag == kUniversalString) {
    for (std::size_t i = 0; i + 3 < bytes.size(); i += 4) {
      const char32_t code = char32_t(value.content[i]) << 24 |
                            char32_t(value.content[i + 1]) << 16 |
                            char32_t(value.content[i + 2]) << 8 | value.content[i + 3];
      text.push_back(code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF) ? code : 0xFFFD);
    }
    return EncodeUtf8(text);
  }
  // UTF8String, PrintableString, IA5String; anything else that is not
  // UTF-8 (TeletexString, mostly) read as Latin-1.
  if (!Utf8Error(bytes))
    return bytes;
  for (const char c : bytes)
    text.push_back(static_cast<unsigned char>(c));
  return EncodeUtf8(text);
}

// "common name, organisation" of a Name, or what it has of them.
std::string NameText(const Element &name) {
  const NameParts parts = ReadName(name);
  if (parts.commonName.empty())
    return parts.organisation.empty() ? "a certificate without a common name" : parts.organisation;
  return parts.organisation.empty() || parts.organisation == parts.commonName
             ? parts.commonName
             : parts.commonName + ", " + parts.organisation;
}

void ReadKey(const Element &info, Certificate &certificate) {
  Reader spki(info);
  Reader algorithm(spki.Expect(der::kSequence, "a key's algorithm"));
  const Element type = algorithm.Expect(der::kOid, "a key's algorithm");
  const Element bits = der::Bits(spki.Expect(der::kBitString, "a key"), "a key");
  PublicKey key;
  key.subjectPublicKeyInfo = info.Whole();
  if (IsRsa(type, kRsaEncryption)) {
    Reader numbers(Reader(bits).Expect(der::kSequence, "an RSA key"));
    key.kind = PublicKey::Kind::Rsa;
    key.modulus = der::Unsigned(numbers.Expect(der::kInteger, "an RSA modulus"), "an RSA modulus");
    key.exponent =
        der::Unsigned(numbers.Expect(der::kInteger, "an RSA exponent"), "an RSA exponent");
    if (key.modulus.size() > kMostModulusBytes) {
      certificate.keyProblem = "an RSA key longer than 16,384 bits";
      return;
    }
    if (key.exponent.size() > kMostExponentBytes) {
      certificate.keyProblem = "an RSA key whose exponent is longer than 64 bits";
      return;
    }
  } else if (type.Is(kEcPublicKey)) {
    const Element curve = algorithm.Expect(der::kOid, "a key's curve");
    std::size_t size = 0;
    if (curve.Is(kP256)) {
      key.kind = PublicKey::Kind::EcP256;
      size = 32;
    } else if (curve.Is(kP384)) {
      key.kind = PublicKey::Kind::EcP384;
      size = 48;
    } else {
      certificate.keyProblem = "a key on the curve " + Dotted(curve) + " (not P-256 or P-384)";
      return;
    }
    // Uncompressed: 04, X, Y.
    if (bits.size != 1 + 2 * size || bits.content[0] != 0x04) {
      certificate.keyProblem = "an elliptic-curve key that is not an uncompressed point";
      return;
    }
    key.x.assign(bits.content + 1, bits.content + 1 + size);
    key.y.assign(bits.content + 1 + size, bits.content + 1 + 2 * size);
  } else {
    certificate.keyProblem = "a key of the algorithm " + Dotted(type);
    return;
  }
  certificate.key = key;
}

void ReadExtensions(const Element &explicitExtensions, Certificate &certificate) {
  Reader outer(explicitExtensions);
  Reader extensions(outer.Expect(der::kSequence, "a certificate's extensions"));
  while (!extensions.AtEnd()) {
    Reader extension(extensions.Expect(der::kSequence, "a certificate extension"));
    const Element type = extension.Expect(der::kOid, "a certificate extension's type");
    extension.Optional(der::kBoolean); // critical
    const Element value = extension.Expect(der::kOctetString, "a certificate extension's value");
    if (type.Is(kSubjectKeyId))
      certificate.subjectKeyId =
          Reader(value).Expect(der::kOctetString, "a subject key identifier").Content();
  }
}

// r and s of a DER ECDSA-Sig-Value, each padded to the curve's size.
Bytes EcdsaPair(const Bytes &signature, std::size_t size) {
  Reader outer(signature.data(), signature.size());
  Reader pair(outer.Expect(der::kSequence, "an ECDSA signature"));
  outer.ExpectEnd("an ECDSA signature");
  Bytes out;
  for (const char *what : {"an ECDSA signature's r", "an ECDSA signature's s"}) {
    const Bytes number = der::Unsigned(pair.Expect(der::kInteger, what), what);
    if (number.size() > size)
      throw Malformed(std::string(what) + " is longer than its curve allows");
    out.insert(out.end(), size - number.size(), 0);
    out.insert(out.end(), number.begin(), number.end());
  }
  pair.ExpectEnd("an ECDSA signature");
  return out;
}

HashKind PssHash(const Element &algorithm) {
  return algorithm.tag == der::kSequence ? HashOf(algorithm) : HashKind::Sha1;
}

// The scheme of a signature algorithm, whose hash must be `hash`.
SignatureScheme SchemeOf(const der::Element &algorithmIdentifier, HashKind hash,
                         const PublicKey &key) {
  Reader algorithm(algorithmIdentifier);
  const Element type = algorithm.Expect(der::kOid, "a signature algorithm");
  SignatureScheme scheme;
  scheme.hash = hash;
  std::optional<HashKind> named;
  const bool rsaKey = key.kind == PublicKey::Kind::Rsa;
  const HashInfo *withRsa = nullptr, *withEcdsa = nullptr;
  for (const HashInfo &info : kHashes) {
    withRsa = IsRsa(type, info.withRsa) ? &info : withRsa;
    withEcdsa = type.Is(info.withEcdsa) ? &info : withEcdsa;
  }
  if (IsRsa(type, kRsaEncryption) || withRsa) {
    scheme.padding = SignatureScheme::Padding::Pkcs1;
    if (withRsa)
      named = withRsa->kind;
  } else if (IsRsa(type, kRsaPss)) {
    // RSASSA-PSS-params: [0] hash (SHA-1), [1] mask (MGF1 with SHA-1),
    // [2] salt length (20), [3] trailer (1).
    scheme.padding = SignatureScheme::Padding::Pss;
    Reader params(algorithm.Expect(der::kSequence, "the RSA-PSS parameters"));
    named = HashKind::Sha1;
    HashKind mask = HashKind::Sha1;
    std::uint64_t salt = 20;
    if (const auto field = params.Optional(der::kContext0))
      named = PssHash(Reader(*field).Expect(der::kSequence, "the RSA-PSS hash"));
    if (const auto field = params.Optional(der::kContext1)) {
      Reader generator(Reader(*field).Expect(der::kSequence, "the RSA-PSS mask"));
      if (!IsRsa(generator.Expect(der::kOid, "the RSA-PSS mask"), kMgf1))
        throw Unsupported("an RSA-PSS mask other than MGF1");
      mask = PssHash(generator.Expect(der::kSequence, "the RSA-PSS mask's hash"));
    }
    if (const auto field = params.Optional(der::kContext2)) {
      const Bytes length =
          der::Unsigned(Reader(*field).Expect(der::kInteger, "the RSA-PSS salt length"),
                        "the RSA-PSS salt length");
      if (length.size() > 2)
        throw Malformed("the RSA-PSS salt length is larger than any key");
      salt = 0;
      for (const std::uint8_t byte : length)
        salt = salt << 8 | byte;
    }
    if (const auto field = params.Optional(der::kContext3))
      if (der::Unsigned(Reader(*field).Expect(der::kInteger, "the RSA-PSS trailer"),
                        "the RSA-PSS trailer") != Bytes{1})
        throw Unsupported("an RSA-PSS trailer other than 0xBC");
    params.ExpectEnd("the RSA-PSS parameters");
    if (mask != *named)
      throw Unsupported("RSA-PSS with a mask hash other than its hash");
    scheme.saltLength = static_cast<std::size_t>(salt);
  } else if (type.Is(kEcPublicKey) || withEcdsa) {
    scheme.padding = SignatureScheme::Padding::Ecdsa;
    if (withEcdsa)
      named = withEcdsa->kind;
  } else {
    throw Unsupported("the signature algorithm " + Dotted(type));
  }
  if (named && *named != hash)
    throw Malformed("its signature algorithm names another digest than its signer");
  if (rsaKey != (scheme.padding != SignatureScheme::Padding::Ecdsa))
    throw Malformed("its signature algorithm does not fit its key");
  return scheme;
}

// The hash a certificate's signature algorithm names.
HashKind HashOfSignatureAlgorithm(const Element &algorithmIdentifier) {
  Reader algorithm(algorithmIdentifier);
  const Element type = algorithm.Expect(der::kOid, "a signature algorithm");
  for (const HashInfo &info : kHashes)
    if (IsRsa(type, info.withRsa) || type.Is(info.withEcdsa))
      return info.kind;
  if (IsRsa(type, kRsaPss)) {
    Reader params(algorithm.Expect(der::kSequence, "the RSA-PSS parameters"));
    if (const auto field = params.Optional(der::kContext0))
      return PssHash(Reader(*field).Expect(der::kSequence, "the RSA-PSS hash"));
    return HashKind::Sha1;
  }
  throw Unsupported("the signature algorithm " + Dotted(type));
}

} // namespace

NameParts ReadName(const Element &name) {
  NameParts parts;
  Reader names(name);
  while (!names.AtEnd()) {
    Reader set(names.Expect(der::kSet, "a relative distinguished name"));
    while (!set.AtEnd()) {
      Reader attribute(set.Expect(der::kSequence, "a name's attribute"));
      const Element type = attribute.Expect(der::kOid, "a name's attribute type");
      const Element value = attribute.Next();
      if (type.Is(kCommonName) && parts.commonName.empty())
        parts.commonName = Text(value);
      else if (type.Is(kOrganisation) && parts.organisation.empty())
        parts.organisation = Text(value);
    }
  }
  return parts;
}

std::string Time(const Element &time) {
  std::string digits(time.content, time.content + time.size);
  if (time.tag == der::kUtcTime && digits.size() == 13) {
    // Two-digit years: 50 to 99 are 1950 to 1999 (RFC 5280).
    digits.insert(0, digits < "50" ? "20" : "19");
  } else if (time.tag != der::kGeneralizedTime || digits.size() < 15) {
    throw Malformed("a time is not UTCTime or GeneralizedTime");
  }
  const bool fraction = digits.size() > 15 && digits[14] == '.';
  if (digits.back() != 'Z' || (digits.size() != 15 && !fraction))
    throw Malformed("a time is not in UTC");
  for (std::size_t i = 0; i < 14; ++i)
    if (digits[i] < '0' || digits[i] > '9')
      throw Malformed("a time holds more than digits");
  return digits.substr(0, 4) + "-" + digits.substr(4, 2) + "-" + digits.substr(6, 2) + "T" +
         digits.substr(8, 2) + ":" + digits.substr(10, 2) + ":" + digits.substr(12, 2) + "Z";
}

HashKind HashOf(const Element &algorithmIdentifier) {
  Reader algorithm(algorithmIdentifier);
  const Element type = algorithm.Expect(der::kOid, "a digest algorithm");
  for (const HashInfo &info : kHashes)
    if (type.Is(info.oid))
      return info.kind;
  throw Unsupported(type.Is(kMd5) ? "MD5" : "the digest algorithm " + Dotted(type));
}

const char *HashName(HashKind hash) { return InfoOf(hash).name; }
std::size_t HashSize(HashKind hash) { return InfoOf(hash).size; }

Hasher::Hasher(HashKind kind) : kind_(kind), sha512_(kind == HashKind::Sha384) {}

void Hasher::Add(const std::uint8_t *data, std::size_t size) {
  switch (kind_) {
  case HashKind::Sha1:
    return sha1_.Add(data, size);
  case HashKind::Sha256:
    return sha256_.Add(data, size);
  case HashKind::Sha384:
  case HashKind::Sha512:
    return sha512_.Add(data, size);
  }
}

Bytes Hasher::Finish() {
  switch (kind_) {
  case HashKind::Sha1: {
    const Sha1Digest digest = sha1_.Finish();
    return Bytes(digest.begin(), digest.end());
  }
  case HashKind::Sha256: {
    const Digest digest = sha256_.Finish();
    return Bytes(digest.begin(), digest.end());
  }
  case HashKind::Sha384:
  case HashKind::Sha512:
    break;
  }
  return sha512_.Finish();
}

Bytes Hash(HashKind hash, const std::uint8_t *data, std::size_t size) {
  Hasher hasher(hash);
  hasher.Add(data, size);
  return hasher.Finish();
}

Certificate ReadCertificate(const Element &element) {
  Certificate certificate;
  certificate.whole = element.Whole();
  Reader outer(element);
  const Element tbs = outer.Expect(der::kSequence, "a certificate's body");
  certificate.signatureAlgorithm =
      outer.Expect(der::kSequence, "a certificate's signature algorithm").Whole();
  certificate.signature = der::Bits(outer.Expect(der::kBitString, "a certificate's signature"),
                                    "a certificate's signature")
                              .Content();
  outer.ExpectEnd("a certificate");
  certificate.tbs = tbs.Whole();
  Reader body(tbs);
  body.Optional(der::kContext0); // version
  certificate.serial = body.Expect(der::kInteger, "a certificate serial number").Content();
  body.Expect(der::kSequence, "a certificate's signature algorithm");
  const Element issuer = body.Expect(der::kSequence, "a certificate issuer");
  Reader validity(body.Expect(der::kSequence, "a certificate validity"));
  const Element subject = body.Expect(der::kSequence, "a certificate subject");
  const Element key = body.Expect(der::kSequence, "a certificate's key");
  body.Optional(0x81); // issuer unique identifier
  body.Optional(0x82); // subject unique identifier
  if (const auto extensions = body.Optional(der::kContext3))
    ReadExtensions(*extensions, certificate);
  body.ExpectEnd("a certificate's body");
  certificate.issuer = issuer.Whole();
  certificate.subject = subject.Whole();
  certificate.issuerText = NameText(issuer);
  certificate.subjectText = NameText(subject);
  certificate.notBefore = Time(validity.Next());
  certificate.notAfter = Time(validity.Next());
  validity.ExpectEnd("a certificate validity");
  ReadKey(key, certificate);
  return certificate;
}

bool Verify(const PublicKey &key, const Element &signatureAlgorithm, HashKind hash,
            const Bytes &digest, const Bytes &signature) {
  const SignatureScheme scheme = SchemeOf(signatureAlgorithm, hash, key);
  if (scheme.padding != SignatureScheme::Padding::Ecdsa)
    return platform::VerifySignature(key, scheme, digest, signature);
  return platform::VerifySignature(key, scheme, digest, EcdsaPair(signature, key.x.size()));
}

bool Issued(const Certificate &issuer, const Certificate &certificate) {
  if (issuer.subject != certificate.issuer || !issuer.key)
    return false;
  const Element algorithm =
      Reader(certificate.signatureAlgorithm.data(), certificate.signatureAlgorithm.size()).Next();
  const HashKind hash = HashOfSignatureAlgorithm(algorithm);
  return Verify(*issuer.key, algorithm, hash, Hash(hash, certificate.tbs), certificate.signature);
}

} // namespace signing
