#include "builder/package/PackageCmake.h"

#include "builder/base/Refusal.h"
#include "builder/base/TextRules.h"
#include "builder/base/Utf.h"

#include <algorithm>
#include <vector>

namespace {

const char kSaveAsUtf8[] =
    "makewizard reads package.cmake as UTF-8 only. Save it as UTF-8 (in Notepad: Save As, "
    "Encoding UTF-8).";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsAlnum(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}
bool IsNameChar(char c) { return IsAlnum(c) || c == '_'; }

std::string Where(const std::string &path, std::size_t number) {
  return path + " line " + std::to_string(number);
}

class Line {
public:
  Line(const std::string &path, std::size_t number, const std::string &text)
      : where_(Where(path, number)), text_(text) {}

  // The line's setting, or false for a comment or a blank line.
  bool Read(std::string &name, std::string &value) {
    SkipBlanks();
    if (AtEnd())
      return false;
    if (Peek() == '#') {
      if (OpensBracketComment())
        throw Refusal(where_ +
                      " opens a bracket comment (#[[ ... ]]), which makewizard does not read: "
                      "begin each comment line with # instead.");
      return false;
    }
    std::string command;
    while (!AtEnd() && IsNameChar(Peek()))
      command += AsciiLower(Take());
    SkipBlanks();
    if (command != "set" || !Accept('('))
      NotASetting();
    SkipBlanks();
    while (!AtEnd() && IsNameChar(Peek()))
      name += Take();
    if (name.empty() || AtEnd() || !IsBlank(Peek()))
      NotASetting();
    SkipBlanks();
    if (!Accept('"'))
      NotASetting();
    value = Quoted();
    SkipBlanks();
    if (!Accept(')'))
      NotASetting();
    SkipBlanks();
    if (!AtEnd() && Peek() != '#')
      NotASetting();
    return true;
  }

private:
  bool AtEnd() const { return at_ >= text_.size(); }
  char Peek() const { return text_[at_]; }
  char Take() { return text_[at_++]; }
  bool Accept(char c) {
    if (AtEnd() || Peek() != c)
      return false;
    ++at_;
    return true;
  }
  void SkipBlanks() {
    while (!AtEnd() && IsBlank(Peek()))
      ++at_;
  }

  bool OpensBracketComment() const {
    std::size_t i = at_ + 1;
    if (i >= text_.size() || text_[i] != '[')
      return false;
    for (++i; i < text_.size() && text_[i] == '='; ++i) {
    }
    return i < text_.size() && text_[i] == '[';
  }

  [[noreturn]] void NotASetting() const {
    throw Refusal(where_ +
                  " is not a set(NAME \"value\") line: makewizard reads package.cmake without "
                  "running CMake, so it may hold only such lines, comments and blank lines. "
                  "Write the setting as set(NAME \"value\") on one line.");
  }

  // The value of a quoted argument, after its opening quote.
  std::string Quoted() {
    std::string value;
    for (;;) {
      if (AtEnd())
        throw Refusal(where_ + " opens a quoted value that does not end on that line: write each "
                               "setting on one line, with \\n for a line break.");
      const char c = Take();
      if (c == '"')
        return value;
      if (c == '$' && ReferencesVariable())
        throw Refusal(where_ +
                      " refers to a variable (\"$...{\"), which makewizard does not expand: "
                      "write the text itself, with \\$ for a dollar sign.");
      if (c != '\\') {
        value += c;
        continue;
      }
      if (AtEnd())
        throw Refusal(where_ +
                      " continues its quoted value on the next line: write each setting on "
                      "one line, with \\n for a line break.");
      const char escaped = Take();
      if (escaped == 't')
        value += '\t';
      else if (escaped == 'r')
        value += '\r';
      else if (escaped == 'n')
        value += '\n';
      else if (escaped == ';')
        value += "\\;"; // CMake keeps this escape as it stands
      else if (IsAlnum(escaped))
        throw Refusal(where_ + " holds \"\\" + std::string(1, escaped) +
                      "\", which is not one of CMake's escapes: write \\\\ for a backslash.");
      else
        value += escaped;
    }
  }

  // After a "$": a variable reference ${...}, $ENV{...} or $CACHE{...}
  // (CMake refuses any other $name{ as well).
  bool ReferencesVariable() const {
    std::size_t i = at_;
    while (i < text_.size() && IsNameChar(text_[i]))
      ++i;
    return i < text_.size() && text_[i] == '{';
  }

  std::string where_;
  const std::string &text_;
  std::size_t at_ = 0;
};

// Edits from one name to the other, a swap of neighbours counting as one
// (as typing slips do), letter case aside.
std::size_t Distance(const std::string &a, const std::string &b) {
  const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
  std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
  for (std::size_t i = 0; i <= a.size(); ++i)
    for (std::size_t j = 0; j <= b.size(); ++j) {
      if (!i || !j) {
        d[i][j] = i + j;
        continue;
      }
      const bool same = upper(a[i - 1]) == upper(b[j - 1]);
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (same ? 0 : 1)});
      if (i > 1 && j > 1 && upper(a[i - 1]) == upper(b[j - 2]) &&
          upper(a[i - 2]) == upper(b[j - 1]))
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  return d[a.size()][b.size()];
}

// The words of a setting's name, in capitals, but PACKAGE, which all share.
std::vector<std::string> Words(const std::string &name) {
  std::vector<std::string> words(1);
  for (const char c : name) {
    if (c == '_')
      words.emplace_back();
    else
      words.back() += AsciiUpper(c);
  }
  words.erase(
      std::remove_if(words.begin(), words.end(),
                     [](const std::string &word) { return word.empty() || word == "PACKAGE"; }),
      words.end());
  return words;
}

// The known setting `name` was likely meant as: one a few slips away
// (PACKAGE_ left out too), or else the only one holding all its words
// (PACKAGE_COPYRIGHT).
const char *Nearest(const std::string &name) {
  constexpr std::size_t kSlips = 3;
  const std::string prefix = "PACKAGE_";
  const char *nearest = nullptr;
  std::size_t best = kSlips + 1;
  std::vector<const char *> holding;
  const std::vector<std::string> words = Words(name);
  for (const char *setting : kSettings) {
    const std::string known = setting;
    // No closer than the difference in length: long names need no table.
    if (name.size() <= known.size() + kSlips) {
      const std::size_t distance =
          std::min(Distance(name, known), Distance(name, known.substr(prefix.size())));
      if (distance < best) {
        nearest = setting;
        best = distance;
      }
    }
    const std::vector<std::string> own = Words(known);
    if (!words.empty() && std::all_of(words.begin(), words.end(), [&](const std::string &word) {
          return std::find(own.begin(), own.end(), word) != own.end();
        }))
      holding.push_back(setting);
  }
  if (nearest)
    return nearest;
  return holding.size() == 1 ? holding[0] : nullptr;
}

void CheckEncoding(const std::string &path, const std::string &content) {
  const Encoding encoding = ByteOrderMarkOf(content).encoding;
  if (encoding == Encoding::Utf16Le || encoding == Encoding::Utf16Be)
    throw Refusal(path + " is UTF-16, as Notepad saves \"Unicode\": " + kSaveAsUtf8);
  if (encoding == Encoding::Utf32Le || encoding == Encoding::Utf32Be)
    throw Refusal(path + " is UTF-32: " + kSaveAsUtf8);
  // Without a mark, UTF-16 of text shows as every other byte NUL.
  if (content.size() >= 4 && (content[0] == '\0') != (content[1] == '\0') &&
      (content[2] == '\0') != (content[3] == '\0'))
    throw Refusal(path +
                  " holds NUL bytes between its letters, as UTF-16 without a byte-order "
                  "mark does: " +
                  kSaveAsUtf8);
}

} // namespace

std::map<std::string, std::string> ReadPackageCmake(const std::string &path,
                                                    const std::string &content) {
  CheckEncoding(path, content);
  std::map<std::string, std::string> settings;
  std::map<std::string, std::size_t> lineOf;
  std::size_t start = ByteOrderMarkOf(content).encoding == Encoding::Utf8 ? 3 : 0;
  for (std::size_t number = 1; start < content.size() || number == 1; ++number) {
    std::size_t end = content.find('\n', start);
    if (end == std::string::npos)
      end = content.size();
    std::string text = content.substr(start, end - start);
    if (!text.empty() && text.back() == '\r')
      text.pop_back();
    std::string name, value;
    start = end + 1;
    if (!Line(path, number, text).Read(name, value))
      continue;
    const std::string where = Where(path, number);
    if (std::none_of(std::begin(kSettings), std::end(kSettings),
                     [&](const char *setting) { return name == setting; })) {
      const std::string unknown =
          where + " sets " + name + ", which is not a setting of " + "package.cmake: ";
      if (const char *nearest = Nearest(name))
        throw Refusal(unknown + "did you mean " + nearest + "?");
      throw Refusal(unknown + "it sets only " +
                    Listing(std::vector<std::string>(std::begin(kSettings), std::end(kSettings))) +
                    " (the product name, its version and the file names are fixed in the "
                    "stub). Remove that line.");
    }
    if (const auto first = lineOf.find(name); first != lineOf.end())
      throw Refusal(where + " sets " + name + " again, after line " +
                    std::to_string(first->second) + ": keep one of the two lines.");
    lineOf[name] = number;
    settings[name] = value;
  }
  return settings;
}
