#include "package/PayloadDigest.h"

#include "package/PayloadItem.h"
#include "resources/Texts.h"
#include "win32/Error.h"

#include <winternl.h>

#include <cstring>

namespace {

// CNG answers NTSTATUS codes, not Win32 errors: the system's text comes
// from the Win32 error they stand for.
void Check(NTSTATUS status, const wchar_t *call) {
  if (status < 0) {
    SetLastError(RtlNtStatusToDosError(status));
    win32::RaiseLastError(texts::kSha256Unusable + std::wstring(call) + L": ");
  }
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
  static_assert(sizeof(Digest) == package_format::kDigestBytes);
  const auto stored = PackageResource(L"" PACKAGE_SHA256_RESOURCE);
  if (!stored || stored->size() != package_format::kDigestsBytes ||
      index >= package_format::kItemCount)
    RaiseDamagedPackage();
  Digest digest;
  std::memcpy(digest.data(), stored->data() + index * sizeof(Digest), sizeof(Digest));
  return digest;
}

void RaiseDamagedPackage() { throw win32::Error(texts::kDamagedPackage); }
