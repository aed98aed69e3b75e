// Large items are written and checked a chunk at a time, with the caller
// called back in between so that its window keeps answering.
#include "driver/Files.h"
#include "package/Crc32c.h"
#include "package/DeliveryCheck.h"
#include "package/PayloadChecksum.h"
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
  Crc32c crc;
  crc.Add(stream.Bytes().data(), kLargeBytes);
  int calls = 0;
  EXPECT_TRUE(
      FileMatches(folder / L"large", kLargeBytes, crc.Value(), Patience{1, 0, [&] { ++calls; }}));
  EXPECT_EQ(calls, 3);

  std::string changed = ReadFileBytes(folder / L"large");
  changed[kLargeBytes - 1] ^= 1;
  WriteFileBytes(folder / L"large", changed);
  EXPECT_FALSE(FileMatches(folder / L"large", kLargeBytes, crc.Value()));
  changed.pop_back();
  WriteFileBytes(folder / L"large", changed);
  EXPECT_FALSE(FileMatches(folder / L"large", kLargeBytes, crc.Value())) << "one byte short";
}

// The methods this processor can run: the table always.
std::vector<Crc32c::Method> Methods() {
  std::vector<Crc32c::Method> methods{Crc32c::Method::Table};
  if (Crc32c::Best() != Crc32c::Method::Table)
    methods.push_back(Crc32c::Method::Folding);
  if (Crc32c::Best() == Crc32c::Method::Instruction)
    methods.push_back(Crc32c::Method::Instruction);
  return methods;
}

// CRC-32C a bit at a time, as its definition reads: what the fast methods
// (three streams joined, tables, the instruction) must all come to.
std::uint32_t ReferenceCrc32c(std::span<const std::byte> bytes) {
  std::uint32_t crc = ~0u;
  for (const std::byte byte : bytes) {
    crc ^= static_cast<std::uint8_t>(byte);
    for (int bit = 0; bit < 8; ++bit)
      crc = crc & 1 ? crc >> 1 ^ 0x82F63B78u : crc >> 1;
  }
  return ~crc;
}

TEST(PayloadChecksum, IsCrc32cByEveryMethodInPiecesOfAnySize) {
  const auto large = PayloadStream::Open(L"LARGE").Bytes();
  const std::uint32_t reference = ReferenceCrc32c(large);
  for (const Crc32c::Method method : Methods()) {
    Crc32c check(method);
    check.Add("123456789", 9);
    EXPECT_EQ(check.Value(), 0xE3069283u) << "the standard check value";
    // Pieces of odd sizes: unaligned starts, ends inside a block of streams.
    Crc32c pieces(method);
    for (std::size_t at = 0, piece = 1; at < large.size(); at += piece, piece = piece * 3 + 7)
      pieces.Add(large.data() + at, std::min(piece, large.size() - at));
    EXPECT_EQ(pieces.Value(), reference);
    // Short messages: none, some or all of folding's blocks carried forward.
    for (const std::size_t size : {0, 15, 16, 17, 66 * 16 + 3, 209 * 16, 210 * 16 + 1}) {
      Crc32c prefix(method);
      prefix.Add(large.data(), size);
      EXPECT_EQ(prefix.Value(), ReferenceCrc32c(large.first(size))) << size;
    }
  }
}

TEST(PayloadChecksum, ThePayloadMatchesTheChecksumsTheBuildStored) {
  for (std::size_t i = 0; i < std::size(kPayloadFiles); ++i) {
    const auto bytes = PayloadStream::Open(kPayloadFiles[i].resourceName).Bytes();
    Crc32c crc;
    crc.Add(bytes.data(), bytes.size());
    EXPECT_EQ(crc.Value(), StoredChecksum(i)) << i;
  }
}

} // namespace
