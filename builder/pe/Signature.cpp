#include "builder/pe/Signature.h"

#include "builder/base/Utf.h"

#include <optional>
#include <stdexcept>

namespace {

enum : std::uint8_t {
  kInteger = 0x02,
  kOctetString = 0x04,
  kOid = 0x06,
  kUtcTime = 0x17,
  kGeneralizedTime = 0x18,
  kUniversalString = 0x1C,
  kBmpString = 0x1E,
  kSequence = 0x30,
  kSet = 0x31,
  kContext0 = 0xA0,
  kContext1 = 0xA1,
};

const Bytes kSignedData = {0x2A, 0x86, 0x48, 0x86, 0xF7,
                           0x0D, 0x01, 0x07, 0x02}; // 1.2.840.113549.1.7.2
const Bytes kTstInfo = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D,
                        0x01, 0x09, 0x10, 0x01, 0x04}; // 1.2.840.113549.1.9.16.1.4
const Bytes kRfc3161 = {0x2B, 0x06, 0x01, 0x04, 0x01,
                        0x82, 0x37, 0x03, 0x03, 0x01}; // 1.3.6.1.4.1.311.3.3.1
const Bytes kCounterSignature = {0x2A, 0x86, 0x48, 0x86, 0xF7,
                                 0x0D, 0x01, 0x09, 0x06}; // 1.2.840.113549.1.9.6
const Bytes kSigningTime = {0x2A, 0x86, 0x48, 0x86, 0xF7,
                            0x0D, 0x01, 0x09, 0x05}; // 1.2.840.113549.1.9.5
const Bytes kCommonName = {0x55, 0x04, 0x03};        // 2.5.4.3
const Bytes kOrganisation = {0x55, 0x04, 0x0A};      // 2.5.4.10

struct Unreadable : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// One element: its tag, its content, and the whole encoding (for comparing
// names byte for byte).
struct Element {
  std::uint8_t tag = 0;
  const std::uint8_t *content = nullptr;
  std::size_t size = 0;
  const std::uint8_t *whole = nullptr;
  std::size_t wholeSize = 0;
  Bytes Content() const { return Bytes(content, content + size); }
  Bytes Whole() const { return Bytes(whole, whole + wholeSize); }
};

// The elements one after another in a span of DER.
class Der {
public:
  Der(const std::uint8_t *data, std::size_t size) : at_(data), end_(data + size) {}
  explicit Der(const Element &element) : Der(element.content, element.size) {}
  bool AtEnd() const { return at_ == end_; }

  Element Next() {
    Element element;
    element.whole = at_;
    if (end_ - at_ < 2)
      throw Unreadable("an element is cut short");
    element.tag = *at_++;
    if ((element.tag & 0x1F) == 0x1F)
      throw Unreadable("an element has a tag number beyond 30");
    std::size_t length = *at_++;
    if (length & 0x80) {
      const int bytes = length & 0x7F;
      // 0x80 would be BER's indefinite length, which DER does not allow.
      if (bytes == 0 || bytes > 4 || end_ - at_ < bytes)
        throw Unreadable("an element's length is not DER");
      length = 0;
      for (int i = 0; i < bytes; ++i)
        length = length << 8 | *at_++;
    }
    if (length > static_cast<std::size_t>(end_ - at_))
      throw Unreadable("an element runs past its container");
    element.content = at_;
    element.size = length;
    at_ += length;
    element.wholeSize = static_cast<std::size_t>(at_ - element.whole);
    return element;
  }

  Element Expect(std::uint8_t tag, const char *what) {
    const Element element = Next();
    if (element.tag != tag)
      throw Unreadable(std::string("it lacks ") + what);
    return element;
  }

  std::optional<Element> Optional(std::uint8_t tag) {
    if (AtEnd() || *at_ != tag)
      return std::nullopt;
    return Next();
  }

private:
  const std::uint8_t *at_;
  const std::uint8_t *end_;
};

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

// The subject's common name and organisation, from a Name.
void ReadSubject(const Element &name, Signature &signature) {
  Der names(name);
  while (!names.AtEnd()) {
    Der set(names.Expect(kSet, "a relative distinguished name"));
    while (!set.AtEnd()) {
      Der attribute(set.Expect(kSequence, "an attribute"));
      const Bytes type = attribute.Expect(kOid, "an attribute type").Content();
      const Element value = attribute.Next();
      if (type == kCommonName && signature.commonName.empty())
        signature.commonName = Text(value);
      else if (type == kOrganisation && signature.organisation.empty())
        signature.organisation = Text(value);
    }
  }
}

// Whether a certificate is the one SignerInfo names by issuer and serial
// number (Authenticode names the signer no other way); its subject if so.
bool Matches(Der tbs, const Bytes &issuer, const Bytes &serial, Element &validity,
             Element &subject) {
  tbs.Optional(kContext0); // version
  const Bytes ownSerial = tbs.Expect(kInteger, "a certificate serial number").Content();
  tbs.Expect(kSequence, "a certificate signature algorithm");
  const Bytes ownIssuer = tbs.Expect(kSequence, "a certificate issuer").Whole();
  validity = tbs.Expect(kSequence, "a certificate validity");
  subject = tbs.Expect(kSequence, "a certificate subject");
  return ownIssuer == issuer && ownSerial == serial;
}

// A UTCTime or GeneralizedTime in UTC as 2026-03-01T12:34:56Z (fractions
// of a second dropped).
std::string Time(const Element &time) {
  std::string digits(time.content, time.content + time.size);
  if (time.tag == kUtcTime && digits.size() == 13) {
    // Two-digit years: 50 to 99 are 1950 to 1999 (RFC 5280).
    digits.insert(0, digits < "50" ? "20" : "19");
  } else if (time.tag != kGeneralizedTime || digits.size() < 15) {
    throw Unreadable("a time is not UTCTime or GeneralizedTime");
  }
  const bool fraction = digits.size() > 15 && digits[14] == '.';
  if (digits.back() != 'Z' || (digits.size() != 15 && !fraction))
    throw Unreadable("a time is not in UTC");
  for (std::size_t i = 0; i < 14; ++i)
    if (digits[i] < '0' || digits[i] > '9')
      throw Unreadable("a time holds more than digits");
  return digits.substr(0, 4) + "-" + digits.substr(4, 2) + "-" + digits.substr(6, 2) + "T" +
         digits.substr(8, 2) + ":" + digits.substr(10, 2) + ":" + digits.substr(12, 2) + "Z";
}

// The SignedData of a ContentInfo, read up to its encapsulated content:
// the signature's own, and an RFC 3161 token's.
Der SignedDataOf(Der contentInfo) {
  if (contentInfo.Expect(kOid, "a content type").Content() != kSignedData)
    throw Unreadable("it holds no PKCS#7 signed data");
  Der explicitContent(contentInfo.Expect(kContext0, "signed data"));
  Der signedData(explicitContent.Expect(kSequence, "signed data"));
  signedData.Expect(kInteger, "a version");
  signedData.Expect(kSet, "digest algorithms");
  return signedData;
}

// The time an RFC 3161 token gives: a ContentInfo holding SignedData that
// encapsulates TSTInfo, whose fifth field is genTime.
std::string TokenTime(const Element &token) {
  Der signedData = SignedDataOf(Der(token));
  Der encapsulated(signedData.Expect(kSequence, "a time stamp's content"));
  if (encapsulated.Expect(kOid, "a time stamp's content type").Content() != kTstInfo)
    throw Unreadable("its time stamp holds no time-stamp info");
  Der wrapped(encapsulated.Expect(kContext0, "a time stamp's info"));
  Der octets(wrapped.Expect(kOctetString, "a time stamp's info"));
  Der info(octets.Expect(kSequence, "a time stamp's info"));
  info.Expect(kInteger, "a time stamp's version");
  info.Expect(kOid, "a time stamp's policy");
  info.Expect(kSequence, "a time stamp's message imprint");
  info.Expect(kInteger, "a time stamp's serial number");
  return Time(info.Expect(kGeneralizedTime, "a time stamp's time"));
}

// The signing time of an Authenticode counter-signature: a SignerInfo
// whose authenticated attributes hold it.
std::string CounterSignatureTime(const Element &signerInfo) {
  Der signer(signerInfo);
  signer.Expect(kInteger, "a counter-signature's version");
  signer.Expect(kSequence, "a counter-signer's issuer and serial number");
  signer.Expect(kSequence, "a counter-signature's digest algorithm");
  Der attributes(signer.Expect(kContext0, "a counter-signature's attributes"));
  while (!attributes.AtEnd()) {
    Der attribute(attributes.Expect(kSequence, "a counter-signature's attribute"));
    const Bytes type = attribute.Expect(kOid, "a counter-signature's attribute type").Content();
    Der values(attribute.Expect(kSet, "a counter-signature's attribute values"));
    if (type == kSigningTime)
      return Time(values.Next());
  }
  throw Unreadable("its counter-signature carries no signing time");
}

// The first time stamp among a signer info's unauthenticated attributes.
void ReadTimeStamp(const Element &attributes, Signature &signature) {
  try {
    Der list(attributes);
    while (!list.AtEnd()) {
      Der attribute(list.Expect(kSequence, "an attribute"));
      const Bytes type = attribute.Expect(kOid, "an attribute type").Content();
      Der values(attribute.Expect(kSet, "attribute values"));
      if (type == kRfc3161) {
        signature.stamp = Signature::Stamp::Rfc3161;
        signature.stampTime = TokenTime(values.Expect(kSequence, "a time stamp"));
        return;
      }
      if (type == kCounterSignature) {
        signature.stamp = Signature::Stamp::CounterSignature;
        signature.stampTime = CounterSignatureTime(values.Expect(kSequence, "a counter-signature"));
        return;
      }
    }
  } catch (const Unreadable &error) {
    signature.stamp = Signature::Stamp::Unreadable;
    signature.stampTime.clear();
    signature.stampProblem = error.what();
  }
}

} // namespace

Signature ReadSignature(const Bytes &table) {
  Signature signature;
  signature.state = Signature::State::Unreadable;
  // WIN_CERTIFICATE: length, revision, type, then the certificate.
  if (table.size() < 8 || Le32(&table[0]) < 8 || Le32(&table[0]) > table.size()) {
    signature.problem = "its certificate table is damaged";
    return signature;
  }
  if (Le16(&table[6]) != 0x0002) { // WIN_CERT_TYPE_PKCS_SIGNED_DATA
    signature.problem =
        "its certificate is of type " + std::to_string(Le16(&table[6])) + ", not PKCS#7";
    return signature;
  }
  try {
    // data() + 8, not &table[8]: a table of only its 8-byte header has no
    // element 8.
    Der top(table.data() + 8, Le32(&table[0]) - 8);
    Der signedData = SignedDataOf(Der(top.Expect(kSequence, "a content info")));
    signedData.Expect(kSequence, "signed content");
    const auto certificates = signedData.Optional(kContext0);
    signedData.Optional(kContext1);
    Der signers(signedData.Expect(kSet, "signer infos"));
    Der signer(signers.Expect(kSequence, "a signer info"));
    signer.Expect(kInteger, "a signer version");
    Der issuerAndSerial(signer.Expect(kSequence, "the signer's issuer and serial number"));
    const Bytes issuer = issuerAndSerial.Expect(kSequence, "the signer's issuer").Whole();
    const Bytes serial = issuerAndSerial.Expect(kInteger, "the signer's serial number").Content();
    signer.Expect(kSequence, "the signer's digest algorithm");
    signer.Optional(kContext0); // authenticated attributes
    signer.Expect(kSequence, "the signer's signature algorithm");
    signer.Expect(kOctetString, "the signer's signature");
    if (const auto unauthenticated = signer.Optional(kContext1))
      ReadTimeStamp(*unauthenticated, signature);
    if (certificates) {
      Der list(*certificates);
      while (!list.AtEnd()) {
        const Element certificate = list.Next();
        if (certificate.tag != kSequence)
          continue; // an attribute certificate or another kind
        Element validity, subject;
        if (Matches(Der(Der(certificate).Expect(kSequence, "a certificate body")), issuer, serial,
                    validity, subject)) {
          ReadSubject(subject, signature);
          try {
            Der times(validity);
            times.Next(); // not before
            signature.certificateEnds = Time(times.Next());
          } catch (const Unreadable &) {
            // Who signed still counts; when it ends is left unsaid.
          }
          signature.state = Signature::State::Signed;
          return signature;
        }
      }
    }
    throw Unreadable("it does not carry the signer's certificate");
  } catch (const Unreadable &error) {
    signature.problem = error.what();
  }
  return signature;
}
