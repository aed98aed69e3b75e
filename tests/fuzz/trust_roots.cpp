// show --trust's reader on any file: PEM blocks, base64 and each
// certificate's DER.
#include "builder/signing/Pem.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  try {
    signing::ReadPemCertificates(std::string(reinterpret_cast<const char *>(data), size));
  } catch (const signing::NotPem &) {
    // A refusal; anything else thrown is a fault.
  }
  return 0;
}
