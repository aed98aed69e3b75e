// The licence agreement the package carries, as the first page shows it.
#pragma once

#include <string>

// Empty when the program carries none. makewizard stores it ready to show
// (resources/PackageFormat.h): only its encoding changes here.
std::wstring AgreementText();
