// The public-key half of checking a signature, left to a well-kept library
// on each platform: libcrypto on Linux (PublicKeyPosix.cpp), CNG on Windows
// (PublicKeyWindows.cpp). The key and the signature are parsed by the
// builder's own bounds-checked readers; only the mathematics is the
// library's.
#pragma once

#include "builder/base/Bytes.h"

#include <optional>
#include <string>

namespace platform {

enum class HashKind { Sha1, Sha256, Sha384, Sha512 };

struct PublicKey {
  enum class Kind { Rsa, EcP256, EcP384 } kind = Kind::Rsa;
  // The certificate's SubjectPublicKeyInfo, as it is in DER.
  Bytes subjectPublicKeyInfo;
  // Rsa: big-endian, without leading zeros.
  Bytes modulus, exponent;
  // Ec: the uncompressed point's X and Y, each of the curve's size.
  Bytes x, y;
};

struct SignatureScheme {
  enum class Padding { Pkcs1, Pss, Ecdsa } padding = Padding::Pkcs1;
  HashKind hash = HashKind::Sha256;
  // Pss: the salt's length; its mask is MGF1 with `hash`.
  std::size_t saltLength = 0;
};

// Whether `signature` is the key's over `digest`, a digest made with the
// scheme's hash. An ECDSA signature comes as r and s, each of the curve's
// size, one after the other. False for a signature or key the library
// refuses; throws SystemError only when the library cannot be used at all.
bool VerifySignature(const PublicKey &key, const SignatureScheme &scheme, const Bytes &digest,
                     const Bytes &signature);

// What the system itself says of a signed program's signature and its
// chain up to a root it trusts (on Windows, WinVerifyTrust's Authenticode
// policy, revocation not checked: that would go to the network); nothing
// where the system has no such check.
struct SystemTrust {
  bool trusted = false;
  std::string says; // "trusted", or why not
};
std::optional<SystemTrust> SystemTrustOf(const std::string &path);

} // namespace platform
