// What show says of a wizard's signature: who signed it and when, read
// from it, and whether the signature holds, checked.
#pragma once

#include "builder/signing/Authenticode.h"
#include "builder/signing/Signature.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

// Labelled lines for show's list of facts (the values not yet escaped).
std::vector<std::pair<std::string, std::string>>
SignatureFacts(const Signature &signature, const signing::SignatureCheck &check);

// The closing line about the signature, after the files' (escaped, with
// its full stop); empty for a wizard without one.
std::string SignatureVerdict(const signing::SignatureCheck &check, bool filesIntact);

// show --json's "signature" value; `json` quotes a text as a JSON string.
std::string SignatureJson(const Signature &signature, const signing::SignatureCheck &check,
                          const std::function<std::string(const std::string &)> &json);

// Whether the signature lets show and extract report the wizard as whole.
inline bool SignatureHolds(const signing::SignatureCheck &check) {
  return check.verdict == signing::SignatureCheck::Verdict::Unsigned ||
         check.verdict == signing::SignatureCheck::Verdict::Holds;
}
