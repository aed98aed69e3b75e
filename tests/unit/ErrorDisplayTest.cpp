#include "toolkit/Application.h"
#include "win32/Error.h"

#include <gtest/gtest.h>

namespace {

struct FullStopCase {
  const wchar_t *message;
  const wchar_t *shown;
};

class ErrorDisplayFullStop : public testing::TestWithParam<FullStopCase> {};

TEST_P(ErrorDisplayFullStop, AddsAFullStopOnlyAfterCharactersAboveIt) {
  EXPECT_EQ(toolkit::ErrorDisplayText(GetParam().message), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Endings, ErrorDisplayFullStop,
    testing::Values(FullStopCase{L"", L""},                       // nothing to end
                    FullStopCase{L"Done.", L"Done."},             // already ends in one
                    FullStopCase{L"(see above)", L"(see above)"}, // ')' lies below '.'
                    FullStopCase{L"Stop!", L"Stop!"}, FullStopCase{L"trailing ", L"trailing "},
                    FullStopCase{L"a-", L"a-"},  // '-' is just below '.'
                    FullStopCase{L"a/", L"a/."}, // '/' is just above '.'
                    FullStopCase{L"Disk full", L"Disk full."}, FullStopCase{L"Why?", L"Why?."},
                    FullStopCase{L"ストリームへの書き込みエラー", L"ストリームへの書き込みエラー."},
                    FullStopCase{L"emoji \U0001F600", L"emoji \U0001F600."})); // surrogate pair

TEST(SystemErrorText, HasNoTrailingFullStopSpaceOrLineBreak) {
  const std::wstring text = win32::SystemErrorText(ERROR_ACCESS_DENIED);
  ASSERT_FALSE(text.empty());
  EXPECT_NE(text.back(), L'.');
  EXPECT_GT(text.back(), L' ');
  EXPECT_LE(text.size(), 255u);
}

} // namespace
