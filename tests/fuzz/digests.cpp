// makewizard's own digests (SHA-1, SHA-256, SHA-384, SHA-512) against
// libcrypto's on any bytes, fed in two pieces split where the first byte
// says: padding at each block boundary and chunked input alike.
#include "builder/signing/Certificate.h"

#include <openssl/evp.h>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::size_t split = size ? data[0] % (size + 1) : 0;
  const struct {
    platform::HashKind kind;
    const EVP_MD *md;
  } kinds[] = {{platform::HashKind::Sha1, EVP_sha1()},
               {platform::HashKind::Sha256, EVP_sha256()},
               {platform::HashKind::Sha384, EVP_sha384()},
               {platform::HashKind::Sha512, EVP_sha512()}};
  for (const auto &kind : kinds) {
    signing::Hasher ours(kind.kind);
    ours.Add(data, split);
    ours.Add(data + split, size - split);
    unsigned char theirs[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!EVP_Digest(data, size, theirs, &length, kind.md, nullptr))
      std::abort();
    if (ours.Finish() != Bytes(theirs, theirs + length))
      std::abort();
  }
  return 0;
}
