#include "win32/Resource.h"

namespace win32 {

std::optional<std::span<const std::byte>> ModuleResource(LPCWSTR type, LPCWSTR name) {
  const HMODULE module = GetModuleHandleW(nullptr);
  const HRSRC resource = FindResourceW(module, name, type);
  if (!resource)
    return std::nullopt;
  const HGLOBAL loaded = LoadResource(module, resource);
  const DWORD size = SizeofResource(module, resource);
  const void *bytes = loaded ? LockResource(loaded) : nullptr;
  if (!bytes && size != 0)
    return std::nullopt;
  return std::span(static_cast<const std::byte *>(bytes), size);
}

namespace {

BOOL CALLBACK CountLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD, LONG_PTR counted) {
  ++*reinterpret_cast<std::size_t *>(counted);
  return TRUE;
}

} // namespace

std::size_t ModuleResourceLanguages(LPCWSTR type, LPCWSTR name) {
  std::size_t count = 0;
  EnumResourceLanguagesW(nullptr, type, name, CountLanguage, reinterpret_cast<LONG_PTR>(&count));
  return count;
}

} // namespace win32
