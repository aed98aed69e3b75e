// Large items are written and checked a chunk at a time, with the caller
// called back in between so that its window keeps answering.
#include "driver/Files.h"
#include "package/Crc32c.h"
#include "package/DeliveryCheck.h"
#include "package/ExtractionRun.h"
#include "package/PayloadChecksum.h"
#include "package/PayloadItem.h"
#include "tests/support/Crc32cChecks.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <numeric>
#include <random>

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

// Every method against the definition: random lengths past each path (the
// streams' 12 KiB, the kept blocks' 16 KiB), in random pieces.
void ExpectEveryMethodIsCrc32c() {
  std::mt19937 lengths(31);
  for (int round = 0; round < 12; ++round) {
    const auto message = RandomBytes(lengths() % (96 * 1024), round);
    const std::uint32_t reference = ReferenceCrc32c(message);
    for (const Crc32c::Method method : MethodsHere()) {
      Crc32c check(method);
      check.Add("123456789", 9);
      EXPECT_EQ(check.Value(), 0xE3069283u) << "the published check value";
      Crc32c whole(method), pieces(method);
      whole.Add(message.data(), message.size());
      EXPECT_EQ(whole.Value(), reference) << message.size();
      for (std::size_t at = 0; at < message.size();) {
        const std::size_t piece = std::min<std::size_t>(lengths() % 20000, message.size() - at);
        pieces.Add(message.data() + at, piece);
        at += piece;
      }
      EXPECT_EQ(pieces.Value(), reference) << message.size() << " in pieces";
    }
  }
  // Short messages: none, some or all of folding's blocks carried forward.
  const auto message = RandomBytes(210 * 16 + 1, 7);
  for (const Crc32c::Method method : MethodsHere())
    for (const std::size_t size : {0, 15, 16, 17, 66 * 16 + 3, 209 * 16, 210 * 16 + 1}) {
      Crc32c prefix(method);
      prefix.Add(message.data(), size);
      EXPECT_EQ(prefix.Value(), ReferenceCrc32c(std::span(message).first(size))) << size;
    }
}

TEST(PayloadChecksum, IsCrc32cByEveryMethodInPiecesOfAnySize) { ExpectEveryMethodIsCrc32c(); }

#if defined(__i386__)
TEST(PayloadChecksum, TheChecksumStagingAndDeliveryCheckHoldOnAStackAlignedTo4) {
  for (const std::size_t shift : {4, 8, 12}) {
    SCOPED_TRACE(shift);
    OnShiftedStack(shift, [] {
      try {
        ExpectEveryMethodIsCrc32c();
        ScratchFolder destination;
        EXPECT_TRUE(ExtractPackage(nullptr, destination.Path(), {}));
      } catch (...) {
        ADD_FAILURE() << "raised an error"; // nothing may unwind through the moved stack
      }
    });
  }
}
#else
TEST(PayloadChecksum, TheChecksumStagingAndDeliveryCheckHoldOnAStackAlignedTo4) {
  GTEST_SKIP() << "64-bit Windows aligns every stack to 16 bytes";
}
#endif

TEST(PayloadChecksum, ThePayloadMatchesTheChecksumsTheBuildStored) {
  for (std::size_t i = 0; i < std::size(kPayloadFiles); ++i) {
    const auto bytes = PayloadStream::Open(kPayloadFiles[i].resourceName).Bytes();
    Crc32c crc;
    crc.Add(bytes.data(), bytes.size());
    EXPECT_EQ(crc.Value(), StoredChecksum(i)) << i;
  }
}

} // namespace
