// Who signed a program, as its Authenticode certificate table says: a
// WIN_CERTIFICATE holding PKCS#7 SignedData in DER, whose signer's
// certificate names its subject. Nothing is verified here (no digest, no
// chain, no time stamp): signtool and osslsigncode do that.
#pragma once

#include "builder/Bytes.h"

#include <string>

struct Signature {
  enum class State { Unsigned, Signed, Unreadable } state = State::Unsigned;
  // Signed: the subject's common name and organisation (UTF-8; either may
  // be empty when the certificate has none).
  std::string commonName;
  std::string organisation;
  // Unreadable: why.
  std::string problem;
};

// `table`: the bytes the security directory points to.
Signature ReadSignature(const Bytes &table);
