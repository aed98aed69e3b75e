#include "builder/pe/Manifest.h"

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
  for (std::size_t at = text.find(what); at != std::string::npos;
       at = text.find(what, at + with.size()))
    text.replace(at, what.size(), with);
}

} // namespace

std::string Manifest(const std::string &identity, const std::string &executionLevel,
                     bool for64BitStub) {
  std::string manifest = kTemplate;
  ReplaceAll(manifest, "@IDENTITY@", identity);
  ReplaceAll(manifest, "@LEVEL@", executionLevel);
  ReplaceAll(manifest, "@ARCHITECTURE@", for64BitStub ? "amd64" : "X86");
  return manifest;
}

std::optional<std::string> ManifestIdentity(const std::string &manifest) {
  const std::size_t element = manifest.find("<assemblyIdentity");
  if (element == std::string::npos)
    return std::nullopt;
  const std::string tag = manifest.substr(element, manifest.find('>', element) - element);
  const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  for (std::size_t at = tag.find("name"); at != std::string::npos; at = tag.find("name", at + 4)) {
    std::size_t i = at + 4;
    while (i < tag.size() && space(tag[i]))
      ++i;
    // The attribute itself, not the end of another's name.
    if (!space(tag[at - 1]) || i >= tag.size() || tag[i++] != '=')
      continue;
    while (i < tag.size() && space(tag[i]))
      ++i;
    const std::size_t end = i < tag.size() ? tag.find(tag[i], i + 1) : std::string::npos;
    if (end == std::string::npos || (tag[i] != '"' && tag[i] != '\''))
      return std::nullopt;
    return tag.substr(i + 1, end - i - 1);
  }
  return std::nullopt;
}
