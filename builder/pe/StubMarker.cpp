#include "builder/pe/StubMarker.h"

#include "builder/pe/ResourceTree.h"
#include "resources/PackageFormat.h"

#include <algorithm>
#include <string>

namespace {

// The number the marker's text names, which the resource compiler writes
// into the stub: it must be the format this makewizard builds from.
constexpr unsigned long NumberIn(const char *text) {
  unsigned long number = 0;
  for (; *text; ++text)
    if (*text >= '0' && *text <= '9')
      number = number * 10 + static_cast<unsigned long>(*text - '0');
  return number;
}
static_assert(NumberIn(WIZARD_STUB_MARKER) == WIZARD_STUB_FORMAT);

} // namespace

StubMarker ReadStubMarker(const ResourceTree &tree) {
  const ResourceData *marker = tree.Find(ResourceId::Ordinal(PACKAGE_RESOURCE_TYPE),
                                         ResourceId::Named(WIZARD_STUB_MARKER_NAME));
  if (!marker)
    return {StubMarker::State::Absent};
  if (marker->size > 256)
    return {StubMarker::State::Unreadable};
  const Bytes bytes = Contents(*marker);
  const std::string text(bytes.begin(), bytes.end());
  const std::string expected = WIZARD_STUB_MARKER;
  const std::string prefix = expected.substr(0, expected.find_first_of("0123456789"));
  if (text.compare(0, prefix.size(), prefix) != 0 || text.size() < prefix.size() + 2 ||
      text.size() > prefix.size() + 10 || text.back() != '\n')
    return {StubMarker::State::Unreadable};
  const std::string number = text.substr(prefix.size(), text.size() - prefix.size() - 1);
  if (!std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return {StubMarker::State::Unreadable};
  return {StubMarker::State::Known, std::stoul(number)};
}
