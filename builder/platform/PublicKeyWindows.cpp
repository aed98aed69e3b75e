// CNG (bcrypt.dll, Windows Vista on): the key imported from its numbers as
// a public-key blob, the signature checked against the digest.
#include "builder/platform/PublicKey.h"

#include "builder/platform/Platform.h"

#include <windows.h>

#include <bcrypt.h>

namespace platform {

namespace {

class Algorithm {
public:
  explicit Algorithm(const wchar_t *id) {
    if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&handle_, id, nullptr, 0)))
      throw SystemError("Windows' cryptography (CNG) could not be opened", false);
  }
  ~Algorithm() { BCryptCloseAlgorithmProvider(handle_, 0); }
  Algorithm(const Algorithm &) = delete;
  Algorithm &operator=(const Algorithm &) = delete;
  BCRYPT_ALG_HANDLE get() const { return handle_; }

private:
  BCRYPT_ALG_HANDLE handle_ = nullptr;
};

class Key {
public:
  ~Key() {
    if (handle_)
      BCryptDestroyKey(handle_);
  }
  BCRYPT_KEY_HANDLE *out() { return &handle_; }
  BCRYPT_KEY_HANDLE get() const { return handle_; }

private:
  BCRYPT_KEY_HANDLE handle_ = nullptr;
};

template <typename Header> void PutHeader(Bytes &blob, const Header &header) {
  const auto *bytes = reinterpret_cast<const std::uint8_t *>(&header);
  blob.insert(blob.begin(), bytes, bytes + sizeof header);
}

ULONG BitLength(const Bytes &number) {
  ULONG bits = static_cast<ULONG>(number.size()) * 8;
  for (std::uint8_t top = number.empty() ? 0 : number[0]; bits && !(top & 0x80); top <<= 1)
    --bits;
  return bits;
}

} // namespace

bool VerifySignature(const PublicKey &key, const SignatureScheme &scheme, const Bytes &digest,
                     const Bytes &signature) {
  const wchar_t *algorithm = BCRYPT_RSA_ALGORITHM;
  const wchar_t *blobType = BCRYPT_RSAPUBLIC_BLOB;
  Bytes blob;
  if (key.kind == PublicKey::Kind::Rsa) {
    // BCRYPT_RSAKEY_BLOB, then the exponent and the modulus, big-endian.
    BCRYPT_RSAKEY_BLOB header{};
    header.Magic = BCRYPT_RSAPUBLIC_MAGIC;
    header.BitLength = BitLength(key.modulus);
    header.cbPublicExp = static_cast<ULONG>(key.exponent.size());
    header.cbModulus = static_cast<ULONG>(key.modulus.size());
    blob = key.exponent;
    blob.insert(blob.end(), key.modulus.begin(), key.modulus.end());
    PutHeader(blob, header);
  } else {
    const bool p256 = key.kind == PublicKey::Kind::EcP256;
    algorithm = p256 ? BCRYPT_ECDSA_P256_ALGORITHM : BCRYPT_ECDSA_P384_ALGORITHM;
    blobType = BCRYPT_ECCPUBLIC_BLOB;
    BCRYPT_ECCKEY_BLOB header{};
    header.dwMagic = p256 ? BCRYPT_ECDSA_PUBLIC_P256_MAGIC : BCRYPT_ECDSA_PUBLIC_P384_MAGIC;
    header.cbKey = static_cast<ULONG>(key.x.size());
    blob = key.x;
    blob.insert(blob.end(), key.y.begin(), key.y.end());
    PutHeader(blob, header);
  }
  Algorithm provider(algorithm);
  Key imported;
  if (!BCRYPT_SUCCESS(BCryptImportKeyPair(provider.get(), nullptr, blobType, imported.out(),
                                          blob.data(), static_cast<ULONG>(blob.size()), 0)))
    return false;
  const wchar_t *hash =
      scheme.hash == HashKind::Sha1 ? BCRYPT_SHA1_ALGORITHM : BCRYPT_SHA256_ALGORITHM;
  BCRYPT_PKCS1_PADDING_INFO pkcs1{hash};
  BCRYPT_PSS_PADDING_INFO pss{hash, static_cast<ULONG>(scheme.saltLength)};
  void *padding = nullptr;
  ULONG flags = 0;
  switch (scheme.padding) {
  case SignatureScheme::Padding::Pkcs1:
    padding = &pkcs1;
    flags = BCRYPT_PAD_PKCS1;
    break;
  case SignatureScheme::Padding::Pss:
    padding = &pss;
    flags = BCRYPT_PAD_PSS;
    break;
  case SignatureScheme::Padding::Ecdsa:
    break;
  }
  // The digest and signature are only read; the parameters are not const.
  return BCRYPT_SUCCESS(BCryptVerifySignature(
      imported.get(), padding, const_cast<PUCHAR>(digest.data()), static_cast<ULONG>(digest.size()),
      const_cast<PUCHAR>(signature.data()), static_cast<ULONG>(signature.size()), flags));
}

} // namespace platform
