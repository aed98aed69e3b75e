#include "builder/platform/PublicKey.h"

#include "builder/platform/Platform.h"

#include <openssl/bn.h>
#include <openssl/crypto.h>
#include <openssl/ec.h>
#include <openssl/ecdsa.h>
#include <openssl/evp.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

#include <memory>

namespace platform {

namespace {

template <typename T, void (*Free)(T *)> struct Deleter {
  void operator()(T *p) const { Free(p); }
};
template <typename T, void (*Free)(T *)> using Owned = std::unique_ptr<T, Deleter<T, Free>>;

// r || s as the DER ECDSA-Sig-Value libcrypto takes; empty when it cannot.
Bytes EcdsaDer(const Bytes &signature) {
  const std::size_t half = signature.size() / 2;
  Owned<ECDSA_SIG, ECDSA_SIG_free> sig(ECDSA_SIG_new());
  BIGNUM *r = BN_bin2bn(signature.data(), static_cast<int>(half), nullptr);
  BIGNUM *s = BN_bin2bn(signature.data() + half, static_cast<int>(half), nullptr);
  if (!sig || !r || !s || !ECDSA_SIG_set0(sig.get(), r, s)) {
    BN_free(r);
    BN_free(s);
    return {};
  }
  unsigned char *der = nullptr;
  const int size = i2d_ECDSA_SIG(sig.get(), &der);
  if (size <= 0)
    return {};
  Bytes out(der, der + size);
  OPENSSL_free(der);
  return out;
}

} // namespace

bool VerifySignature(const PublicKey &key, const SignatureScheme &scheme, const Bytes &digest,
                     const Bytes &signature) {
  // No configuration file: what a signature is must not depend on the
  // machine's openssl.cnf (nor load what it names).
  static const bool initialised = OPENSSL_init_crypto(OPENSSL_INIT_NO_LOAD_CONFIG, nullptr) == 1;
  if (!initialised)
    throw SystemError("libcrypto could not be initialised", false);
  const unsigned char *at = key.subjectPublicKeyInfo.data();
  Owned<EVP_PKEY, EVP_PKEY_free> pkey(
      d2i_PUBKEY(nullptr, &at, static_cast<long>(key.subjectPublicKeyInfo.size())));
  if (!pkey)
    return false;
  const bool rsa = key.kind == PublicKey::Kind::Rsa;
  if (EVP_PKEY_get_base_id(pkey.get()) != (rsa ? EVP_PKEY_RSA : EVP_PKEY_EC) ||
      rsa != (scheme.padding != SignatureScheme::Padding::Ecdsa))
    return false;
  Owned<EVP_PKEY_CTX, EVP_PKEY_CTX_free> context(EVP_PKEY_CTX_new(pkey.get(), nullptr));
  if (!context || EVP_PKEY_verify_init(context.get()) <= 0)
    throw SystemError("libcrypto could not start a verification", false);
  const EVP_MD *md = scheme.hash == HashKind::Sha1     ? EVP_sha1()
                     : scheme.hash == HashKind::Sha256 ? EVP_sha256()
                     : scheme.hash == HashKind::Sha384 ? EVP_sha384()
                                                       : EVP_sha512();
  Bytes encoded = signature;
  if (rsa) {
    const bool pss = scheme.padding == SignatureScheme::Padding::Pss;
    if (EVP_PKEY_CTX_set_rsa_padding(context.get(),
                                     pss ? RSA_PKCS1_PSS_PADDING : RSA_PKCS1_PADDING) <= 0 ||
        EVP_PKEY_CTX_set_signature_md(context.get(), md) <= 0 ||
        (pss && (EVP_PKEY_CTX_set_rsa_mgf1_md(context.get(), md) <= 0 ||
                 EVP_PKEY_CTX_set_rsa_pss_saltlen(context.get(),
                                                  static_cast<int>(scheme.saltLength)) <= 0)))
      return false;
  } else {
    encoded = EcdsaDer(signature);
    if (encoded.empty())
      return false;
  }
  return EVP_PKEY_verify(context.get(), encoded.data(), encoded.size(), digest.data(),
                         digest.size()) == 1;
}

// Linux has no list of roots made for code signing: --trust names them.
std::optional<SystemTrust> SystemTrustOf(const std::string &) { return std::nullopt; }

} // namespace platform
