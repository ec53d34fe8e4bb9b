#include "platform/gfx/x_lexer.h"

#include <array>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/gfx/x_format.h"

namespace gfx::xfile {

namespace {

// Appended piece by piece: GCC 12 at -O3 takes "'" + string for an overlapping copy (-Wrestrict).
std::string Quoted(std::string_view text) {
  std::string quoted(1, '\'');
  quoted += Printable(text);
  quoted += '\'';
  return quoted;
}

}  // namespace

std::string Describe(const Token& t) {
  switch (t.kind) {
    case Tok::End:
      return "the end of the data";
    case Tok::Name:
      return Quoted(t.text);
    case Tok::String:
      return "the string \"" + Printable(t.text) + "\"";
    case Tok::Integer:
      return "the number " + std::to_string(t.integer);
    case Tok::Float: {
      if (!t.text.empty()) return "the number " + Printable(t.text);
      char buffer[32];
      std::snprintf(buffer, sizeof buffer, "%g", t.real);
      return std::string("the number ") + buffer;
    }
    case Tok::Guid:
      return "a GUID";
    case Tok::Template:
      return "'template'";
    default:
      return Quoted(t.text);
  }
}

namespace {

// ---- text -----------------------------------------------------------------------------------

class TextLexer final : public Lexer {
 public:
  TextLexer(std::span<const std::byte> bytes, std::string suffix)
      : text_(reinterpret_cast<const char*>(bytes.data()), bytes.size()), suffix_(std::move(suffix)) {}

  Token Next() override {
    SkipSpaceAndComments();
    tokenLine_ = line_;
    if (pos_ == text_.size()) return {};
    const char c = text_[pos_];
    switch (c) {
      case '{':
        return Single(Tok::OBrace);
      case '}':
        return Single(Tok::CBrace);
      case ',':
      case ';':
        return Single(Tok::Separator);
      case '[':
      case ']':
      case '(':
      case ')':
        return Single(Tok::Other);
      case '<':
        return Enclosed(Tok::Guid, '>', "a GUID");
      case '"':
        return Enclosed(Tok::String, '"', "a string");
      default:
        break;
    }
    if (!IsWordChar(c)) {
      char what[48];
      std::snprintf(what, sizeof what, "unexpected byte 0x%02X", static_cast<unsigned char>(c));
      Fail(Where(), what);
    }
    const std::size_t start = pos_;
    while (pos_ < text_.size() && IsWordChar(text_[pos_])) ++pos_;
    return Classify(text_.substr(start, pos_ - start));
  }

  std::string Where() const override { return "line " + std::to_string(tokenLine_) + suffix_; }
  // Two numbers need at least one byte between them.
  std::uint64_t NumbersLeft() const override { return (text_.size() - pos_ + 1) / 2; }

 private:
  static bool IsWordChar(char c) {
    const auto u = static_cast<unsigned char>(c);
    return std::isalnum(u) || c == '_' || c == '-' || c == '+' || c == '.' || u >= 0x80;
  }

  void SkipSpaceAndComments() {
    while (pos_ < text_.size()) {
      const char c = text_[pos_];
      if (c == '\n') {
        ++line_;
        ++pos_;
      } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
        ++pos_;
      } else if (c == '#' || (c == '/' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '/')) {
        while (pos_ < text_.size() && text_[pos_] != '\n') ++pos_;
      } else {
        return;
      }
    }
  }

  Token Single(Tok kind) {
    Token t{kind, text_.substr(pos_, 1)};
    ++pos_;
    return t;
  }

  Token Enclosed(Tok kind, char close, const char* what) {
    const std::size_t end = text_.find(close, pos_ + 1);
    if (end == std::string_view::npos) Fail(Where(), std::string(what) + " is never closed");
    Token t{kind, text_.substr(pos_ + 1, end - pos_ - 1)};
    for (const char c : t.text) line_ += c == '\n';
    pos_ = end + 1;
    return t;
  }

  Token Classify(std::string_view word) {
    const auto first = static_cast<unsigned char>(word[0]);
    if (std::isalpha(first) || first == '_' || first >= 0x80) return {Tok::Name, word};
    std::string_view digits = word;
    if (digits[0] == '+') digits.remove_prefix(1);
    const char* end = digits.data() + digits.size();
    Token t{Tok::Integer, word};
    const auto integral = std::from_chars(digits.data(), end, t.integer);
    if (integral.ec == std::errc() && integral.ptr == end) {
      t.real = static_cast<double>(t.integer);
      return t;
    }
    const auto real = std::from_chars(digits.data(), end, t.real);
    if (real.ec == std::errc::result_out_of_range || (real.ec == std::errc() && !FitsFloat(t.real)))
      Fail(Where(), "the number " + Printable(word) + " is out of range");
    if (real.ec != std::errc() || real.ptr != end) Fail(Where(), "'" + Printable(word) + "' is not a number");
    t.kind = Tok::Float;
    return t;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  int line_ = 1;
  int tokenLine_ = 1;
  std::string suffix_;
};

// ---- binary ---------------------------------------------------------------------------------

// The binary encoding: 16-bit token codes, with counted names, strings and number lists.
class BinaryLexer final : public Lexer {
 public:
  BinaryLexer(std::span<const std::byte> bytes, std::size_t floatBytes, std::size_t offset,
              std::string suffix)
      : bytes_(bytes), floatBytes_(floatBytes), offset_(offset), suffix_(std::move(suffix)) {}

  Token Next() override {
    for (;;) {
      tokenPos_ = pos_;
      if (listLeft_ > 0) return ListElement();
      if (pos_ == bytes_.size()) return {};
      Need(2, "a token");
      const std::uint16_t code = Word(bytes_, pos_);
      pos_ += 2;
      switch (code) {
        case 1:
          return {Tok::Name, Counted("a name")};
        case 2: {
          Token t{Tok::String, Counted("a string")};
          Need(4, "the end of a string");
          const std::uint32_t terminator = Dword(bytes_, pos_);
          pos_ += 4;
          if (terminator != kComma && terminator != kSemicolon)
            Fail(Where(), "a string ends in token " + std::to_string(terminator) + " instead of ';' or ','");
          return t;
        }
        case 3: {
          Need(4, "an integer");
          Token t{Tok::Integer, {}};
          t.integer = Dword(bytes_, pos_);
          t.real = static_cast<double>(t.integer);
          pos_ += 4;
          return t;
        }
        case 5:
          Need(16, "a GUID");
          pos_ += 16;
          return {Tok::Guid, {}};
        case 6:
        case 7: {
          Need(4, "a list length");
          const std::uint32_t count = Dword(bytes_, pos_);
          pos_ += 4;
          const std::size_t each = code == 6 ? 4 : floatBytes_;
          if (count > (bytes_.size() - pos_) / each)
            Fail(Where(), "a list of " + std::to_string(count) + " numbers runs past the end of the data");
          floats_ = code == 7;
          listLeft_ = count;
          continue;  // an empty list yields nothing
        }
        case 10:
          return {Tok::OBrace, "{"};
        case 11:
          return {Tok::CBrace, "}"};
        case kComma:
          return {Tok::Separator, ","};
        case kSemicolon:
          return {Tok::Separator, ";"};
        case 31:
          return {Tok::Template, "template"};
        default:
          if ((code >= 12 && code <= 18) || (code >= 40 && code <= 52)) return {Tok::Other, kSpelling[code]};
          Fail(Where(), "unknown token " + std::to_string(code));
      }
    }
  }

  std::string Where() const override { return "byte " + std::to_string(offset_ + tokenPos_) + suffix_; }
  std::uint64_t NumbersLeft() const override { return listLeft_ + (bytes_.size() - pos_) / 4; }

 private:
  static constexpr std::uint32_t kComma = 19;
  static constexpr std::uint32_t kSemicolon = 20;
  static constexpr std::array<const char*, 53> kSpelling = [] {
    std::array<const char*, 53> s{};
    const char* punctuation[] = {"(", ")", "[", "]", "<", ">", "."};
    for (int i = 0; i < 7; ++i) s[12 + i] = punctuation[i];
    const char* types[] = {"WORD",   "DWORD", "FLOAT",  "DOUBLE",  "CHAR",    "UCHAR", "SWORD",
                           "SDWORD", "void",  "string", "unicode", "cstring", "array"};
    for (int i = 0; i < 13; ++i) s[40 + i] = types[i];
    return s;
  }();

  void Need(std::size_t count, const char* what) const {
    if (bytes_.size() - pos_ < count)
      Fail(Where(), std::string(what) + " is cut short by the end of the data");
  }

  std::string_view Counted(const char* what) {
    Need(4, what);
    const std::uint32_t length = Dword(bytes_, pos_);
    pos_ += 4;
    Need(length, what);
    const std::string_view text(reinterpret_cast<const char*>(bytes_.data()) + pos_, length);
    pos_ += length;
    return text;
  }

  Token ListElement() {
    --listLeft_;
    Token t;
    if (!floats_) {
      t.kind = Tok::Integer;
      t.integer = Dword(bytes_, pos_);
      t.real = static_cast<double>(t.integer);
      pos_ += 4;
      return t;
    }
    t.kind = Tok::Float;
    if (floatBytes_ == 4) {
      const std::uint32_t bits = Dword(bytes_, pos_);
      float value;
      std::memcpy(&value, &bits, sizeof value);
      t.real = value;
    } else {
      const std::uint64_t bits = Dword(bytes_, pos_) | std::uint64_t{Dword(bytes_, pos_ + 4)} << 32;
      std::memcpy(&t.real, &bits, sizeof t.real);
    }
    pos_ += floatBytes_;
    if (!FitsFloat(t.real)) Fail(Where(), "a number is infinite, not a number or out of a float's range");
    return t;
  }

  std::span<const std::byte> bytes_;
  std::size_t floatBytes_;
  std::size_t offset_;
  std::string suffix_;
  std::size_t pos_ = 0;
  std::size_t tokenPos_ = 0;
  std::uint32_t listLeft_ = 0;
  bool floats_ = false;
};

}  // namespace

std::unique_ptr<Lexer> MakeTextLexer(std::span<const std::byte> bytes, std::string suffix) {
  return std::make_unique<TextLexer>(bytes, std::move(suffix));
}

std::unique_ptr<Lexer> MakeBinaryLexer(std::span<const std::byte> bytes, std::size_t floatBytes,
                                       std::size_t offset, std::string suffix) {
  return std::make_unique<BinaryLexer>(bytes, floatBytes, offset, std::move(suffix));
}

}  // namespace gfx::xfile
