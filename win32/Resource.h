// The program's own resources, read in place where the loader mapped them.
#pragma once

#include <windows.h>

#include <cstddef>
#include <optional>
#include <span>

namespace win32 {

// The bytes of the program's resource of that type and name (either may be
// a MAKEINTRESOURCEW number); nothing when the program has no such
// resource. Loaded resources live as long as the module: nothing to free.
std::optional<std::span<const std::byte>> ModuleResource(LPCWSTR type, LPCWSTR name);
// In how many languages the program holds that resource: Windows picks one
// of them by the user's interface language.
std::size_t ModuleResourceLanguages(LPCWSTR type, LPCWSTR name);

} // namespace win32
