// agreement.txt as the wizard shows it: read from UTF-8 (with or without a
// byte-order mark) or UTF-16 with a byte-order mark, every line ending
// CR LF (the wizard's text box breaks lines only there).
#pragma once

#include <cstddef>
#include <string>

// The most of agreement.txt makewizard reads, far above what owners write
// (the longest licence agreements are some 100 KB), and the most a wizard
// can then hold: every line end made CR LF at most doubles it.
inline constexpr std::size_t kMostAgreementFileBytes = std::size_t{1} << 20;
inline constexpr std::size_t kMostStoredAgreementBytes = 2 * kMostAgreementFileBytes;

// The text as UTF-8; refuses, naming `path`, what the wizard cannot show.
std::string AgreementText(const std::string &path, const std::string &data);
