#include "package/PayloadItem.h"

#include "toolkit/Error.h"
#include "toolkit/Handle.h"

PayloadStream PayloadStream::Open(const wchar_t *resourceName) {
  const HMODULE module = GetModuleHandleW(nullptr);
  const HRSRC resource = FindResourceW(module, resourceName, MAKEINTRESOURCEW(10)); // RT_RCDATA
  if (!resource)
    toolkit::RaiseResourceNotFound(resourceName);
  const HGLOBAL loaded = LoadResource(module, resource);
  const DWORD size = SizeofResource(module, resource);
  const void *bytes = loaded ? LockResource(loaded) : nullptr;
  if (!bytes && size != 0)
    toolkit::RaiseResourceNotFound(resourceName);
  return PayloadStream({static_cast<const std::byte *>(bytes), size});
}

void SaveToFile(const PayloadStream &stream, const std::wstring &path) {
  const toolkit::FileHandle file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file)
    toolkit::RaiseFileCreateError(path);
  const auto bytes = stream.Bytes();
  DWORD written = 0;
  if (!WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
      written != bytes.size())
    toolkit::RaiseStreamWriteError();
}
