#include "effectfile/json_cursor.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <vector>

#include "platform/utf8.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// How a character is named in a message: itself when printable ASCII, else its byte value.
std::string Shown(std::string_view text, std::size_t at) {
  if (at >= text.size()) return "the end of the text";
  const auto byte = static_cast<unsigned char>(text[at]);
  if (byte > 0x20 && byte < 0x7F) return std::string("'").append(1, text[at]).append("'");
  constexpr char kHex[] = "0123456789ABCDEF";
  return std::string("the byte 0x").append(1, kHex[byte >> 4]).append(1, kHex[byte & 15]);
}

void AppendUtf8(std::string* out, unsigned code) {
  if (code < 0x80) {
    *out += static_cast<char>(code);
  } else if (code < 0x800) {
    *out += static_cast<char>(0xC0 | (code >> 6));
    *out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    *out += static_cast<char>(0xE0 | (code >> 12));
    *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | (code >> 18));
    *out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// Whether a number beyond the range of a double is too small rather than too large: the power
// of ten of its first significant digit, and its exponent. JSON numbers have no leading zeros.
bool BelowRange(std::string_view number) {
  if (number.front() == '-') number.remove_prefix(1);
  const std::size_t e = std::min(number.find_first_of("eE"), number.size());
  const std::string_view mantissa = number.substr(0, e);
  const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
  long long magnitude = 0;
  if (mantissa.front() != '0') {
    magnitude = static_cast<long long>(point);
  } else {
    const std::size_t firstSignificant = mantissa.find_first_not_of("0.");
    if (firstSignificant == std::string_view::npos) return true;
    magnitude = -static_cast<long long>(firstSignificant - point - 1);
  }
  if (e < number.size()) {
    std::size_t at = e + 1;
    const bool negative = number[at] == '-';
    if (number[at] == '-' || number[at] == '+') ++at;
    long long exponent = 0;
    for (; at < number.size(); ++at) exponent = std::min(exponent * 10 + (number[at] - '0'), 1LL << 40);
    magnitude += negative ? -exponent : exponent;
  }
  return magnitude <= 0;
}

}  // namespace

std::optional<float> NearestFloat(std::string_view number) {
  float value = 0;
  if (std::from_chars(number.data(), number.data() + number.size(), value).ec == std::errc()) return value;
  if (!BelowRange(number)) return std::nullopt;
  return number.front() == '-' ? -0.0f : 0.0f;
}

std::string LineAndColumn(std::string_view text, std::size_t offset) {
  offset = std::min(offset, text.size());
  const std::string_view before = text.substr(0, offset);
  const std::size_t line = static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n')) + 1;
  const std::size_t lineStart = before.rfind('\n') == std::string_view::npos ? 0 : before.rfind('\n') + 1;
  const std::size_t column =
      static_cast<std::size_t>(std::count_if(before.begin() + static_cast<std::ptrdiff_t>(lineStart),
                                             before.end(), [](char c) { return (c & 0xC0) != 0x80; })) +
      1;
  return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

JsonCursor::JsonCursor(std::string_view text) : text_(text) {
  // A byte order mark, as some editors on Windows write one.
  if (text_.starts_with("\xEF\xBB\xBF")) at_ = 3;
}

void JsonCursor::Fail(std::size_t offset, const std::string& what) const {
  throw JsonReadError(offset, what);
}

void JsonCursor::SkipWhitespace() {
  while (at_ < text_.size()) {
    const char c = text_[at_];
    if (c != ' ' && c != '\n' && c != '\r' && c != '\t') return;
    ++at_;
  }
}

void JsonCursor::Expect(char c, const char* what) {
  SkipWhitespace();
  if (at_ >= text_.size() || text_[at_] != c) Fail(at_, std::string(what) + ", not " + Shown(text_, at_));
  ++at_;
}

JsonCursor::Kind JsonCursor::Peek() {
  SkipWhitespace();
  if (at_ >= text_.size()) Fail(at_, "the text ends where a value was expected");
  switch (text_[at_]) {
    case '{':
      return Kind::kObject;
    case '[':
      return Kind::kArray;
    case '"':
      return Kind::kString;
    case 't':
    case 'f':
      return Kind::kBool;
    case 'n':
      return Kind::kNull;
    default:
      if (text_[at_] == '-' || IsDigit(text_[at_])) return Kind::kNumber;
      Fail(at_, "expected a value, not " + Shown(text_, at_));
  }
}

// ---- containers -------------------------------------------------------------------------------

void JsonCursor::Open() {
  if (++depth_ > kMaxDepth) Fail(at_, "nested deeper than " + std::to_string(kMaxDepth) + " levels");
  ++at_;
  first_ = true;
}

void JsonCursor::Close() {
  --depth_;
  ++at_;
  first_ = false;
}

void JsonCursor::BeginObject() {
  if (Peek() != Kind::kObject) Fail(at_, "expected an object, not " + Shown(text_, at_));
  Open();
}

bool JsonCursor::NextKey(std::string_view* key) {
  SkipWhitespace();
  if (at_ < text_.size() && text_[at_] == '}') {
    Close();
    return false;
  }
  if (!first_) Expect(',', "expected ',' or '}' after a member of an object");
  first_ = false;
  SkipWhitespace();
  if (at_ >= text_.size() || text_[at_] != '"')
    Fail(at_, "expected a key in quotes, not " + Shown(text_, at_));
  keyAt_ = at_;
  *key = ReadString();
  Expect(':', "expected ':' after the key");
  return true;
}

void JsonCursor::BeginArray() {
  if (Peek() != Kind::kArray) Fail(at_, "expected a list, not " + Shown(text_, at_));
  Open();
}

bool JsonCursor::NextElement() {
  SkipWhitespace();
  if (at_ < text_.size() && text_[at_] == ']') {
    Close();
    return false;
  }
  if (!first_) Expect(',', "expected ',' or ']' after an element of a list");
  first_ = false;
  return true;
}

// ---- scalars ------------------------------------------------------------------------------------

bool JsonCursor::ReadBool() {
  SkipWhitespace();
  const std::string_view rest = text_.substr(at_);
  if (rest.starts_with("true")) {
    at_ += 4;
    return true;
  }
  if (rest.starts_with("false")) {
    at_ += 5;
    return false;
  }
  Fail(at_, "expected true or false");
}

void JsonCursor::ReadNull() {
  SkipWhitespace();
  if (!text_.substr(at_).starts_with("null")) Fail(at_, "expected null");
  at_ += 4;
}

JsonCursor::Number JsonCursor::ReadNumber() {
  SkipWhitespace();
  const std::size_t start = at_;
  const auto digits = [&](const char* where) {
    if (at_ >= text_.size() || !IsDigit(text_[at_]))
      Fail(at_, std::string("expected a digit ") + where + ", not " + Shown(text_, at_));
    while (at_ < text_.size() && IsDigit(text_[at_])) ++at_;
  };
  if (at_ < text_.size() && text_[at_] == '-') ++at_;
  if (at_ < text_.size() && text_[at_] == '0') {
    ++at_;
  } else {
    digits("in a number");
  }
  bool whole = true;
  if (at_ < text_.size() && text_[at_] == '.') {
    ++at_;
    digits("after the decimal point");
    whole = false;
  }
  if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
    ++at_;
    if (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-')) ++at_;
    digits("in the exponent");
    whole = false;
  }
  return {text_.substr(start, at_ - start), whole};
}

std::string_view JsonCursor::ReadString() {
  SkipWhitespace();
  if (at_ >= text_.size() || text_[at_] != '"') Fail(at_, "expected a string, not " + Shown(text_, at_));
  const std::size_t start = ++at_;
  // Most strings are plain ASCII: they are handed out in place.
  while (at_ < text_.size()) {
    const auto c = static_cast<unsigned char>(text_[at_]);
    if (c == '"') return text_.substr(start, at_++ - start);
    if (c == '\\' || c < 0x20 || c >= 0x80) return ReadStringSlow(start);
    ++at_;
  }
  Fail(at_, "the text ends inside a string");
}

std::string_view JsonCursor::ReadStringSlow(std::size_t start) {
  scratch_.assign(text_.substr(start, at_ - start));
  while (at_ < text_.size()) {
    const auto c = static_cast<unsigned char>(text_[at_]);
    if (c == '"') {
      ++at_;
      return scratch_;
    }
    if (c == '\\') {
      AppendEscape();
    } else if (c < 0x20) {
      Fail(at_, "a control character (" + Shown(text_, at_) + ") in a string must be written as an escape");
    } else {
      const std::size_t length = Utf8CharacterLength(text_, at_);
      if (length == 0) Fail(at_, "a string holds " + Shown(text_, at_) + ", which is not UTF-8 text");
      scratch_.append(text_.substr(at_, length));
      at_ += length;
    }
  }
  Fail(at_, "the text ends inside a string");
}

unsigned JsonCursor::ReadHex4() {
  unsigned value = 0;
  for (int i = 0; i < 4; ++i, ++at_) {
    const char c = at_ < text_.size() ? text_[at_] : '\0';
    const int digit = IsDigit(c)               ? c - '0'
                      : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                      : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                               : -1;
    if (digit < 0) Fail(at_, "expected four hexadecimal digits after \\u, not " + Shown(text_, at_));
    value = value * 16 + static_cast<unsigned>(digit);
  }
  return value;
}

void JsonCursor::AppendEscape() {
  const std::size_t escape = at_++;
  const char c = at_ < text_.size() ? text_[at_] : '\0';
  static constexpr std::string_view kFrom = "\"\\/bfnrt", kTo = "\"\\/\b\f\n\r\t";
  if (const std::size_t i = kFrom.find(c); c != '\0' && i != std::string_view::npos) {
    scratch_ += kTo[i];
    ++at_;
    return;
  }
  if (c != 'u') Fail(escape, "\\" + std::string(1, c) + " is not an escape JSON knows");
  ++at_;
  unsigned code = ReadHex4();
  if (code >= 0xDC00 && code <= 0xDFFF) Fail(escape, "a second half of a surrogate pair without a first");
  if (code >= 0xD800 && code <= 0xDBFF) {
    if (!text_.substr(at_).starts_with("\\u")) Fail(escape, "the first half of a surrogate pair alone");
    at_ += 2;
    const unsigned low = ReadHex4();
    if (low < 0xDC00 || low > 0xDFFF) Fail(escape, "the first half of a surrogate pair alone");
    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
  }
  AppendUtf8(&scratch_, code);
}

// ---- any value ----------------------------------------------------------------------------------

Json JsonCursor::ReadValue() {
  switch (Peek()) {
    case Kind::kNull:
      ReadNull();
      return Json();
    case Kind::kBool:
      return ReadBool();
    case Kind::kString:
      return std::string(ReadString());
    case Kind::kNumber: {
      const std::size_t start = at_;
      const Number number = ReadNumber();
      const char* first = number.text.data();
      const char* last = first + number.text.size();
      if (number.whole) {
        if (number.text.front() == '-') {
          std::int64_t value = 0;
          if (std::from_chars(first, last, value).ec == std::errc()) return value;
        } else {
          std::uint64_t value = 0;
          if (std::from_chars(first, last, value).ec == std::errc()) return value;
        }
      }
      double value = 0;
      if (std::from_chars(first, last, value).ec == std::errc()) return value;
      if (!BelowRange(number.text))
        Fail(start, "the number " + std::string(number.text) + " is out of range");
      return number.text.front() == '-' ? -0.0 : 0.0;
    }
    case Kind::kArray: {
      Json array = Json::array();
      BeginArray();
      while (NextElement()) array.push_back(ReadValue());
      return array;
    }
    case Kind::kObject:
      break;
  }
  std::vector<Member> members;
  BeginObject();
  std::string_view key;
  while (NextKey(&key)) {
    Member& member = members.emplace_back(Member{std::string(key), Json(), keyAt_});
    member.value = ReadValue();
  }
  return Sorted(std::move(members));
}

Json::object_t JsonCursor::Sorted(std::vector<Member> members) const {
  // Sorted once rather than looked up key by key, which would make a large object cost the
  // square of its size.
  std::stable_sort(members.begin(), members.end(),
                   [](const Member& a, const Member& b) { return a.key < b.key; });
  Json::object_t sorted;
  sorted.reserve(members.size());
  for (std::size_t i = 0; i < members.size(); ++i) {
    if (i > 0 && members[i].key == sorted.back().first)
      Fail(members[i].offset,
           std::string("the key \"").append(members[i].key).append("\" appears twice in an object"));
    sorted.emplace_back(std::move(members[i].key), std::move(members[i].value));
  }
  return sorted;
}

void JsonCursor::Finish() {
  SkipWhitespace();
  if (at_ < text_.size())
    Fail(at_, "expected the end of the text after the document, not " + Shown(text_, at_));
}
