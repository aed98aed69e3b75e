#include "package/PayloadDigest.h"

#include "package/PayloadItem.h"
#include "resources/Texts.h"
#include "toolkit/Error.h"

#include <cstring>

namespace {

// CNG answers NTSTATUS codes, not Win32 errors.
void Check(NTSTATUS status, const wchar_t *what) {
  if (status < 0)
    throw toolkit::Error(texts::kSha256Unusable + std::wstring(what));
}

} // namespace

Sha256::Sha256() {
  Check(BCryptOpenAlgorithmProvider(algorithm_.Receive(), BCRYPT_SHA256_ALGORITHM, nullptr, 0),
        L"BCryptOpenAlgorithmProvider");
  // With no object buffer given, CNG keeps the hash object itself.
  Check(BCryptCreateHash(algorithm_.Get(), hash_.Receive(), nullptr, 0, nullptr, 0, 0),
        L"BCryptCreateHash");
}

void Sha256::Add(std::span<const std::byte> bytes) {
  auto *data = reinterpret_cast<PUCHAR>(const_cast<std::byte *>(bytes.data()));
  Check(BCryptHashData(hash_.Get(), data, static_cast<ULONG>(bytes.size()), 0), L"BCryptHashData");
}

Digest Sha256::Finish() {
  Digest digest{};
  Check(BCryptFinishHash(hash_.Get(), reinterpret_cast<PUCHAR>(digest.data()), digest.size(), 0),
        L"BCryptFinishHash");
  return digest;
}

Digest StoredDigest(std::size_t index) {
  const auto stored = RawResource(L"DIGESTS");
  if (!stored || stored->size() != std::size(kPayloadFiles) * sizeof(Digest) ||
      index >= std::size(kPayloadFiles))
    RaiseDamagedPackage();
  Digest digest;
  std::memcpy(digest.data(), stored->data() + index * sizeof(Digest), sizeof(Digest));
  return digest;
}

void RaiseDamagedPackage() { throw toolkit::Error(texts::kDamagedPackage); }
