// The program's manifest (RT_MANIFEST 1): its identity, the execution level
// it asks for, the common controls it uses and the Windows it knows.
#pragma once

#include <optional>
#include <string>

// Owners' wizards ask for administrator rights; the tests' run as invoked.
inline constexpr const char *kExecutionLevels[] = {"asInvoker", "highestAvailable",
                                                   "requireAdministrator"};
inline constexpr const char *kDefaultExecutionLevel = "requireAdministrator";

// `identity` holds only letters, digits, ".", "-" and "_": nothing in it
// needs escaping.
std::string Manifest(const std::string &identity, const std::string &executionLevel,
                     bool for64BitStub);

// The name of a manifest's own identity (its first assemblyIdentity, before
// those of the assemblies it depends on).
std::optional<std::string> ManifestIdentity(const std::string &manifest);
