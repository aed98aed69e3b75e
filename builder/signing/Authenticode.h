// Whether a program's Authenticode signature holds: the file's digest is
// the one the signature signs, the signer's signature over it is made with
// its certificate's key, each nested signature and time stamp checks out
// against what it signs, and nothing lies outside the signature where
// Windows would not look. Whether the signer is to be trusted is a separate
// question: the chain is listed, and checked against roots given.
#pragma once

#include "builder/base/Bytes.h"

#include <optional>
#include <string>
#include <vector>

namespace signing {

struct Stamp {
  enum class Kind { None, Rfc3161, CounterSignature } kind = Kind::None;
  std::string time;         // 2026-03-01T12:34:56Z
  std::string signer;       // the time-stamp authority
  std::string problem;      // empty: it checks out against the signature it stamps
  bool unsupported = false; // the problem: an algorithm makewizard does not check
};

// One certificate of a chain, the signer's first.
struct ChainLink {
  std::string subject, issuer, notBefore, notAfter;
  // Whether the signing time (the time stamp's, or now) lies within it.
  bool validAtSigning = false;
};

struct SignerCheck {
  bool nested = false;
  std::string digest;                   // the file digest's algorithm: "SHA-256"
  std::string signedDigest, fileDigest; // hex; empty where unread
  std::string signer;                   // the signer's certificate's subject
  std::string certificateEnds;          // its notAfter
  std::string problem;                  // empty: the signature checks out
  bool unsupported = false;             // the problem: an algorithm makewizard does not check
  Stamp stamp;
  std::vector<ChainLink> chain;
  // Where the chain ends: a root (self-signed), or the last certificate
  // whose issuer the signature does not carry.
  bool endsAtRoot = false;
  // With roots to trust: whether the chain ends at one of them, and if
  // not, why.
  std::string untrusted;
};

// Bytes of the file that no signature covers, by where they are.
struct Outside {
  std::string what;
  std::uint64_t bytes = 0;
};

struct SignatureCheck {
  enum class Verdict {
    Unsigned,
    Holds,
    ChangedAfterSigning,    // the digest differs and the PE checksum no longer fits
    SignedForOtherContents, // the digest differs, the file otherwise consistent
    BytesOutside,
    DoesNotVerify,
    Unchecked, // an algorithm makewizard does not check
  } verdict = Verdict::Unsigned;
  // Holds: what checks out; otherwise what is wrong. One sentence without
  // its full stop, starting in lower case.
  std::string reason;
  std::vector<Outside> outside;
  std::vector<SignerCheck> signatures; // the primary first, then nested ones
  bool trustChecked = false;
  // What the system says of it, where it has a say (Windows).
  std::optional<bool> systemTrusted;
  std::string systemSays;
};

// "holds", "changed_after_signing", ... for --json.
const char *VerdictKey(SignatureCheck::Verdict verdict);

// The signature of the program at `path` (absolute), checked; `trusted`,
// DER certificates whose chains to trust (none: trust is not checked).
// Throws platform::SystemError when the file cannot be read; a file that
// is no PE program is unsigned here (the reader says what it is).
SignatureCheck CheckSignature(const std::string &path, const std::vector<Bytes> &trusted = {});

} // namespace signing
