#include "builder/Manifest.h"

namespace {

const char kTemplate[] = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">
  <assemblyIdentity type="win32" name="@IDENTITY@" version="1.0.0.0" processorArchitecture="@ARCHITECTURE@"/>
  <trustInfo xmlns="urn:schemas-microsoft-com:asm.v3">
    <security>
      <requestedPrivileges>
        <requestedExecutionLevel level="@LEVEL@" uiAccess="false"/>
      </requestedPrivileges>
    </security>
  </trustInfo>
  <dependency>
    <dependentAssembly>
      <assemblyIdentity type="win32" name="Microsoft.Windows.Common-Controls" version="6.0.0.0" processorArchitecture="@ARCHITECTURE@" publicKeyToken="6595b64144ccf1df" language="*"/>
    </dependentAssembly>
  </dependency>
  <compatibility xmlns="urn:schemas-microsoft-com:compatibility.v1">
    <application>
      <supportedOS Id="{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"/>
    </application>
  </compatibility>
</assembly>
)";

void ReplaceAll(std::string &text, const std::string &what, const std::string &with) {
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
    text.replace(at, what.size(), with);
}

} // namespace

std::string Manifest(const std::string &identity, const std::string &executionLevel, bool for64BitStub) {
  std::string manifest = kTemplate;
  ReplaceAll(manifest, "@IDENTITY@", identity);
  ReplaceAll(manifest, "@LEVEL@", executionLevel);
  ReplaceAll(manifest, "@ARCHITECTURE@", for64BitStub ? "amd64" : "X86");
  return manifest;
}
