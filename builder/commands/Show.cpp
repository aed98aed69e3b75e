#include "builder/commands/Show.h"

#include "builder/base/Refusal.h"
#include "builder/base/TextRules.h"
#include "builder/base/Utf.h"
#include "builder/commands/SignatureReport.h"
#include "builder/commands/WizardReader.h"
#include "builder/package/PayloadCeilings.h"
#include "builder/platform/Platform.h"
#include "builder/platform/PublicKey.h"
#include "builder/signing/Pem.h"

#include <algorithm>
#include <cstdio>

namespace {

struct Checked {
  std::uint64_t size = 0;
  std::optional<Digest> digest;
  std::string state; // "intact", "damaged" or "missing"
  std::string mismatch;
};

// Invisible characters escaped too: the JSON reads the same to a program,
// and a terminal it is printed on gets nothing to act on.
std::string Json(const std::string &text) {
  std::string out = "\"";
  for (std::size_t at = 0; at < text.size();) {
    // The wizard's texts are valid UTF-8 by now; a stray byte shows as U+FFFD.
    const std::size_t length = std::max<std::size_t>(Utf8Length(text, at), 1);
    const std::u32string code = DecodeUtf8(text.substr(at, length));
    const char32_t c = code.empty() ? 0xFFFD : code[0];
    if (c == U'"' || c == U'\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (IsInvisible(c)) {
      for (const char16_t unit : EncodeUtf16(std::u32string(1, c))) {
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(unit));
        out += escape;
      }
    } else {
      out += code.empty() ? "\xEF\xBF\xBD" : text.substr(at, length);
    }
    at += length;
  }
  return out + "\"";
}

std::string Json(const std::optional<std::string> &text) { return text ? Json(*text) : "null"; }

struct Agreement {
  std::string firstLine;
  std::size_t lines = 0;
};

// Lines as the wizard's text box shows them: each ends at CR LF (or a lone
// CR or LF, which the builder never stores).
Agreement Lines(const std::string &text) {
  Agreement agreement;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = std::min(text.find_first_of("\r\n", start), text.size());
    if (!agreement.lines++)
      agreement.firstLine = text.substr(start, end - start);
    start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  }
  return agreement;
}

// At most `count` characters, whole ones; only those are decoded.
std::string Shortened(const std::string &text, std::size_t count) {
  std::size_t end = 0, kept = 0, characters = 0;
  for (; end < text.size() && characters <= count; ++characters) {
    if (characters + 1 == count)
      kept = end;
    end += std::max<std::size_t>(Utf8Length(text, end), 1);
  }
  if (characters <= count)
    return text;
  return text.substr(0, kept) + "…";
}

std::optional<std::string> VersionString(const Wizard &wizard, const char *key) {
  if (!wizard.version)
    return std::nullopt;
  const auto found = wizard.version->strings.find(key);
  if (found == wizard.version->strings.end())
    return std::nullopt;
  return found->second;
}

std::optional<std::string> Versioned(const Wizard &wizard, const char *key,
                                     std::string VersionFacts::*fixed) {
  if (const auto text = VersionString(wizard, key))
    return text;
  if (wizard.version && !(*wizard.version.*fixed).empty())
    return *wizard.version.*fixed;
  return std::nullopt;
}

// The owner's texts and the versions: labelled for people, keyed for JSON.
struct Text {
  const char *label;
  const char *key;
  std::optional<std::string> value;
};

std::vector<Text> Texts(const Wizard &wizard) {
  return {{"Company name", "company_name", VersionString(wizard, "CompanyName")},
          {"Copyright", "legal_copyright", VersionString(wizard, "LegalCopyright")},
          {"Identity name", "identity_name", wizard.identityName},
          {"Product", "product_name", VersionString(wizard, "ProductName")},
          {"Product version", "product_version",
           Versioned(wizard, "ProductVersion", &VersionFacts::productVersion)},
          {"File version", "file_version",
           Versioned(wizard, "FileVersion", &VersionFacts::fileVersion)}};
}

std::string MadeBy(const Wizard &wizard) {
  return wizard.format ? "makewizard " + std::to_string(*wizard.format)
                       : "the build before makewizard";
}

std::string Padded(std::string text, std::size_t width) {
  // Widths count characters; the names and labels are ASCII.
  text.resize(std::max(text.size(), width), ' ');
  return text;
}

std::string IconText(const std::vector<IconSize> &icon) {
  if (icon.empty())
    return "none";
  const bool oneDepth = std::all_of(icon.begin(), icon.end(), [&](const IconSize &size) {
    return size.bitCount == icon[0].bitCount;
  });
  // One line, however many images a damaged directory lists.
  constexpr std::size_t kListed = 12;
  const std::size_t listed = icon.size() > kListed ? kListed - 1 : icon.size();
  std::string text;
  for (std::size_t i = 0; i < listed; ++i) {
    text += i == 0 ? "" : oneDepth && i + 1 == icon.size() ? " and " : ", ";
    text += std::to_string(icon[i].width) + "x" + std::to_string(icon[i].height);
    if (!oneDepth)
      text += " at " + std::to_string(icon[i].bitCount) + " bpp";
  }
  if (listed < icon.size())
    text += " and " + std::to_string(icon.size() - listed) + " more";
  return oneDepth ? text + " at " + std::to_string(icon[0].bitCount) + " bits per pixel" : text;
}

// Whether the package is above what a 32-bit wizard can map on 32-bit
// Windows (only a build with --for-64bit-windows-only makes one); nothing
// for a 64-bit wizard, which never runs there.
std::optional<std::uint64_t> MiBAbove32BitCeiling(const Wizard &wizard) {
  if (wizard.is64Bit)
    return std::nullopt;
  std::uint64_t total = 0;
  for (const WizardItem &item : wizard.items)
    total += item.data ? item.data->size : 0;
  if (total <= kPe32CeilingMiB * kMiB)
    return std::nullopt;
  return (total + kMiB - 1) / kMiB;
}

void PrintText(const Wizard &wizard, const std::vector<Checked> &checked,
               const signing::SignatureCheck &check) {
  std::string out = platform::Shown(wizard.path) + ": a " + (wizard.is64Bit ? "64" : "32") +
                    "-bit wizard made by " + MadeBy(wizard) + "\n\n";
  std::size_t nameWidth = 0, sizeWidth = 0;
  for (std::size_t i = 0; i < checked.size(); ++i) {
    nameWidth = std::max(nameWidth, wizard.items[i].name.size());
    sizeWidth = std::max(sizeWidth, WithThousands(checked[i].size).size());
  }
  std::vector<std::string> damaged;
  for (std::size_t i = 0; i < checked.size(); ++i) {
    const WizardItem &item = wizard.items[i];
    const std::string size = WithThousands(checked[i].size);
    out += "  " + Padded(item.name, nameWidth) + "  " + std::string(sizeWidth - size.size(), ' ') +
           size + " bytes  " + checked[i].state + "\n";
    if (!checked[i].digest) {
      out += "      the wizard lacks it\n";
    } else {
      out += "      SHA-256 " + Hex(*checked[i].digest) + "\n";
      if (!wizard.digestsProblem.empty())
        out += "      " + wizard.digestsProblem + "\n";
      else if (*checked[i].digest != wizard.digests[i])
        out += "      stored  " + Hex(wizard.digests[i]) + "\n";
      else if (!checked[i].mismatch.empty())
        out += "      " + checked[i].mismatch + "\n";
    }
    if (checked[i].state != "intact")
      damaged.push_back(item.name + " is " + checked[i].state);
  }
  std::vector<Text> facts = Texts(wizard);
  const Agreement agreement = Lines(wizard.agreement.value_or(""));
  facts.push_back({"Agreement", "", std::nullopt});
  if (wizard.agreement)
    facts.back().value = std::to_string(agreement.lines) + " lines, the first: \"" +
                         Shortened(agreement.firstLine, 60) + "\"";
  facts.push_back({"Icon", "", IconText(wizard.icon)});
  // Kept for the labels, which the facts point to.
  const auto signatureFacts = SignatureFacts(wizard.signature, check);
  for (const auto &[label, text] : signatureFacts)
    facts.push_back({label.c_str(), "", text});
  if (const auto mib = MiBAbove32BitCeiling(wizard))
    facts.push_back({"32-bit Windows", "",
                     "will not start it: its files come to " + WithThousands(*mib) +
                         " MiB, above the " + WithThousands(kPe32CeilingMiB) +
                         " MiB a wizard can map there"});
  out += "\n";
  for (const Text &fact : facts)
    // Shown as they are, but never as characters a terminal would act on or hide.
    out += Padded(fact.label, 17) + Escaped(fact.value.value_or("none")) + "\n";
  out += "\n";
  const std::string verdict = SignatureVerdict(check, damaged.empty());
  if (damaged.empty() && !SignatureHolds(check)) {
    out += verdict;
  } else if (damaged.empty()) {
    out += "Every file is intact." + (verdict.empty() ? "" : "\n" + verdict);
  } else {
    std::string names;
    for (std::size_t i = 0; i < damaged.size(); ++i)
      names += (i == 0 ? "" : i + 1 == damaged.size() ? " and " : ", ") + damaged[i];
    out += names + ", so the wizard would refuse to deliver its package. " + kGetAgain;
    if (!SignatureHolds(check))
      out += "\n" + verdict;
  }
  platform::PrintOut(out);
}

void PrintJson(const Wizard &wizard, const std::vector<Checked> &checked, bool intact,
               const signing::SignatureCheck &check) {
  std::string out = "{\n  \"path\": " + Json(wizard.path) + ",\n";
  out += "  \"made_by\": " + Json(MadeBy(wizard)) + ",\n";
  out += "  \"stub_format\": " + (wizard.format ? std::to_string(*wizard.format) : "null") + ",\n";
  out += "  \"bits\": " + std::string(wizard.is64Bit ? "64" : "32") + ",\n";
  out += "  \"intact\": " + std::string(intact ? "true" : "false") + ",\n";
  out += "  \"above_32bit_ceiling\": " +
         std::string(wizard.is64Bit                 ? "null"
                     : MiBAbove32BitCeiling(wizard) ? "true"
                                                    : "false") +
         ",\n  \"files\": [";
  for (std::size_t i = 0; i < checked.size(); ++i) {
    out += std::string(i ? "," : "") + "\n    {\"name\": " + Json(wizard.items[i].name) +
           ", \"size\": " + std::to_string(checked[i].size) +
           ", \"state\": " + Json(checked[i].state) + ", \"sha256\": " +
           Json(checked[i].digest ? std::optional<std::string>(Hex(*checked[i].digest))
                                  : std::nullopt) +
           ", \"stored_sha256\": " +
           Json(wizard.digests.empty() ? std::nullopt
                                       : std::optional<std::string>(Hex(wizard.digests[i]))) +
           "}";
  }
  out += "\n  ],\n";
  for (const Text &text : Texts(wizard))
    out += "  \"" + std::string(text.key) + "\": " + Json(text.value) + ",\n";
  if (wizard.agreement) {
    const Agreement agreement = Lines(*wizard.agreement);
    out += "  \"agreement\": {\"first_line\": " + Json(agreement.firstLine) +
           ", \"lines\": " + std::to_string(agreement.lines) + "},\n";
  } else {
    out += "  \"agreement\": null,\n";
  }
  out += "  \"icon\": [";
  for (std::size_t i = 0; i < wizard.icon.size(); ++i)
    out += std::string(i ? ", " : "") + "{\"width\": " + std::to_string(wizard.icon[i].width) +
           ", \"height\": " + std::to_string(wizard.icon[i].height) +
           ", \"bits_per_pixel\": " + std::to_string(wizard.icon[i].bitCount) + "}";
  out += "],\n  \"signature\": ";
  out += SignatureJson(wizard.signature, check, [](const std::string &text) { return Json(text); });
  out += "\n}";
  platform::PrintOut(out);
}

// The certificates of a --trust file; none without one.
std::vector<Bytes> TrustedRoots(const std::string &argument) {
  if (argument.empty())
    return {};
  const std::string path = platform::AbsolutePath(argument);
  // A CA's roots are a few KiB; a system's whole list under 1 MiB.
  constexpr std::uint64_t kMostTrustBytes = 4 << 20;
  std::string text;
  try {
    platform::File file = platform::File::OpenRead(path);
    if (file.Size() > kMostTrustBytes)
      throw signing::NotPem("it is larger than 4 MiB");
    text.resize(static_cast<std::size_t>(file.Size()));
    file.ReadAt(0, reinterpret_cast<std::uint8_t *>(text.data()), text.size());
  } catch (const platform::SystemError &error) {
    throw signing::NotPem(std::string("it cannot be read (") + error.what() + ")");
  }
  return signing::ReadPemCertificates(text);
}

} // namespace

int ShowWizard(const std::string &argument, bool json, const std::string &trust) {
  const std::string path = platform::AbsolutePath(argument);
  const auto fail = [&](const std::string &message, ExitStatus status = kNotAWizard) {
    platform::PrintError(message);
    if (json)
      platform::PrintOut("{\n  \"path\": " + Json(path) + ",\n  \"error\": " + Json(message) +
                         "\n}");
    return status;
  };
  try {
    const Wizard wizard = Wizard::Open(path);
    std::vector<Checked> checked;
    bool intact = true;
    for (std::size_t i = 0; i < wizard.items.size(); ++i) {
      const WizardItem &item = wizard.items[i];
      Checked check{item.data ? item.data->size : 0, std::nullopt, "missing", ""};
      if (item.data) {
        const ItemSums sums = wizard.Read(item, nullptr);
        check.digest = sums.sha256;
        check.mismatch = wizard.Mismatch(i, sums);
        check.state = check.mismatch.empty() ? "intact" : "damaged";
      }
      intact = intact && check.state == "intact";
      checked.push_back(check);
    }
    signing::SignatureCheck signature = signing::CheckSignature(path, TrustedRoots(trust));
    if (signature.verdict != signing::SignatureCheck::Verdict::Unsigned)
      if (const auto system = platform::SystemTrustOf(path)) {
        signature.systemTrusted = system->trusted;
        signature.systemSays = system->says;
      }
    if (json)
      PrintJson(wizard, checked, intact, signature);
    else
      PrintText(wizard, checked, signature);
    return intact && SignatureHolds(signature) ? kIntact : kDamaged;
  } catch (const NotAWizard &error) {
    return fail(error.what(), StatusOf(error));
  } catch (const signing::NotPem &error) {
    return fail(platform::Shown(platform::AbsolutePath(trust)) +
                " cannot be used with --trust: " + error.what() +
                ". Name a PEM file of the root certificates to trust (text beginning "
                "-----BEGIN CERTIFICATE-----).");
  } catch (const platform::SystemError &error) {
    return fail(CannotRead(platform::Shown(path), error.what()));
  } catch (const std::exception &error) {
    // A fault of makewizard's own: the JSON says so, and it goes on to the
    // caller, so that it is never taken for a refusal (a fuzz target's
    // finding among them).
    if (json)
      platform::PrintOut("{\n  \"path\": " + Json(path) + ",\n  \"error\": " +
                         Json("makewizard failed: " + std::string(error.what())) + "\n}");
    throw;
  }
}
