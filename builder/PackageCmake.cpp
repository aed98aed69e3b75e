#include "builder/PackageCmake.h"

#include "builder/Refusal.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsAlnum(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}
bool IsNameChar(char c) { return IsAlnum(c) || c == '_'; }

class Line {
public:
  Line(const std::string &path, std::size_t number, const std::string &text)
      : where_(path + " line " + std::to_string(number)), text_(text) {}

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
      command += Lower(Take());
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
  static char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

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

} // namespace

std::map<std::string, std::string> ReadPackageCmake(const std::string &path,
                                                    const std::string &content) {
  std::map<std::string, std::string> settings;
  std::size_t start = content.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  for (std::size_t number = 1; start < content.size() || number == 1; ++number) {
    std::size_t end = content.find('\n', start);
    if (end == std::string::npos)
      end = content.size();
    std::string text = content.substr(start, end - start);
    if (!text.empty() && text.back() == '\r')
      text.pop_back();
    std::string name, value;
    if (Line(path, number, text).Read(name, value))
      settings[name] = value;
    start = end + 1;
  }
  return settings;
}
