#include "builder/signing/Signature.h"

#include "builder/signing/Certificate.h"
#include "builder/signing/Der.h"

#include <optional>

namespace {

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

using der::Element;
using der::Reader;
using Unreadable = der::Malformed;

// Whether a certificate is the one SignerInfo names by issuer and serial
// number (Authenticode names the signer no other way); its subject if so.
bool Matches(Reader tbs, const Bytes &issuer, const Bytes &serial, Element &validity,
             Element &subject) {
  tbs.Optional(der::kContext0); // version
  const Bytes ownSerial = tbs.Expect(der::kInteger, "a certificate serial number").Content();
  tbs.Expect(der::kSequence, "a certificate signature algorithm");
  const Bytes ownIssuer = tbs.Expect(der::kSequence, "a certificate issuer").Whole();
  validity = tbs.Expect(der::kSequence, "a certificate validity");
  subject = tbs.Expect(der::kSequence, "a certificate subject");
  return ownIssuer == issuer && ownSerial == serial;
}

using signing::Time;

// The SignedData of a ContentInfo, read up to its encapsulated content:
// the signature's own, and an RFC 3161 token's.
Reader SignedDataOf(Reader contentInfo) {
  if (contentInfo.Expect(der::kOid, "a content type").Content() != kSignedData)
    throw Unreadable("it holds no PKCS#7 signed data");
  Reader explicitContent(contentInfo.Expect(der::kContext0, "signed data"));
  Reader signedData(explicitContent.Expect(der::kSequence, "signed data"));
  signedData.Expect(der::kInteger, "a version");
  signedData.Expect(der::kSet, "digest algorithms");
  return signedData;
}

// The time an RFC 3161 token gives: a ContentInfo holding SignedData that
// encapsulates TSTInfo, whose fifth field is genTime.
std::string TokenTime(const Element &token) {
  Reader signedData = SignedDataOf(Reader(token));
  Reader encapsulated(signedData.Expect(der::kSequence, "a time stamp's content"));
  if (encapsulated.Expect(der::kOid, "a time stamp's content type").Content() != kTstInfo)
    throw Unreadable("its time stamp holds no time-stamp info");
  Reader wrapped(encapsulated.Expect(der::kContext0, "a time stamp's info"));
  Reader octets(wrapped.Expect(der::kOctetString, "a time stamp's info"));
  Reader info(octets.Expect(der::kSequence, "a time stamp's info"));
  info.Expect(der::kInteger, "a time stamp's version");
  info.Expect(der::kOid, "a time stamp's policy");
  info.Expect(der::kSequence, "a time stamp's message imprint");
  info.Expect(der::kInteger, "a time stamp's serial number");
  return Time(info.Expect(der::kGeneralizedTime, "a time stamp's time"));
}

// The signing time of an Authenticode counter-signature: a SignerInfo
// whose authenticated attributes hold it.
std::string CounterSignatureTime(const Element &signerInfo) {
  Reader signer(signerInfo);
  signer.Expect(der::kInteger, "a counter-signature's version");
  signer.Expect(der::kSequence, "a counter-signer's issuer and serial number");
  signer.Expect(der::kSequence, "a counter-signature's digest algorithm");
  Reader attributes(signer.Expect(der::kContext0, "a counter-signature's attributes"));
  while (!attributes.AtEnd()) {
    Reader attribute(attributes.Expect(der::kSequence, "a counter-signature's attribute"));
    const Bytes type =
        attribute.Expect(der::kOid, "a counter-signature's attribute type").Content();
    Reader values(attribute.Expect(der::kSet, "a counter-signature's attribute values"));
    if (type == kSigningTime)
      return Time(values.Next());
  }
  throw Unreadable("its counter-signature carries no signing time");
}

// The first time stamp among a signer info's unauthenticated attributes.
void ReadTimeStamp(const Element &attributes, Signature &signature) {
  try {
    Reader list(attributes);
    while (!list.AtEnd()) {
      Reader attribute(list.Expect(der::kSequence, "an attribute"));
      const Bytes type = attribute.Expect(der::kOid, "an attribute type").Content();
      Reader values(attribute.Expect(der::kSet, "attribute values"));
      if (type == kRfc3161) {
        signature.stamp = Signature::Stamp::Rfc3161;
        signature.stampTime = TokenTime(values.Expect(der::kSequence, "a time stamp"));
        return;
      }
      if (type == kCounterSignature) {
        signature.stamp = Signature::Stamp::CounterSignature;
        signature.stampTime =
            CounterSignatureTime(values.Expect(der::kSequence, "a counter-signature"));
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
    Reader top(table.data() + 8, Le32(&table[0]) - 8);
    Reader signedData = SignedDataOf(Reader(top.Expect(der::kSequence, "a content info")));
    signedData.Expect(der::kSequence, "signed content");
    const auto certificates = signedData.Optional(der::kContext0);
    signedData.Optional(der::kContext1);
    Reader signers(signedData.Expect(der::kSet, "signer infos"));
    Reader signer(signers.Expect(der::kSequence, "a signer info"));
    signer.Expect(der::kInteger, "a signer version");
    Reader issuerAndSerial(signer.Expect(der::kSequence, "the signer's issuer and serial number"));
    const Bytes issuer = issuerAndSerial.Expect(der::kSequence, "the signer's issuer").Whole();
    const Bytes serial =
        issuerAndSerial.Expect(der::kInteger, "the signer's serial number").Content();
    signer.Expect(der::kSequence, "the signer's digest algorithm");
    signer.Optional(der::kContext0); // authenticated attributes
    signer.Expect(der::kSequence, "the signer's signature algorithm");
    signer.Expect(der::kOctetString, "the signer's signature");
    if (const auto unauthenticated = signer.Optional(der::kContext1))
      ReadTimeStamp(*unauthenticated, signature);
    if (certificates) {
      Reader list(*certificates);
      while (!list.AtEnd()) {
        const Element certificate = list.Next();
        if (certificate.tag != der::kSequence)
          continue; // an attribute certificate or another kind
        Element validity, subject;
        if (Matches(Reader(Reader(certificate).Expect(der::kSequence, "a certificate body")),
                    issuer, serial, validity, subject)) {
          const signing::NameParts parts = signing::ReadName(subject);
          signature.commonName = parts.commonName;
          signature.organisation = parts.organisation;
          try {
            Reader times(validity);
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
