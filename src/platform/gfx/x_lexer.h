#pragma once
// The tokens of a .x file's data, from its text or its binary encoding.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace gfx::xfile {

enum class Tok { End, Name, String, Integer, Float, Guid, OBrace, CBrace, Separator, Template, Other };

struct Token {
  Tok kind = Tok::End;
  std::string_view text;  // a name, a string's contents, or how the token is spelled
  std::int64_t integer = 0;
  double real = 0;
};

// The token as a message names it ("the number 3", "'Mesh'").
std::string Describe(const Token& t);

// Text and binary data read as one stream of tokens; numbers come one at a time.
class Lexer {
 public:
  virtual ~Lexer() = default;
  virtual Token Next() = 0;
  // Where the last token starts.
  virtual std::string Where() const = 0;
  // At least as many numbers as the rest of the data can hold, to check a count before allocating.
  virtual std::uint64_t NumbersLeft() const = 0;
};

// Tokens of text data. `suffix` follows every position in a message (" of the decompressed data").
std::unique_ptr<Lexer> MakeTextLexer(std::span<const std::byte> bytes, std::string suffix);
// Tokens of binary data whose floats are floatBytes (4 or 8) long; positions in messages count
// from `offset`, where the bytes start in the file.
std::unique_ptr<Lexer> MakeBinaryLexer(std::span<const std::byte> bytes, std::size_t floatBytes,
                                       std::size_t offset, std::string suffix);

}  // namespace gfx::xfile
