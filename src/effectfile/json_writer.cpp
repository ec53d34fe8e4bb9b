#include "effectfile/json_writer.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

#include "platform/utf8.h"

namespace {

bool IsScalar(const Json& value) { return !value.is_structured(); }

template <typename Number>
void AppendNumber(std::string* text, Number value) {
  std::array<char, 32> buffer;
  const char* end = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value).ptr;
  text->append(buffer.data(), static_cast<std::size_t>(end - buffer.data()));
}

// The string for a float JSON cannot hold as a number, or nothing.
const char* NonFinite(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "Infinity" : "-Infinity";
  return nullptr;
}

}  // namespace

void JsonWriter::BeforeValue() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (levels_.empty()) return;
  Level& level = levels_.back();
  if (!level.empty) text_ += level.line ? ", " : ",";
  if (!level.line) {
    text_ += '\n';
    text_.append(levels_.size() * 2, ' ');
  }
  level.empty = false;
}

void JsonWriter::Begin(char bracket, Layout layout) {
  BeforeValue();
  text_ += bracket;
  const bool line = layout == Layout::kLine || (!levels_.empty() && levels_.back().line);
  levels_.push_back({line, true});
}

void JsonWriter::End(char bracket) {
  const Level level = levels_.back();
  levels_.pop_back();
  if (!level.empty && !level.line) {
    text_ += '\n';
    text_.append(levels_.size() * 2, ' ');
  }
  text_ += bracket;
}

void JsonWriter::BeginObject(Layout layout) { Begin('{', layout); }
void JsonWriter::EndObject() { End('}'); }
void JsonWriter::BeginArray(Layout layout) { Begin('[', layout); }
void JsonWriter::EndArray() { End(']'); }

void JsonWriter::Key(std::string_view key) {
  String(key);
  text_ += ": ";
  afterKey_ = true;
}

void JsonWriter::Bool(bool value) {
  BeforeValue();
  text_ += value ? "true" : "false";
}

void JsonWriter::Null() {
  BeforeValue();
  text_ += "null";
}

void JsonWriter::Int(long long value) {
  BeforeValue();
  AppendNumber(&text_, value);
}

void JsonWriter::Unsigned(unsigned long long value) {
  BeforeValue();
  AppendNumber(&text_, value);
}

void JsonWriter::Float(float value) {
  if (const char* name = NonFinite(value)) return String(name);
  BeforeValue();
  AppendNumber(&text_, value);
}

void JsonWriter::Double(double value) {
  if (const char* name = NonFinite(value)) return String(name);
  BeforeValue();
  const std::size_t start = text_.size();
  AppendNumber(&text_, value);
  if (text_.find_first_of(".e", start) == std::string::npos) text_ += ".0";
}

void JsonWriter::String(std::string_view value) {
  BeforeValue();
  text_ += '"';
  std::size_t plain = 0;  // the start of what is copied as it is
  for (std::size_t at = 0; at < value.size();) {
    const auto c = static_cast<unsigned char>(value[at]);
    if (c >= 0x80) {
      const std::size_t length = Utf8CharacterLength(value, at);
      if (length == 0) throw NotUtf8();
      at += length;
      continue;
    }
    if (c >= 0x20 && c != '"' && c != '\\') {
      ++at;
      continue;
    }
    text_.append(value.substr(plain, at - plain));
    static constexpr std::string_view kShort = "\"\\\b\f\n\r\t", kLetter = "\"\\bfnrt";
    if (const std::size_t i = kShort.find(static_cast<char>(c)); i != std::string_view::npos) {
      text_ += '\\';
      text_ += kLetter[i];
    } else {
      constexpr char kHex[] = "0123456789abcdef";
      text_ += "\\u00";
      text_ += kHex[c >> 4];
      text_ += kHex[c & 15];
    }
    plain = ++at;
  }
  text_.append(value.substr(plain));
  text_ += '"';
}

void JsonWriter::Value(const Json& value) {
  switch (value.type()) {
    case Json::value_t::null:
      return Null();
    case Json::value_t::boolean:
      return Bool(value.get<bool>());
    case Json::value_t::number_integer:
      return Int(value.get<long long>());
    case Json::value_t::number_unsigned:
      return Unsigned(value.get<unsigned long long>());
    case Json::value_t::number_float:
      return Double(value.get<double>());
    case Json::value_t::string:
      return String(value.get_ref<const std::string&>());
    case Json::value_t::binary:
    case Json::value_t::discarded:
      throw std::invalid_argument("holds a value JSON text cannot hold");
    case Json::value_t::array:
    case Json::value_t::object:
      break;
  }
  const Layout layout = std::all_of(value.begin(), value.end(), IsScalar) ? Layout::kLine : Layout::kBlock;
  if (value.is_array()) {
    BeginArray(layout);
    for (const Json& element : value) Value(element);
    EndArray();
    return;
  }
  std::vector<const Json::object_t::value_type*> members;
  for (const auto& member : value.get_ref<const Json::object_t&>()) members.push_back(&member);
  std::sort(members.begin(), members.end(), [](const auto* a, const auto* b) { return a->first < b->first; });
  BeginObject(layout);
  for (const auto* member : members) {
    Key(member->first);
    Value(member->second);
  }
  EndObject();
}

std::string JsonWriter::Take() {
  text_ += '\n';
  levels_.clear();
  afterKey_ = false;
  std::string text = std::move(text_);
  text_.clear();
  return text;
}
