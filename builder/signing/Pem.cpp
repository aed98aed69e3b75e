#include "builder/signing/Pem.h"

#include "builder/signing/Certificate.h"

namespace signing {

namespace {

const std::string kBegin = "-----BEGIN CERTIFICATE-----";
const std::string kEnd = "-----END CERTIFICATE-----";
// Far above the few roots a CA publishes, and above a whole system list.
constexpr std::size_t kMostCertificates = 1000;

int Sextet(char c) {
  if (c >= 'A' && c <= 'Z')
    return c - 'A';
  if (c >= 'a' && c <= 'z')
    return c - 'a' + 26;
  if (c >= '0' && c <= '9')
    return c - '0' + 52;
  return c == '+' ? 62 : c == '/' ? 63 : -1;
}

Bytes Base64(const std::string &text, std::size_t number) {
  Bytes out;
  std::uint32_t bits = 0;
  int count = 0, padding = 0;
  for (const char c : text) {
    if (c == '\r' || c == '\n' || c == ' ' || c == '\t')
      continue;
    if (c == '=') {
      ++padding;
      continue;
    }
    const int value = Sextet(c);
    if (value < 0 || padding)
      throw NotPem("certificate " + std::to_string(number) +
                   " holds a character that is not base64");
    bits = bits << 6 | static_cast<std::uint32_t>(value);
    if (++count % 4 == 0) {
      out.push_back(static_cast<std::uint8_t>(bits >> 16));
      out.push_back(static_cast<std::uint8_t>(bits >> 8));
      out.push_back(static_cast<std::uint8_t>(bits));
      bits = 0;
    }
  }
  const int left = count % 4;
  if (left == 1 || padding > 2 || (padding && left + padding != 4))
    throw NotPem("certificate " + std::to_string(number) + " is cut short");
  if (left == 2)
    out.push_back(static_cast<std::uint8_t>(bits >> 4));
  if (left == 3) {
    out.push_back(static_cast<std::uint8_t>(bits >> 10));
    out.push_back(static_cast<std::uint8_t>(bits >> 2));
  }
  return out;
}

} // namespace

std::vector<Bytes> ReadPemCertificates(const std::string &text) {
  std::vector<Bytes> certificates;
  for (std::size_t at = text.find(kBegin); at != std::string::npos; at = text.find(kBegin, at)) {
    const std::size_t number = certificates.size() + 1;
    if (number > kMostCertificates)
      throw NotPem("it holds more than " + std::to_string(kMostCertificates) + " certificates");
    const std::size_t start = at + kBegin.size();
    const std::size_t end = text.find(kEnd, start);
    if (end == std::string::npos)
      throw NotPem("certificate " + std::to_string(number) + " has no " + kEnd + " line");
    const Bytes der = Base64(text.substr(start, end - start), number);
    try {
      der::Reader reader(der.data(), der.size());
      ReadCertificate(reader.Expect(der::kSequence, "a certificate"));
      reader.ExpectEnd("the certificate");
    } catch (const der::Malformed &error) {
      throw NotPem("certificate " + std::to_string(number) + " is not an X.509 certificate (" +
                   error.what() + ")");
    }
    certificates.push_back(der);
    at = end + kEnd.size();
  }
  if (certificates.empty())
    throw NotPem("it holds no certificate (no " + kBegin + " line)");
  return certificates;
}

} // namespace signing
