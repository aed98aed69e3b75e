#include "builder/signing/Authenticode.h"

#include "builder/base/Hex.h"
#include "builder/base/TextRules.h"
#include "builder/pe/PeChecksum.h"
#include "builder/pe/PeImage.h"
#include "builder/platform/Platform.h"
#include "builder/signing/Certificate.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <optional>

namespace signing {

namespace {

using der::Element;
using der::Malformed;
using der::Reader;
using platform::HashKind;

const Bytes kSignedData = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x02};
const Bytes kData = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x01};
const Bytes kContentType = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x09, 0x03};
const Bytes kMessageDigest = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x09, 0x04};
const Bytes kSigningTime = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x09, 0x05};
const Bytes kCounterSignature = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x09, 0x06};
const Bytes kTstInfo = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x09, 0x10, 0x01, 0x04};
const Bytes kSpcIndirectData = {0x2B, 0x06, 0x01, 0x04, 0x01, 0x82, 0x37, 0x02, 0x01, 0x04};
const Bytes kSpcPeImageData = {0x2B, 0x06, 0x01, 0x04, 0x01, 0x82, 0x37, 0x02, 0x01, 0x0F};
const Bytes kNestedSignature = {0x2B, 0x06, 0x01, 0x04, 0x01, 0x82, 0x37, 0x02, 0x04, 0x01};
const Bytes kRfc3161 = {0x2B, 0x06, 0x01, 0x04, 0x01, 0x82, 0x37, 0x03, 0x03, 0x01};

// What a signature may hold, each far above what signtool or osslsigncode
// write (a chain of three or four, a dual signature, one time stamp each):
// a hostile table costs a bounded number of parses and key operations.
constexpr std::uint32_t kMostTableBytes = 1u << 20;
constexpr std::size_t kMostCertificates = 32;
constexpr std::size_t kMostAttributes = 32;
constexpr std::size_t kMostNestedSignatures = 7;
constexpr std::size_t kMostChainLength = 10;
constexpr std::size_t kChunk = 1 << 20;
constexpr std::uint16_t kCertificateRevision2 = 0x0200;
constexpr std::uint16_t kPkcsSignedData = 0x0002;

// A signature that is well formed but does not hold: what() says why.
struct NotVerified : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct SignerInfo {
  std::optional<Element> issuer; // by issuer and serial number ...
  Bytes serial;
  Bytes keyId; // ... or by subject key identifier
  Element digestAlgorithm;
  std::optional<Element> signedAttributes;
  Element signatureAlgorithm;
  Bytes signature;
  std::optional<Element> unsignedAttributes;
};

struct SignedData {
  Element contentType;
  Element content; // what [0] EXPLICIT holds
  std::vector<Certificate> certificates;
  SignerInfo signer;
};

using Attributes = std::vector<std::pair<Element, std::vector<Element>>>;

Attributes ReadAttributes(const Element &set, bool distinct) {
  Attributes attributes;
  Reader list(set);
  while (!list.AtEnd()) {
    if (attributes.size() == kMostAttributes)
      throw Malformed("a signer has more than " + std::to_string(kMostAttributes) + " attributes");
    Reader attribute(list.Expect(der::kSequence, "an attribute"));
    const Element type = attribute.Expect(der::kOid, "an attribute type");
    Reader values(attribute.Expect(der::kSet, "an attribute's values"));
    attribute.ExpectEnd("an attribute");
    std::vector<Element> read;
    while (!values.AtEnd() && read.size() < kMostAttributes)
      read.push_back(values.Next());
    if (!values.AtEnd())
      throw Malformed("an attribute has more than " + std::to_string(kMostAttributes) + " values");
    if (distinct)
      for (const auto &[other, _] : attributes)
        if (other.Whole() == type.Whole())
          throw Malformed("a signed attribute is there twice");
    attributes.emplace_back(type, read);
  }
  return attributes;
}

// The one value of a signed attribute, or nothing.
std::optional<Element> Single(const Attributes &attributes, const Bytes &type) {
  for (const auto &[name, values] : attributes)
    if (name.Is(type)) {
      if (values.size() != 1)
        throw Malformed("a signed attribute holds other than one value");
      return values[0];
    }
  return std::nullopt;
}

SignerInfo ReadSignerInfo(const Element &element) {
  SignerInfo info;
  Reader signer(element);
  signer.Expect(der::kInteger, "a signer version");
  if (const auto byKey = signer.Optional(der::kImplicit0)) {
    info.keyId = byKey->Content();
  } else {
    Reader issuerAndSerial(signer.Expect(der::kSequence, "the signer's issuer and serial number"));
    info.issuer = issuerAndSerial.Expect(der::kSequence, "the signer's issuer");
    info.serial = issuerAndSerial.Expect(der::kInteger, "the signer's serial number").Content();
    issuerAndSerial.ExpectEnd("the signer's issuer and serial number");
  }
  info.digestAlgorithm = signer.Expect(der::kSequence, "the signer's digest algorithm");
  info.signedAttributes = signer.Optional(der::kContext0);
  info.signatureAlgorithm = signer.Expect(der::kSequence, "the signer's signature algorithm");
  info.signature = signer.Expect(der::kOctetString, "the signer's signature").Content();
  info.unsignedAttributes = signer.Optional(der::kContext1);
  signer.ExpectEnd("a signer info");
  return info;
}

// A ContentInfo of SignedData with one signer, as Authenticode and RFC 3161
// tokens both have it.
SignedData ReadSignedData(const Element &contentInfo) {
  Reader info(contentInfo);
  if (!info.Expect(der::kOid, "a content type").Is(kSignedData))
    throw Malformed("it holds no PKCS#7 signed data");
  Reader explicitContent(info.Expect(der::kContext0, "signed data"));
  info.ExpectEnd("a content info");
  Reader signedData(explicitContent.Expect(der::kSequence, "signed data"));
  explicitContent.ExpectEnd("signed data");
  SignedData data;
  signedData.Expect(der::kInteger, "a version");
  signedData.Expect(der::kSet, "digest algorithms");
  Reader encapsulated(signedData.Expect(der::kSequence, "signed content"));
  data.contentType = encapsulated.Expect(der::kOid, "a signed content type");
  Reader wrapped(encapsulated.Expect(der::kContext0, "signed content"));
  data.content = wrapped.Next();
  wrapped.ExpectEnd("signed content");
  encapsulated.ExpectEnd("signed content");
  if (const auto certificates = signedData.Optional(der::kContext0)) {
    Reader list(*certificates);
    while (!list.AtEnd()) {
      const Element certificate = list.Next();
      if (certificate.tag != der::kSequence)
        continue; // an attribute certificate or another kind
      if (data.certificates.size() == kMostCertificates)
        throw Malformed("it carries more than " + std::to_string(kMostCertificates) +
                        " certificates");
      data.certificates.push_back(ReadCertificate(certificate));
    }
  }
  signedData.Optional(der::kContext1); // revocation lists
  Reader signers(signedData.Expect(der::kSet, "signer infos"));
  signedData.ExpectEnd("signed data");
  data.signer = ReadSignerInfo(signers.Expect(der::kSequence, "a signer info"));
  if (!signers.AtEnd())
    throw Malformed("it has more than one signer, which Authenticode does not allow");
  return data;
}

const Certificate &SignerCertificate(const SignerInfo &signer,
                                     const std::vector<const Certificate *> &certificates) {
  for (const Certificate *certificate : certificates) {
    if (signer.issuer
            ? certificate->issuer == signer.issuer->Whole() && certificate->serial == signer.serial
            : !signer.keyId.empty() && certificate->subjectKeyId == signer.keyId)
      return *certificate;
  }
  throw Malformed("it does not carry the signer's certificate");
}

// Checks that `signer` signed `content` (of `contentType`, when it must name
// one) with its certificate's key; returns the certificate.
const Certificate &VerifySigner(const SignerInfo &signer,
                                const std::vector<const Certificate *> &certificates,
                                const std::uint8_t *content, std::size_t contentSize,
                                const Bytes *contentType, const std::string &whose) {
  const Certificate &certificate = SignerCertificate(signer, certificates);
  const HashKind hash = HashOf(signer.digestAlgorithm);
  if (!signer.signedAttributes)
    throw Malformed(whose + " has no signed attributes");
  const Attributes attributes = ReadAttributes(*signer.signedAttributes, true);
  const auto type = Single(attributes, kContentType);
  if (contentType && (!type || !type->Is(*contentType)))
    throw Malformed(whose + " names another content type than it signs");
  const auto digest = Single(attributes, kMessageDigest);
  if (!digest || digest->tag != der::kOctetString)
    throw Malformed(whose + " has no message digest");
  if (digest->Content() != Hash(hash, content, contentSize))
    throw NotVerified(whose + "'s message digest is not the digest of what it signs");
  if (!certificate.key)
    throw Unsupported(certificate.keyProblem + " (" + certificate.subjectText + ")");
  // What is signed is the attributes' DER as a SET, not as the [0] they are
  // stored under.
  Bytes encoded = signer.signedAttributes->Whole();
  encoded[0] = der::kSet;
  if (!Verify(*certificate.key, signer.signatureAlgorithm, hash, Hash(hash, encoded),
              signer.signature))
    throw NotVerified(whose + "'s signature does not verify with the key of its certificate (" +
                      certificate.subjectText + ")");
  return certificate;
}

std::vector<const Certificate *> Pointers(const std::vector<Certificate> &certificates) {
  std::vector<const Certificate *> pointers;
  for (const Certificate &certificate : certificates)
    pointers.push_back(&certificate);
  return pointers;
}

// An RFC 3161 token over `signature`: its TSTInfo's imprint is the
// signature's digest, and its signer signed the TSTInfo.
void CheckToken(const Element &token, const SignedData &outer, const Bytes &signature,
                Stamp &stamp) {
  const SignedData data = ReadSignedData(token);
  if (!data.contentType.Is(kTstInfo) || data.content.tag != der::kOctetString)
    throw Malformed("its time stamp holds no time-stamp info");
  Reader octets(data.content);
  Reader info(octets.Expect(der::kSequence, "a time stamp's info"));
  octets.ExpectEnd("a time stamp's info");
  info.Expect(der::kInteger, "a time stamp's version");
  info.Expect(der::kOid, "a time stamp's policy");
  Reader imprint(info.Expect(der::kSequence, "a time stamp's message imprint"));
  const HashKind hash = HashOf(imprint.Expect(der::kSequence, "a time stamp's digest algorithm"));
  const Bytes stamped = imprint.Expect(der::kOctetString, "a time stamp's digest").Content();
  info.Expect(der::kInteger, "a time stamp's serial number");
  stamp.time = Time(info.Expect(der::kGeneralizedTime, "a time stamp's time"));
  std::vector<const Certificate *> certificates = Pointers(data.certificates);
  for (const Certificate *certificate : Pointers(outer.certificates))
    certificates.push_back(certificate);
  const Certificate &authority =
      SignerCertificate(data.signer, certificates); // named even if it does not verify
  stamp.signer = authority.subjectText;
  if (stamped != Hash(hash, signature))
    throw NotVerified("its time stamp is for another signature");
  VerifySigner(data.signer, certificates, data.content.content, data.content.size, &kTstInfo,
               "its time stamp");
}

// An Authenticode counter-signature over `signature`: a signer info whose
// message digest is the signature's digest.
void CheckCounterSignature(const Element &element, const SignedData &outer, const Bytes &signature,
                           Stamp &stamp) {
  const SignerInfo signer = ReadSignerInfo(element);
  if (!signer.signedAttributes)
    throw Malformed("its counter-signature has no signed attributes");
  const auto time = Single(ReadAttributes(*signer.signedAttributes, true), kSigningTime);
  if (!time)
    throw Malformed("its counter-signature carries no signing time");
  stamp.time = Time(*time);
  const std::vector<const Certificate *> certificates = Pointers(outer.certificates);
  stamp.signer = SignerCertificate(signer, certificates).subjectText;
  const auto attributes = ReadAttributes(*signer.signedAttributes, true);
  const auto type = Single(attributes, kContentType);
  VerifySigner(signer, certificates, signature.data(), signature.size(), type ? &kData : nullptr,
               "its counter-signature");
}

// The first time stamp among a signer's unsigned attributes, checked.
void CheckStamp(const Attributes &attributes, const SignedData &outer, Stamp &stamp) {
  for (const auto &[type, values] : attributes) {
    const bool token = type.Is(kRfc3161);
    if (!token && !type.Is(kCounterSignature))
      continue;
    stamp.kind = token ? Stamp::Kind::Rfc3161 : Stamp::Kind::CounterSignature;
    try {
      if (values.size() != 1 || values[0].tag != der::kSequence)
        throw Malformed("its time stamp is not one structure");
      if (token)
        CheckToken(values[0], outer, outer.signer.signature, stamp);
      else
        CheckCounterSignature(values[0], outer, outer.signer.signature, stamp);
    } catch (const Unsupported &error) {
      stamp.problem = std::string("it uses ") + error.what() + ", which makewizard does not check";
      stamp.unsupported = true;
    } catch (const std::runtime_error &error) {
      // Malformed or NotVerified: the time stamp does not hold.
      stamp.problem = error.what();
    }
    return;
  }
}

// What the file's digest must be for one signature.
struct Expected {
  HashKind hash;
  Bytes digest;
};

// "2026-03-01T12:34:56Z" of now.
std::string Now() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
#ifdef _WIN32
  gmtime_s(&utc, &now);
#else
  gmtime_r(&now, &utc);
#endif
  char text[24];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

// The chain from the signer's certificate up through the ones the signature
// carries, each issuer found by name and checked by its signature.
void ListChain(const Certificate &signer, const std::vector<const Certificate *> &certificates,
               const std::vector<Certificate> &trusted, SignerCheck &check) {
  const std::string at = check.stamp.kind != Stamp::Kind::None && check.stamp.problem.empty()
                             ? check.stamp.time
                             : Now();
  const Certificate *link = &signer;
  std::vector<const Certificate *> pool = certificates;
  for (const Certificate &root : trusted)
    pool.push_back(&root);
  while (check.chain.size() < kMostChainLength) {
    check.chain.push_back({link->subjectText, link->issuerText, link->notBefore, link->notAfter,
                           link->notBefore <= at && at <= link->notAfter});
    if (std::any_of(trusted.begin(), trusted.end(),
                    [&](const Certificate &root) { return root.whole == link->whole; })) {
      check.endsAtRoot = link->issuer == link->subject;
      check.untrusted.clear();
      return;
    }
    if (link->issuer == link->subject) {
      check.endsAtRoot = true;
      break;
    }
    const Certificate *issuer = nullptr;
    for (const Certificate *candidate : pool) {
      try {
        if (candidate != link && Issued(*candidate, *link)) {
          issuer = candidate;
          break;
        }
      } catch (const std::runtime_error &) {
        // A certificate signed some way makewizard does not check is no link.
      }
    }
    if (!issuer)
      break;
    link = issuer;
  }
  if (!trusted.empty())
    check.untrusted = check.endsAtRoot ? "it ends at a root that is not among those trusted"
                                       : "it ends below any root that is trusted";
}

// One Authenticode signature, primary or nested: everything but the file's
// own digest, which the caller compares.
SignerCheck CheckOne(const Element &contentInfo, bool nested,
                     const std::vector<Certificate> &trusted, std::vector<Expected> &expected,
                     std::vector<Element> *nestedOnes) {
  SignerCheck check;
  check.nested = nested;
  try {
    const SignedData data = ReadSignedData(contentInfo);
    if (!data.contentType.Is(kSpcIndirectData) || data.content.tag != der::kSequence)
      throw Malformed("it signs something other than a program's digest");
    Reader indirect(data.content);
    Reader attribute(indirect.Expect(der::kSequence, "the signed data's type"));
    if (!attribute.Expect(der::kOid, "the signed data's type").Is(kSpcPeImageData))
      throw Malformed("it signs something other than a program");
    Reader digestInfo(indirect.Expect(der::kSequence, "the signed digest"));
    indirect.ExpectEnd("the signed digest's content");
    const HashKind hash =
        HashOf(digestInfo.Expect(der::kSequence, "the signed digest's algorithm"));
    const Bytes signedDigest = digestInfo.Expect(der::kOctetString, "the signed digest").Content();
    if (signedDigest.size() != HashSize(hash))
      throw Malformed("the signed digest is not as long as a " + std::string(HashName(hash)) +
                      " digest");
    check.digest = HashName(hash);
    check.signedDigest = Hex(signedDigest);
    expected.push_back({hash, signedDigest});
    const std::vector<const Certificate *> certificates = Pointers(data.certificates);
    const Certificate &signer = SignerCertificate(data.signer, certificates);
    check.signer = signer.subjectText;
    check.certificateEnds = signer.notAfter;
    if (data.signer.unsignedAttributes) {
      const Attributes attributes = ReadAttributes(*data.signer.unsignedAttributes, false);
      CheckStamp(attributes, data, check.stamp);
      if (nestedOnes)
        for (const auto &[type, values] : attributes)
          if (type.Is(kNestedSignature))
            for (const Element &value : values) {
              if (nestedOnes->size() == kMostNestedSignatures)
                throw Malformed("it nests more than " + std::to_string(kMostNestedSignatures) +
                                " signatures");
              nestedOnes->push_back(value);
            }
    }
    // Authenticode signs the content's value, without its tag and length.
    VerifySigner(data.signer, certificates, data.content.content, data.content.size,
                 &kSpcIndirectData, "the signer");
    ListChain(signer, certificates, trusted, check);
  } catch (const Unsupported &error) {
    check.problem = std::string("it uses ") + error.what() + ", which makewizard does not check";
    check.unsupported = true;
  } catch (const NotVerified &error) {
    check.problem = error.what();
  } catch (const Malformed &error) {
    check.problem = std::string("it cannot be read (") + error.what() + ")";
  }
  if (check.problem.empty() && !check.stamp.problem.empty()) {
    check.problem = "its time stamp does not check out (" + check.stamp.problem + ")";
    check.unsupported = check.stamp.unsupported;
  }
  return check;
}

// Every digest the signatures need and the PE checksum, in one pass over
// the file: the image digest skips the checksum field and the certificate
// table's directory entry, and stops where the table starts.
struct FileDigests {
  std::vector<std::pair<HashKind, Bytes>> digests;
  bool checksumFits = false;
  const Bytes &Of(HashKind kind) const {
    return std::find_if(digests.begin(), digests.end(),
                        [&](const auto &digest) { return digest.first == kind; })
        ->second;
  }
};

// `kinds`: each digest needed, once.
FileDigests DigestFile(platform::File &file, const PeImage &image, std::uint64_t tableOffset,
                       const std::vector<HashKind> &kinds) {
  const std::uint64_t checksumAt = image.CheckSumOffset();
  const std::uint64_t entryAt = image.DirectoryEntryOffset(kSecurityDirectory);
  const std::uint64_t size = file.Size();
  std::vector<Hasher> hashers;
  for (const HashKind kind : kinds)
    hashers.emplace_back(kind);
  PeChecksum checksum;
  std::uint32_t stored = 0;
  Bytes chunk(kChunk);
  for (std::uint64_t at = 0; at < size;) {
    const std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, size - at));
    file.ReadAt(at, chunk.data(), length);
    // Each skipped field lies within the headers, in the first chunk.
    const auto hashed = [&](std::uint64_t from, std::uint64_t to) {
      from = std::max(from, at);
      to = std::min({to, at + length, tableOffset});
      if (from >= to)
        return;
      for (Hasher &hasher : hashers)
        hasher.Add(chunk.data() + (from - at), static_cast<std::size_t>(to - from));
    };
    hashed(0, checksumAt);
    hashed(checksumAt + 4, entryAt);
    hashed(entryAt + 8, size);
    if (at == 0) {
      stored = Le32(&chunk[checksumAt]);
      std::fill_n(chunk.begin() + static_cast<std::ptrdiff_t>(checksumAt), 4, 0);
    }
    checksum.Add(chunk.data(), length);
    at += length;
  }
  FileDigests digests;
  for (std::size_t i = 0; i < kinds.size(); ++i)
    digests.digests.emplace_back(kinds[i], hashers[i].Finish());
  digests.checksumFits = checksum.Finish() == stored;
  return digests;
}

std::string Counted(std::uint64_t count, const char *what) {
  return WithThousands(count) + (count == 1 ? " byte " : " bytes ") + what;
}

} // namespace

const char *VerdictKey(SignatureCheck::Verdict verdict) {
  switch (verdict) {
  case SignatureCheck::Verdict::Unsigned:
    return "unsigned";
  case SignatureCheck::Verdict::Holds:
    return "holds";
  case SignatureCheck::Verdict::ChangedAfterSigning:
    return "changed_after_signing";
  case SignatureCheck::Verdict::SignedForOtherContents:
    return "signed_for_other_contents";
  case SignatureCheck::Verdict::BytesOutside:
    return "bytes_outside_signature";
  case SignatureCheck::Verdict::Unchecked:
    return "not_checked";
  case SignatureCheck::Verdict::DoesNotVerify:
    break;
  }
  return "does_not_verify";
}

SignatureCheck CheckSignature(const std::string &path, const std::vector<Bytes> &trustedDer) {
  SignatureCheck check;
  platform::File file = platform::File::OpenRead(path);
  std::optional<PeImage> read;
  try {
    read.emplace(PeImage::Read(file));
  } catch (const NotAProgram &) {
    return check;
  }
  const PeImage &image = *read;
  const DataDirectory directory = image.Directory(kSecurityDirectory);
  if (!directory.size)
    return check;
  check.verdict = SignatureCheck::Verdict::DoesNotVerify;
  const std::uint64_t tableEnd = std::uint64_t(directory.virtualAddress) + directory.size;
  if (directory.size > kMostTableBytes || tableEnd > image.FileSize() ||
      directory.virtualAddress < image.EndOfSections()) {
    check.reason = directory.size > kMostTableBytes
                       ? "its certificate table is larger than 1 MiB, which no signature needs"
                   : tableEnd > image.FileSize()
                       ? "its certificate table runs past the end of the file"
                       : "its certificate table overlaps the program's sections";
    return check;
  }
  Bytes table(directory.size);
  file.ReadAt(directory.virtualAddress, table.data(), table.size());

  // WIN_CERTIFICATE: length, revision, type, then the PKCS#7 signed data.
  const std::uint32_t entryLength = table.size() >= 8 ? Le32(&table[0]) : 0;
  if (entryLength < 8 || entryLength > table.size()) {
    check.reason = "its certificate table is damaged";
    return check;
  }
  if (Le16(&table[4]) != kCertificateRevision2 || Le16(&table[6]) != kPkcsSignedData) {
    check.reason = "its certificate is of revision " + std::to_string(Le16(&table[4])) +
                   " and type " + std::to_string(Le16(&table[6])) +
                   ", not Authenticode's PKCS#7 signed data";
    return check;
  }
  std::vector<Certificate> trusted;
  for (const Bytes &der : trustedDer)
    trusted.push_back(ReadCertificate(Reader(der.data(), der.size()).Next()));
  check.trustChecked = !trusted.empty();
  std::vector<Expected> expected;
  std::vector<Element> nested;
  Element top;
  try {
    top = Reader(table.data() + 8, entryLength - 8).Expect(der::kSequence, "a content info");
  } catch (const Malformed &error) {
    check.reason = std::string("its signature cannot be read (") + error.what() + ")";
    return check;
  }
  check.signatures.push_back(CheckOne(top, false, trusted, expected, &nested));
  for (const Element &inner : nested)
    check.signatures.push_back(CheckOne(inner, true, trusted, expected, nullptr));

  // What lies past the signed data: up to 7 zero bytes pad the entry to 8.
  const std::uint64_t signedEnd = 8 + top.wholeSize;
  const std::uint64_t aligned = AlignUp<std::uint64_t>(signedEnd, 8);
  const auto nonZero = std::count_if(
      table.begin() + static_cast<std::ptrdiff_t>(signedEnd),
      table.begin() + static_cast<std::ptrdiff_t>(std::min<std::uint64_t>(aligned, table.size())),
      [](std::uint8_t byte) { return byte != 0; });
  if (nonZero)
    check.outside.push_back({"of data in the padding after the signature", std::uint64_t(nonZero)});
  if (table.size() > aligned)
    check.outside.push_back({"in the certificate table beyond the signature's 8-byte alignment",
                             table.size() - aligned});
  if (image.FileSize() > tableEnd)
    check.outside.push_back({"after the certificate table", image.FileSize() - tableEnd});

  // The file's own digests, where a signature could be read far enough.
  std::vector<HashKind> kinds;
  for (const Expected &wanted : expected)
    if (std::find(kinds.begin(), kinds.end(), wanted.hash) == kinds.end())
      kinds.push_back(wanted.hash);
  const FileDigests digests = DigestFile(file, image, directory.virtualAddress, kinds);
  const SignerCheck *mismatch = nullptr;
  for (std::size_t i = 0, e = 0; i < check.signatures.size(); ++i) {
    SignerCheck &signature = check.signatures[i];
    if (signature.signedDigest.empty())
      continue;
    const Expected &wanted = expected[e++];
    const Bytes &own = digests.Of(wanted.hash);
    signature.fileDigest = Hex(own);
    if (own != wanted.digest && !mismatch)
      mismatch = &signature;
  }
  const std::string which = [&](const SignerCheck &signature) {
    return signature.nested ? "its nested " + signature.digest + " signature" : "its signature";
  }(mismatch ? *mismatch : check.signatures[0]);
  if (mismatch) {
    const std::string told = "the file's " + mismatch->digest + " digest is " +
                             mismatch->fileDigest + ", " + which + " is for " +
                             mismatch->signedDigest;
    // The PE checksum covers every byte, the signature's too, and signing
    // tools set it last: bytes changed in place leave it wrong, while a
    // signature attached by a tool (or a change made with care) leaves it
    // right.
    if (!digests.checksumFits) {
      check.verdict = SignatureCheck::Verdict::ChangedAfterSigning;
      check.reason = "it was changed after it was signed: " + told;
    } else {
      check.verdict = SignatureCheck::Verdict::SignedForOtherContents;
      check.reason = "its signature was made for other contents (another file's signature "
                     "attached to it, or this file changed and its checksum made anew): " +
                     told;
    }
    return check;
  }
  if (!check.outside.empty()) {
    check.verdict = SignatureCheck::Verdict::BytesOutside;
    std::string list;
    for (std::size_t i = 0; i < check.outside.size(); ++i)
      list += (i == 0                          ? ""
               : i + 1 == check.outside.size() ? " and "
                                               : ", ") +
              Counted(check.outside[i].bytes, check.outside[i].what.c_str());
    check.reason = "it carries bytes no signature covers, which Windows refuses when it checks "
                   "certificate padding: " +
                   list;
    return check;
  }
  for (const SignerCheck &signature : check.signatures)
    if (!signature.problem.empty()) {
      const std::string whose =
          signature.nested ? "its nested " + signature.digest + " signature" : "its signature";
      if (signature.unsupported) {
        // Not damage makewizard has seen: a check it cannot make.
        check.verdict = SignatureCheck::Verdict::Unchecked;
        check.reason = "makewizard cannot check " + whose + ": " + signature.problem +
                       "; signtool verify /pa or osslsigncode verify can";
      } else {
        check.reason = whose + " does not hold: " + signature.problem;
      }
      return check;
    }
  check.verdict = SignatureCheck::Verdict::Holds;
  check.reason = "the signature checks out: the file is as " + check.signatures[0].signer +
                 " signed it (" + check.signatures[0].digest + ")";
  for (std::size_t i = 1; i < check.signatures.size(); ++i)
    check.reason += i == 1 ? ", and so does its nested " + check.signatures[i].digest + " signature"
                           : " and " + check.signatures[i].digest + " signature";
  return check;
}

} // namespace signing
