// A bounds-checked reader of DER, the encoding of every structure in an
// Authenticode signature. Each element is a view into the caller's bytes;
// anything that is not DER (a length past its container, an indefinite or
// overlong length, a tag number beyond 30) throws der::Malformed, whose
// what() says what, for a message that names the file.
#pragma once

#include "builder/base/Bytes.h"

#include <optional>
#include <stdexcept>
#include <string>

namespace der {

struct Malformed : std::runtime_error {
  using std::runtime_error::runtime_error;
};

enum Tag : std::uint8_t {
  kBoolean = 0x01,
  kInteger = 0x02,
  kBitString = 0x03,
  kOctetString = 0x04,
  kNull = 0x05,
  kOid = 0x06,
  kUtcTime = 0x17,
  kGeneralizedTime = 0x18,
  kSequence = 0x30,
  kSet = 0x31,
  kContext0 = 0xA0,
  kContext1 = 0xA1,
  kContext2 = 0xA2,
  kContext3 = 0xA3,
  kImplicit0 = 0x80, // [0] IMPLICIT of a primitive type
};

// One element: its tag, its content, and its whole encoding.
struct Element {
  std::uint8_t tag = 0;
  const std::uint8_t *content = nullptr;
  std::size_t size = 0;
  const std::uint8_t *whole = nullptr;
  std::size_t wholeSize = 0;
  Bytes Content() const { return Bytes(content, content + size); }
  Bytes Whole() const { return Bytes(whole, whole + wholeSize); }
  bool Is(const Bytes &oid) const {
    return tag == kOid && size == oid.size() && std::equal(oid.begin(), oid.end(), content);
  }
};

// The elements one after another in a span of DER.
class Reader {
public:
  Reader(const std::uint8_t *data, std::size_t size) : at_(data), end_(data + size) {}
  explicit Reader(const Element &element) : Reader(element.content, element.size) {}
  bool AtEnd() const { return at_ == end_; }
  // Where the next element starts: what follows the last one read.
  const std::uint8_t *Position() const { return at_; }

  Element Next() {
    Element element;
    element.whole = at_;
    if (end_ - at_ < 2)
      throw Malformed("an element is cut short");
    element.tag = *at_++;
    if ((element.tag & 0x1F) == 0x1F)
      throw Malformed("an element has a tag number beyond 30");
    std::size_t length = *at_++;
    if (length & 0x80) {
      const int bytes = length & 0x7F;
      // 0x80 would be BER's indefinite length, which DER does not allow.
      if (bytes == 0 || bytes > 4 || end_ - at_ < bytes || *at_ == 0)
        throw Malformed("an element's length is not DER");
      length = 0;
      for (int i = 0; i < bytes; ++i)
        length = length << 8 | *at_++;
      if (length < 0x80)
        throw Malformed("an element's length is not DER");
    }
    if (length > static_cast<std::size_t>(end_ - at_))
      throw Malformed("an element runs past its container");
    element.content = at_;
    element.size = length;
    at_ += length;
    element.wholeSize = static_cast<std::size_t>(at_ - element.whole);
    return element;
  }

  // `what` names the element for the message: "it lacks the signer's digest algorithm".
  Element Expect(std::uint8_t tag, const std::string &what) {
    if (AtEnd() || *at_ != tag)
      throw Malformed("it lacks " + what);
    return Next();
  }

  std::optional<Element> Optional(std::uint8_t tag) {
    if (AtEnd() || *at_ != tag)
      return std::nullopt;
    return Next();
  }

  void ExpectEnd(const std::string &what) {
    if (!AtEnd())
      throw Malformed(what + " has more in it than it may");
  }

private:
  const std::uint8_t *at_;
  const std::uint8_t *end_;
};

// The bits of a BIT STRING that has no unused bits (keys and signatures).
inline Element Bits(const Element &bitString, const std::string &what) {
  if (bitString.tag != kBitString || bitString.size < 1 || bitString.content[0] != 0)
    throw Malformed(what + " is not a whole number of bytes");
  Element bits = bitString;
  ++bits.content;
  --bits.size;
  return bits;
}

// A non-negative INTEGER without its sign byte, as the key's number.
inline Bytes Unsigned(const Element &integer, const std::string &what) {
  if (integer.tag != kInteger || integer.size == 0 || integer.content[0] & 0x80)
    throw Malformed(what + " is not a positive integer");
  const std::uint8_t *at = integer.content, *end = integer.content + integer.size;
  while (end - at > 1 && *at == 0)
    ++at;
  return Bytes(at, end);
}

} // namespace der
