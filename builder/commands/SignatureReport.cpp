#include "builder/commands/SignatureReport.h"

#include "builder/base/TextRules.h"
#include "builder/commands/WizardReader.h"

#include <optional>

namespace {

using signing::SignatureCheck;
using signing::SignerCheck;
using signing::Stamp;

// 2026-03-01 12:34:56 UTC, of 2026-03-01T12:34:56Z.
std::string ShownTime(std::string time) {
  if (time.size() != 20)
    return time;
  time[10] = ' ';
  time.pop_back();
  return time + " UTC";
}

std::string Day(const std::string &time) { return time.substr(0, 10); }

const char *StampKind(Signature::Stamp stamp) {
  return stamp == Signature::Stamp::Rfc3161 ? "RFC 3161" : "Authenticode counter-signature";
}

std::string Capitalised(std::string text) {
  if (!text.empty())
    text[0] = AsciiUpper(text[0]);
  return text;
}

std::string Who(const Signature &signature) {
  std::string who =
      signature.commonName.empty() ? "a certificate without a common name" : signature.commonName;
  if (!signature.organisation.empty() && signature.organisation != signature.commonName)
    who += ", " + signature.organisation;
  return who;
}

std::string StampText(const Signature &signature, const SignerCheck *check) {
  switch (signature.stamp) {
  case Signature::Stamp::None:
    return "none: the signature ends when the certificate does" +
           (signature.certificateEnds.empty() ? std::string()
                                              : " (" + ShownTime(signature.certificateEnds) + ")");
  case Signature::Stamp::Unreadable:
    return "present, but it cannot be read (" + signature.stampProblem + ")";
  case Signature::Stamp::Rfc3161:
  case Signature::Stamp::CounterSignature:
    break;
  }
  std::string text = ShownTime(signature.stampTime) + " (" + StampKind(signature.stamp);
  if (check && !check->stamp.signer.empty())
    text += ", by " + check->stamp.signer;
  if (check && check->stamp.kind == Stamp::Kind::None)
    text += ", not checked: the signature cannot be read that far";
  else if (check)
    text += check->stamp.problem.empty() ? ", checks out" : ": " + check->stamp.problem;
  return text + ")";
}

// The signer's certificate up to the last one the signature carries.
std::vector<std::string> ChainLines(const SignerCheck &signer, bool trustChecked) {
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < signer.chain.size(); ++i) {
    const signing::ChainLink &link = signer.chain[i];
    std::string line = link.subject + ", " + Day(link.notBefore) + " to " + Day(link.notAfter) +
                       (link.validAtSigning ? ", valid when signed" : ", NOT valid when signed");
    if (i + 1 == signer.chain.size()) {
      line += signer.endsAtRoot ? ", a root" : ", issued by " + link.issuer + " (not carried)";
      if (trustChecked)
        line += signer.untrusted.empty() ? ": trusted" : ": NOT trusted (" + signer.untrusted + ")";
      else
        line += ": trust not checked";
    }
    lines.push_back(line);
  }
  return lines;
}

} // namespace

std::vector<std::pair<std::string, std::string>> SignatureFacts(const Signature &signature,
                                                                const SignatureCheck &check) {
  std::vector<std::pair<std::string, std::string>> facts;
  switch (signature.state) {
  case Signature::State::Unsigned:
    facts.emplace_back("Signature", "not signed");
    return facts;
  case Signature::State::Unreadable:
    facts.emplace_back("Signature",
                       "signed, but the signature cannot be read (" + signature.problem + ")");
    return facts;
  case Signature::State::Signed:
    break;
  }
  const SignerCheck *primary = check.signatures.empty() ? nullptr : &check.signatures[0];
  facts.emplace_back(
      "Signature",
      "signed by " + Who(signature) +
          (primary && !primary->digest.empty() ? " (" + primary->digest + ")" : std::string()));
  facts.emplace_back("Time stamp", StampText(signature, primary));
  for (std::size_t i = 1; i < check.signatures.size(); ++i) {
    const SignerCheck &nested = check.signatures[i];
    std::string text = "signed by " +
                       (nested.signer.empty() ? "an unnamed signer" : nested.signer) +
                       (nested.digest.empty() ? "" : " (" + nested.digest + ")");
    text += nested.problem.empty() ? ", checks out" : ": " + nested.problem;
    if (nested.stamp.kind != Stamp::Kind::None)
      text += "; time stamp " + ShownTime(nested.stamp.time);
    facts.emplace_back("Nested signature", text);
  }
  if (check.systemTrusted)
    facts.emplace_back("Windows trust", check.systemSays);
  if (primary) {
    const std::vector<std::string> lines = ChainLines(*primary, check.trustChecked);
    for (std::size_t i = 0; i < lines.size(); ++i)
      facts.emplace_back(i == 0 ? "Certificates" : "", lines[i]);
  }
  return facts;
}

std::string SignatureVerdict(const SignatureCheck &check, bool filesIntact) {
  switch (check.verdict) {
  case SignatureCheck::Verdict::Unsigned:
    return "";
  case SignatureCheck::Verdict::Holds:
    return Escaped(Capitalised(check.reason)) + ".";
  case SignatureCheck::Verdict::Unchecked:
    // Nothing found wrong, and nothing proven either.
    return std::string(filesIntact ? "Every file matches the checksums stored beside it, but "
                                   : "And ") +
           Escaped(check.reason) + ".";
  default:
    break;
  }
  return std::string(filesIntact ? "Every file matches the checksums stored beside it, but "
                                 : "And ") +
         Escaped(check.reason) + ". " + kGetAgain;
}

std::string SignatureJson(const Signature &signature, const SignatureCheck &check,
                          const std::function<std::string(const std::string &)> &json) {
  const auto optional = [&](const std::string &text) { return text.empty() ? "null" : json(text); };
  const bool holds = check.verdict == SignatureCheck::Verdict::Holds;
  std::string out;
  switch (signature.state) {
  case Signature::State::Unsigned:
    return "null";
  case Signature::State::Unreadable:
    out = "{\"signer\": null, \"problem\": " + json(signature.problem);
    break;
  case Signature::State::Signed: {
    std::string stamp = "null";
    if (signature.stamp == Signature::Stamp::Unreadable)
      stamp = "{\"time\": null, \"problem\": " + json(signature.stampProblem) + "}";
    else if (signature.stamp != Signature::Stamp::None) {
      stamp = "{\"time\": " + json(signature.stampTime) +
              ", \"kind\": " + json(StampKind(signature.stamp));
      if (!check.signatures.empty())
        stamp += ", \"authority\": " + optional(check.signatures[0].stamp.signer) +
                 ", \"problem\": " + optional(check.signatures[0].stamp.problem);
      stamp += "}";
    }
    out = "{\"signer\": " + optional(signature.commonName) +
          ", \"organisation\": " + optional(signature.organisation) +
          ", \"certificate_ends\": " + optional(signature.certificateEnds) +
          ", \"time_stamp\": " + stamp;
    break;
  }
  }
  if (check.systemTrusted)
    out += std::string(", \"windows_trust\": {\"trusted\": ") +
           (*check.systemTrusted ? "true" : "false") + ", \"says\": " + json(check.systemSays) +
           "}";
  out += std::string(", \"verified\": ") + (holds ? "true" : "false") +
         ", \"verdict\": " + json(signing::VerdictKey(check.verdict)) +
         ", \"reason\": " + optional(check.reason) + ", \"outside\": [";
  for (std::size_t i = 0; i < check.outside.size(); ++i)
    out += std::string(i ? ", " : "") + "{\"where\": " + json(check.outside[i].what) +
           ", \"bytes\": " + std::to_string(check.outside[i].bytes) + "}";
  out += "], \"signatures\": [";
  for (std::size_t i = 0; i < check.signatures.size(); ++i) {
    const SignerCheck &one = check.signatures[i];
    out += std::string(i ? ", " : "") + "{\"nested\": " + (one.nested ? "true" : "false") +
           ", \"signer\": " + optional(one.signer) + ", \"digest\": " + optional(one.digest) +
           ", \"signed_digest\": " + optional(one.signedDigest) +
           ", \"file_digest\": " + optional(one.fileDigest) +
           ", \"problem\": " + optional(one.problem) + ", \"chain\": [";
    for (std::size_t j = 0; j < one.chain.size(); ++j) {
      const signing::ChainLink &link = one.chain[j];
      out += std::string(j ? ", " : "") + "{\"subject\": " + json(link.subject) +
             ", \"issuer\": " + json(link.issuer) + ", \"not_before\": " + json(link.notBefore) +
             ", \"not_after\": " + json(link.notAfter) +
             ", \"valid_when_signed\": " + (link.validAtSigning ? "true" : "false") + "}";
    }
    out += std::string("], \"ends_at_root\": ") + (one.endsAtRoot ? "true" : "false") +
           ", \"trusted\": " +
           (check.trustChecked ? one.untrusted.empty() ? "true" : "false" : "null") + "}";
  }
  return out + "]}";
}
