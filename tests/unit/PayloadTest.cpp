// Payload items read where the loader mapped them and written out unchanged.
#include "driver/Files.h"
#include "package/PayloadItem.h"
#include "win32/Error.h"

#include <gtest/gtest.h>

namespace {

std::string Bytes(const PayloadStream &stream) {
  const auto bytes = stream.Bytes();
  return {reinterpret_cast<const char *>(bytes.data()), bytes.size()};
}

std::wstring ErrorOf(auto action) {
  try {
    action();
  } catch (const win32::Error &error) {
    return error.Message();
  }
  return L"(no error)";
}

class SavedItem : public testing::TestWithParam<const wchar_t *> {};

TEST_P(SavedItem, IsByteIdenticalToTheStoredItem) {
  ScratchFolder folder;
  const PayloadStream stream = PayloadStream::Open(GetParam());
  SaveToFile(stream, folder / L"saved");
  EXPECT_EQ(ReadFileBytes(folder / L"saved"), Bytes(stream));
}

// An executable, a PDF, a text with CR LF line ends, and an empty item.
INSTANTIATE_TEST_SUITE_P(Kinds, SavedItem, testing::Values(L"FILE1", L"FILE2", L"FILE3", L"EMPTY"));

TEST(PayloadItem, KindsAreWhatTheyClaim) {
  EXPECT_EQ(Bytes(PayloadStream::Open(L"FILE1")).substr(0, 2), "MZ");
  EXPECT_EQ(Bytes(PayloadStream::Open(L"FILE2")).substr(0, 5), "%PDF-");
  EXPECT_EQ(Bytes(PayloadStream::Open(L"FILE3")), "Test readme\r\nSecond line\r\n");
  EXPECT_TRUE(PayloadStream::Open(L"EMPTY").Bytes().empty());
}

TEST(PayloadItem, MissingItemRaisesTheResourceError) {
  EXPECT_EQ(ErrorOf([] { PayloadStream::Open(L"FILE9"); }), L"FILE9 リソースが見つかりません");
}

// Windows would pick one of the two by the user's interface language.
TEST(PayloadItem, AnItemInTwoLanguagesIsDamage) {
  EXPECT_EQ(ErrorOf([] { PayloadStream::Open(L"TWICE"); }),
            L"The package is damaged and cannot be extracted. Download it again.");
}

TEST(SaveToFile, ReplacesAnExistingFile) {
  ScratchFolder folder;
  WriteFileBytes(folder / L"saved", std::string(10000, 'x'));
  SaveToFile(PayloadStream::Open(L"FILE3"), folder / L"saved");
  EXPECT_EQ(ReadFileBytes(folder / L"saved"), "Test readme\r\nSecond line\r\n");
}

TEST(SaveToFile, FileHeldOpenRaisesTheFileCreationErrorWithPathAndSystemText) {
  ScratchFolder folder;
  const std::wstring path = folder / L"in use.txt";
  WriteFileBytes(path, "keep");
  // Another program holds it open without sharing, as a running installer would.
  const HANDLE held =
      CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(ErrorOf([&] { SaveToFile(PayloadStream::Open(L"FILE3"), path); }),
            L"ファイル \"" + path + L"\" を作成できません。" +
                win32::SystemErrorText(ERROR_SHARING_VIOLATION));
  CloseHandle(held);
  EXPECT_EQ(ReadFileBytes(path), "keep");
}

TEST(SaveToFile, MissingFolderRaisesTheFileCreationError) {
  ScratchFolder folder;
  const std::wstring path = folder / L"missing\\file.txt";
  EXPECT_EQ(ErrorOf([&] { SaveToFile(PayloadStream::Open(L"FILE3"), path); }),
            L"ファイル \"" + path + L"\" を作成できません。" +
                win32::SystemErrorText(ERROR_PATH_NOT_FOUND));
}

// The payload's section is not writable, so Windows maps it as it is and
// charges no commit for it: a large package must start on a machine without
// a page file.
TEST(PayloadItem, IsMappedReadOnly) {
  const auto bytes = PackageResource(L"FILE1");
  ASSERT_TRUE(bytes);
  MEMORY_BASIC_INFORMATION region{};
  ASSERT_NE(VirtualQuery(bytes->data(), &region, sizeof region), 0u);
  EXPECT_EQ(region.Protect, static_cast<DWORD>(PAGE_READONLY));
  EXPECT_EQ(region.Type, static_cast<DWORD>(MEM_IMAGE));
}

} // namespace
