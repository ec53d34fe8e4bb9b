#pragma once
// Canonical JSON text for documents people read and compare: two spaces per level, a float as
// the shortest text that reads back to the same 32-bit value, keys of arbitrary JSON values in
// byte order. The same calls always give the same bytes.

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "resource/json_reader.h"

// A string that is not UTF-8, which JSON text cannot hold.
class NotUtf8 : public std::invalid_argument {
 public:
  NotUtf8() : std::invalid_argument("is not UTF-8 text, which JSON cannot hold") {}
};

class JsonWriter {
 public:
  // A block puts each member on a line of its own; a line keeps the container on one line
  // (as does everything inside it).
  enum class Layout { kBlock, kLine };

  void BeginObject(Layout layout = Layout::kBlock);
  void EndObject();
  void BeginArray(Layout layout = Layout::kBlock);
  void EndArray();
  void Key(std::string_view key);

  void Bool(bool value);
  void Int(long long value);
  void Unsigned(unsigned long long value);
  // Infinity and NaN, which JSON numbers cannot be, as the strings "Infinity", "-Infinity"
  // and "NaN".
  void Float(float value);
  // A double keeps a fraction or an exponent so that it reads back as one ("2.0").
  void Double(double value);
  // Throws NotUtf8.
  void String(std::string_view value);
  void Null();
  // Any value; objects with their keys sorted, a container of nothing but scalars on one line.
  void Value(const Json& value);

  // The text, ending with a new line; the writer starts over.
  std::string Take();

 private:
  struct Level {
    bool line;
    bool empty;
  };
  void BeforeValue();
  void Begin(char bracket, Layout layout);
  void End(char bracket);

  std::string text_;
  std::vector<Level> levels_;
  bool afterKey_ = false;
};
