// agreement.txt as the wizard shows it: read from UTF-8 (with or without a
// byte-order mark) or UTF-16 with a byte-order mark, every line ending
// CR LF (the wizard's text box breaks lines only there).
#pragma once

#include <string>

// The text as UTF-8; refuses, naming `path`, what the wizard cannot show.
std::string AgreementText(const std::string &path, const std::string &data);
