// What the end-to-end tests are given on their command line.
#pragma once

#include <string>

struct E2eOptions {
  std::wstring wizard;      // the built program
  std::wstring undefended;  // the same without its DLL defence
  std::wstring preloading;  // the same as on a Windows 7 without SetDefaultDllDirectories
  std::wstring plantedDll;  // a DLL that marks where it was loaded
  std::wstring payload;     // the package's files it carries
  std::wstring screenshots; // where screenshots go
};
extern E2eOptions options;
