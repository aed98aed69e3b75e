// Who signed a program and when, as its Authenticode certificate table
// says: a WIN_CERTIFICATE holding PKCS#7 SignedData in DER, whose signer's
// certificate names its subject and its end, and whose signer info may
// carry a time stamp. Nothing is verified here: signing/Authenticode.h
// checks the signature.
#pragma once

#include "builder/base/Bytes.h"

#include <string>

struct Signature {
  enum class State { Unsigned, Signed, Unreadable } state = State::Unsigned;
  // Signed: the subject's common name and organisation (UTF-8; either may
  // be empty when the certificate has none).
  std::string commonName;
  std::string organisation;
  // Signed: when the signer's certificate ends, as 2027-03-01T00:00:00Z
  // (empty when its validity cannot be read).
  std::string certificateEnds;
  // Signed: the time stamp, an RFC 3161 token or an older Authenticode
  // counter-signature, and the time it gives (as above), or why it cannot
  // be read.
  enum class Stamp { None, Rfc3161, CounterSignature, Unreadable } stamp = Stamp::None;
  std::string stampTime;
  std::string stampProblem;
  // Unreadable: why.
  std::string problem;
};

// `table`: the bytes the security directory points to.
Signature ReadSignature(const Bytes &table);
