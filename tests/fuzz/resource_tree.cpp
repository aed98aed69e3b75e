// A resource directory read from a file as the builder reads a stub's, then
// laid out again as a build lays it out.
#include "InputFile.h"
#include "builder/pe/PeImage.h"
#include "builder/pe/ResourceTree.h"
#include "builder/pe/StubMarker.h"
#include "builder/platform/Platform.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  platform::File file = platform::File::OpenRead(InputFile(data, size));
  constexpr std::uint32_t kRva = 0x1000;
  const std::uint32_t length = static_cast<std::uint32_t>(size);
  const Section section{".rsrc", length, kRva, length, 0, 0};
  try {
    const ResourceTree tree = ResourceTree::Read(file, section, kRva);
    ReadStubMarker(tree);
    tree.Lay(kRva);
    for (const ResourceData &resource : tree.Data())
      Contents(resource);
  } catch (const ResourceTree::Damaged &) {
  }
  return 0;
}
