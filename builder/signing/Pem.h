// Certificates as PEM text (-----BEGIN CERTIFICATE----- blocks of base64),
// the form CAs publish their roots in and `--trust` takes.
#pragma once

#include "builder/base/Bytes.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace signing {

// Why a PEM file cannot be used: what() says what, for a message that
// names the file.
struct NotPem : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The DER of each certificate, in order, each checked as one. Throws NotPem.
std::vector<Bytes> ReadPemCertificates(const std::string &text);

} // namespace signing
