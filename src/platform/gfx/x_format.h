#pragma once
// What the stages of the .x reader (lexer, MSZIP inflater, parser) share: how they refuse a
// file, and how the format stores numbers.

#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace gfx::xfile {

// "xof ", version, format and float size, four bytes each.
inline constexpr std::size_t kHeaderBytes = 16;

// Thrown inside the reader only; ReadXFile turns it into the message.
struct ParseError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// `where` is a line or byte position, or empty when the whole file is at fault.
[[noreturn]] void Fail(const std::string& where, const std::string& what);

// File text quoted in a message: short, and plain ASCII whatever the file holds.
std::string Printable(std::string_view text);

// Little-endian, as every .x file stores them; the caller has checked the bytes are there.
inline std::uint32_t Dword(std::span<const std::byte> bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | std::to_integer<std::uint32_t>(bytes[at + i]);
  return value;
}
inline std::uint16_t Word(std::span<const std::byte> bytes, std::size_t at) {
  return static_cast<std::uint16_t>(std::to_integer<unsigned>(bytes[at]) |
                                    std::to_integer<unsigned>(bytes[at + 1]) << 8);
}

// Values beyond a float's range would make the narrowing undefined; NaN has no place in a model.
inline bool FitsFloat(double value) {
  return std::isfinite(value) && std::fabs(value) <= FLT_MAX;
}

}  // namespace gfx::xfile
