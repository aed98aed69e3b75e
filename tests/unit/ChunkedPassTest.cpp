// Large items are written, digested and compared a chunk at a time, with
// the caller called back in between so that its window keeps answering.
#include "driver/Files.h"
#include "package/DeliveryCheck.h"
#include "package/PayloadDigest.h"
#include "package/PayloadItem.h"

#include <gtest/gtest.h>

#include <cstring>
#include <numeric>

namespace {

// The test payload's LARGE item: two full chunks and a part of one.
constexpr std::size_t kLargeBytes = 2 * kChunkBytes + 4096;

TEST(ChunkedPass, WritesEveryByteInChunksAndCallsBackAfterEach) {
  ScratchFolder folder;
  const PayloadStream stream = PayloadStream::Open(L"LARGE");
  ASSERT_EQ(stream.Bytes().size(), kLargeBytes);
  std::vector<std::size_t> chunks;
  SaveToFile(stream, folder / L"large", [&](std::span<const std::byte> chunk) {
    EXPECT_EQ(chunk.data(), stream.Bytes().data() +
                                std::accumulate(chunks.begin(), chunks.end(), std::size_t{0}));
    chunks.push_back(chunk.size());
  });
  EXPECT_EQ(chunks, (std::vector<std::size_t>{kChunkBytes, kChunkBytes, 4096}));
  const std::string written = ReadFileBytes(folder / L"large");
  ASSERT_EQ(written.size(), kLargeBytes);
  EXPECT_EQ(0, std::memcmp(written.data(), stream.Bytes().data(), kLargeBytes));
}

TEST(ChunkedPass, AnEmptyItemGivesAnEmptyFileAndNoCallback) {
  ScratchFolder folder;
  int calls = 0;
  SaveToFile(PayloadStream::Open(L"EMPTY"), folder / L"empty", [&](auto) { ++calls; });
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(ReadFileBytes(folder / L"empty"), "");
}

TEST(ChunkedPass, TheDeliveryCheckComparesInChunksAndFindsAChangeInTheLastOne) {
  ScratchFolder folder;
  const PayloadStream stream = PayloadStream::Open(L"LARGE");
  SaveToFile(stream, folder / L"large");
  int calls = 0;
  EXPECT_TRUE(FileMatches(folder / L"large", stream, Patience{1, 0, [&] { ++calls; }}));
  EXPECT_EQ(calls, 3);

  std::string changed = ReadFileBytes(folder / L"large");
  changed[kLargeBytes - 1] ^= 1;
  WriteFileBytes(folder / L"large", changed);
  EXPECT_FALSE(FileMatches(folder / L"large", stream));
  changed.pop_back();
  WriteFileBytes(folder / L"large", changed);
  EXPECT_FALSE(FileMatches(folder / L"large", stream)) << "one byte short";
}

TEST(PayloadDigest, ChunkedDigestsEqualTheStoredOnes) {
  for (std::size_t i = 0; i < std::size(kPayloadFiles); ++i) {
    const PayloadStream stream = PayloadStream::Open(kPayloadFiles[i].resourceName);
    Sha256 digest;
    const auto bytes = stream.Bytes();
    for (std::size_t offset = 0; offset < bytes.size(); offset += 1000)
      digest.Add(bytes.subspan(offset, std::min<std::size_t>(1000, bytes.size() - offset)));
    EXPECT_EQ(digest.Finish(), StoredDigest(i)) << i;
  }
}

} // namespace
