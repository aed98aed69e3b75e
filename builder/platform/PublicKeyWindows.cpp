// CNG (bcrypt.dll, Windows Vista on): the key imported from its numbers as
// a public-key blob, the signature checked against the digest. Trust is
// WinVerifyTrust's (wintrust.dll).
#include "builder/platform/PublicKey.h"

#include "builder/platform/Platform.h"

#include <windows.h>

#include <bcrypt.h>
#include <softpub.h>
#include <wintrust.h>

#include <cstdio>

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
  const wchar_t *hash = scheme.hash == HashKind::Sha1     ? BCRYPT_SHA1_ALGORITHM
                        : scheme.hash == HashKind::Sha256 ? BCRYPT_SHA256_ALGORITHM
                        : scheme.hash == HashKind::Sha384 ? BCRYPT_SHA384_ALGORITHM
                                                          : BCRYPT_SHA512_ALGORITHM;
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

namespace {

std::string TrustText(LONG status) {
  switch (status) {
  case 0:
    return "trusted";
  case TRUST_E_NOSIGNATURE:
    return "it carries no signature Windows reads";
  case TRUST_E_BAD_DIGEST:
    return "its digest is not the one signed";
  case TRUST_E_CERT_SIGNATURE:
    return "a signature in it, or in its chain, does not verify";
  case CERT_E_UNTRUSTEDROOT:
    return "its chain ends at a root Windows does not trust";
  case CERT_E_CHAINING:
    return "its chain does not reach a root Windows knows";
  case CERT_E_EXPIRED:
    return "a certificate of it was not valid when it was signed";
  case CERT_E_WRONG_USAGE:
    return "its certificate is not one for signing code";
  case TRUST_E_EXPLICIT_DISTRUST:
    return "its signer is marked as not to be trusted";
  case TRUST_E_SUBJECT_NOT_TRUSTED:
    return "a user or an administrator chose not to trust it";
  case CRYPT_E_SECURITY_SETTINGS:
    return "this machine's policy does not allow it";
  default:
    return "Windows refused it";
  }
}

} // namespace

std::optional<SystemTrust> SystemTrustOf(const std::string &path) {
  const int size = MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 1), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, wide.data(), size);
  WINTRUST_FILE_INFO file{};
  file.cbStruct = sizeof file;
  file.pcwszFilePath = wide.c_str();
  WINTRUST_DATA data{};
  data.cbStruct = sizeof data;
  data.dwUIChoice = WTD_UI_NONE;
  // No revocation lists or other URLs fetched: show reads, it never calls out.
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwProvFlags = WTD_CACHE_ONLY_URL_RETRIEVAL;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &file;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  // INVALID_HANDLE_VALUE: no one to ask, no window shown.
  const HWND noUser = static_cast<HWND>(INVALID_HANDLE_VALUE);
  const LONG status = WinVerifyTrust(noUser, &action, &data);
  data.dwStateAction = WTD_STATEACTION_CLOSE;
  WinVerifyTrust(noUser, &action, &data);
  char code[16];
  std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(status));
  SystemTrust trust;
  trust.trusted = status == 0;
  trust.says = trust.trusted ? TrustText(status) : TrustText(status) + " (" + code + ")";
  return trust;
}

} // namespace platform
