#include "platform/gfx/x_format.h"

namespace gfx::xfile {

void Fail(const std::string& where, const std::string& what) {
  throw ParseError(where.empty() ? what : where + ": " + what);
}

std::string Printable(std::string_view text) {
  constexpr std::size_t kMax = 40;
  std::string out;
  for (const char c : text.substr(0, kMax)) out += (c >= 0x20 && c < 0x7f) ? c : '?';
  if (text.size() > kMax) out += "...";
  return out;
}

}  // namespace gfx::xfile
