#pragma once
// A pull reader of JSON text that knows where it stands, so a document can be read straight
// into its records and every refusal can say at which line and column. Strict: RFC 8259
// JSON only, well-formed UTF-8, one value and nothing after it but whitespace, nesting no
// deeper than any of the program's documents.

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "resource/json_reader.h"

// A refusal of the text at a byte offset.
class JsonReadError : public std::runtime_error {
 public:
  JsonReadError(std::size_t offset, const std::string& what) : std::runtime_error(what), offset_(offset) {}
  std::size_t Offset() const { return offset_; }

 private:
  std::size_t offset_;
};

// "line L, column C" of a byte offset, both from 1; columns count characters, not bytes.
std::string LineAndColumn(std::string_view text, std::size_t offset);

// The float nearest to a JSON number's text; nothing when it lies beyond the largest float. A
// number too small for a float reads as zero.
std::optional<float> NearestFloat(std::string_view number);

class JsonCursor {
 public:
  enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject };
  // A number as written; `whole` when it has neither a fraction nor an exponent.
  struct Number {
    std::string_view text;
    bool whole;
  };

  // Nesting deeper than this is refused before it is read (as ParseJson refuses it).
  static constexpr int kMaxDepth = 64;

  explicit JsonCursor(std::string_view text);

  // The kind of the next value, its offset now Offset(); refuses the end of the text or a
  // character that starts no value.
  Kind Peek();
  std::size_t Offset() const { return at_; }
  std::string_view Text() const { return text_; }

  // An object: BeginObject, then NextKey for each member, reading its value before the next
  // call; false (and the object closed) after the last. The key stays valid until the cursor
  // reads another string. KeyOffset() is where the last key starts.
  void BeginObject();
  bool NextKey(std::string_view* key);
  std::size_t KeyOffset() const { return keyAt_; }
  // An array: BeginArray, then NextElement before each element; false after the last.
  void BeginArray();
  bool NextElement();

  bool ReadBool();
  void ReadNull();
  Number ReadNumber();
  // Valid until the cursor reads another string.
  std::string_view ReadString();
  // Any value, numbers as the JSON library reads them (unsigned, signed or double), the keys
  // of objects in byte order, as a canonical writer puts them; a repeated key is refused.
  Json ReadValue();

  // An object's member as read, and where its key stands.
  struct Member {
    std::string key;
    Json value;
    std::size_t offset;
  };
  // The members in byte order of their keys; a repeated key is refused where it stands.
  Json::object_t Sorted(std::vector<Member> members) const;
  // Refuses anything after the value but whitespace.
  void Finish();

  [[noreturn]] void Fail(std::size_t offset, const std::string& what) const;

 private:
  void SkipWhitespace();
  void Expect(char c, const char* what);
  void Open();
  void Close();
  std::string_view ReadStringSlow(std::size_t start);
  void AppendEscape();
  unsigned ReadHex4();

  std::string_view text_;
  std::size_t at_ = 0;
  std::size_t keyAt_ = 0;
  int depth_ = 0;
  bool first_ = false;  // no member or element read yet in the container just opened
  std::string scratch_;
};
