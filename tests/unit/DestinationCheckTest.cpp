#include "wizard/DestinationCheck.h"

#include <gtest/gtest.h>

namespace {

struct DestinationCase {
  std::wstring text;
  DestinationVerdict verdict;
};

class DestinationCheck : public testing::TestWithParam<DestinationCase> {};

TEST_P(DestinationCheck, GivesTheExpectedVerdict) {
  EXPECT_EQ(CheckDestination(GetParam().text), GetParam().verdict)
      << testing::PrintToString(GetParam().text);
}

constexpr auto Accepted = DestinationVerdict::Accepted;
constexpr auto Forbidden = DestinationVerdict::ForbiddenCharacter;
constexpr auto TooLong = DestinationVerdict::TooLong;

INSTANTIATE_TEST_SUITE_P(
    Texts, DestinationCheck,
    testing::Values(DestinationCase{L"C:\\Temp\\Out", Accepted}, DestinationCase{L"C", Accepted},
                    DestinationCase{L"C:\\a b", Accepted},
                    DestinationCase{L"   ", Accepted}, // spaces are the shell's business
                    DestinationCase{L"x:",
                                    Accepted}, // a colon in second place, whatever comes first
                    DestinationCase{L"relative\\folder", Accepted},
                    DestinationCase{L"C:\\Temp\\\\Out", Forbidden},
                    DestinationCase{L"\\\\server\\share", Forbidden},
                    DestinationCase{L"C:/Temp", Forbidden}, DestinationCase{L":C", Forbidden},
                    DestinationCase{L"C:\\a:b", Forbidden}, DestinationCase{L"C:\\a*", Forbidden},
                    DestinationCase{L"C:\\a?", Forbidden}, DestinationCase{L"C:\\\"a\"", Forbidden},
                    DestinationCase{L"C:\\<a", Forbidden}, DestinationCase{L"C:\\a>", Forbidden},
                    DestinationCase{L"C:\\a|b", Forbidden},
                    // Characters whose Shift-JIS trail byte is '|' or '\' are ordinary letters.
                    DestinationCase{L"C:\\Users\\Public\\ポイント", Accepted},
                    DestinationCase{L"C:\\表\\Out", Accepted},
                    // The longest name delivered into it must still fit 259 characters.
                    DestinationCase{L"C:\\" + std::wstring(230, L'a'), Accepted}, // 233 characters
                    DestinationCase{L"C:\\" + std::wstring(231, L'a'), TooLong},  // 234 characters
                    DestinationCase{L"C:\\" + std::wstring(257, L'a'), TooLong},
                    // Qualified, a relative text is longer than typed.
                    DestinationCase{std::wstring(232, L'a'), TooLong},
                    // The character rules come first: a long text with a bar is a bar.
                    DestinationCase{L"C:\\|" + std::wstring(300, L'a'), Forbidden}));

} // namespace
