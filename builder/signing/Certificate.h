// An X.509 certificate as a signature carries it, and the algorithms a
// signature names: what checking it and listing its chain need.
#pragma once

#include "builder/base/Sha1.h"
#include "builder/base/Sha256.h"
#include "builder/base/Sha512.h"
#include "builder/platform/PublicKey.h"
#include "builder/signing/Der.h"

#include <optional>
#include <string>

namespace signing {

// An algorithm makewizard does not check (MD5, SHA-384, DSA, a curve other
// than P-256 and P-384): what() names it.
struct Unsupported : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct Certificate {
  Bytes whole;   // its DER, to compare with a trusted one
  Bytes tbs;     // what its issuer signed
  Bytes serial;  // INTEGER content
  Bytes issuer;  // the whole Name
  Bytes subject; // the whole Name
  Bytes subjectKeyId;
  std::string subjectText, issuerText; // "common name, organisation", for people
  std::string notBefore, notAfter;     // 2026-03-01T12:34:56Z
  std::optional<platform::PublicKey> key;
  std::string keyProblem;   // no key: the one it has, which makewizard does not use
  Bytes signatureAlgorithm; // the whole AlgorithmIdentifier
  Bytes signature;
};

// Throws der::Malformed.
Certificate ReadCertificate(const der::Element &certificate);

// A Name's first common name and organisation, UTF-8 (empty where it has
// none; a string that is not text shown with U+FFFD). Throws der::Malformed.
struct NameParts {
  std::string commonName, organisation;
};
NameParts ReadName(const der::Element &name);

// A UTCTime or GeneralizedTime in UTC as 2026-03-01T12:34:56Z (fractions
// of a second dropped). Throws der::Malformed.
std::string Time(const der::Element &time);

// The digest an AlgorithmIdentifier names; Unsupported for any but SHA-1
// and the SHA-2 family's SHA-256, SHA-384 and SHA-512.
platform::HashKind HashOf(const der::Element &algorithm);
const char *HashName(platform::HashKind hash); // "SHA-256"
std::size_t HashSize(platform::HashKind hash);

// A digest of any of those kinds, fed a chunk at a time.
class Hasher {
public:
  explicit Hasher(platform::HashKind kind);
  void Add(const std::uint8_t *data, std::size_t size);
  Bytes Finish();

private:
  platform::HashKind kind_;
  Sha1 sha1_;
  Sha256 sha256_;
  Sha512 sha512_;
};

Bytes Hash(platform::HashKind hash, const std::uint8_t *data, std::size_t size);
inline Bytes Hash(platform::HashKind hash, const Bytes &data) {
  return Hash(hash, data.data(), data.size());
}

// Whether `signature`, made by `signatureAlgorithm` (an AlgorithmIdentifier)
// over `digest` (made with `hash`), is the key's. `hash` is the one the
// signer names beside it; a signature algorithm that names another is
// refused. Throws der::Malformed, Unsupported.
bool Verify(const platform::PublicKey &key, const der::Element &signatureAlgorithm,
            platform::HashKind hash, const Bytes &digest, const Bytes &signature);

// Whether `issuer` signed `certificate`. Throws der::Malformed, Unsupported.
bool Issued(const Certificate &issuer, const Certificate &certificate);

} // namespace signing
