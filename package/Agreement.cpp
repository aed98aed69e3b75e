#include "package/Agreement.h"

#include "package/PayloadItem.h"

std::wstring AgreementText() {
  const auto bytes = PackageResource(MAKEINTRESOURCEW(PACKAGE_AGREEMENT_ID));
  if (!bytes || bytes->empty())
    return L"";
  const auto *utf8 = reinterpret_cast<const char *>(bytes->data());
  const int size = static_cast<int>(bytes->size());
  std::wstring text(MultiByteToWideChar(CP_UTF8, 0, utf8, size, nullptr, 0), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8, size, text.data(), static_cast<int>(text.size()));
  return text;
}
