#include "platform/gfx/mszip_inflater.h"

#define ZLIB_CONST
#include <zlib.h>

#include <algorithm>
#include <string>

#include "platform/gfx/x_file.h"
#include "platform/gfx/x_format.h"

namespace gfx::xfile {

namespace {

constexpr std::size_t kMaxBlockBytes = 32768;  // MSZIP's block and history size

// One raw deflate stream, reset for every block.
class Inflater {
 public:
  Inflater() {
    if (inflateInit2(&stream_, -MAX_WBITS) != Z_OK) throw ParseError("zlib could not start");
  }
  ~Inflater() { inflateEnd(&stream_); }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;

  // Appends one block of `size` bytes to `out`; the block may refer back into what `out` already holds.
  bool Block(std::span<const std::byte> packed, std::size_t size, std::vector<std::byte>* out) {
    if (inflateReset(&stream_) != Z_OK) return false;
    const std::size_t history = std::min(out->size(), kMaxBlockBytes);
    if (history > 0 &&
        inflateSetDictionary(&stream_, reinterpret_cast<const Bytef*>(out->data() + out->size() - history),
                             static_cast<uInt>(history)) != Z_OK)
      return false;
    const std::size_t start = out->size();
    out->resize(start + size);
    stream_.next_in = reinterpret_cast<const Bytef*>(packed.data());
    stream_.avail_in = static_cast<uInt>(packed.size());
    stream_.next_out = reinterpret_cast<Bytef*>(out->data() + start);
    stream_.avail_out = static_cast<uInt>(size);
    const int result = inflate(&stream_, Z_FINISH);
    const bool ended =
        result == Z_STREAM_END || ((result == Z_OK || result == Z_BUF_ERROR) && stream_.avail_in == 0);
    return ended && stream_.avail_out == 0;
  }

 private:
  z_stream stream_{};
};

}  // namespace

std::vector<std::byte> InflateMsZip(std::span<const std::byte> body) {
  auto where = [](std::size_t pos) { return "byte " + std::to_string(kHeaderBytes + pos); };
  if (body.size() < 4) Fail("", "the compressed data has no size");
  const std::uint32_t total = Dword(body, 0);
  if (total > kMaxXDecompressedBytes + kHeaderBytes)
    Fail("", "the compressed model claims " + std::to_string(total) + " bytes, more than a model may have (" +
                 std::to_string(kMaxXDecompressedBytes >> 20) + " MB)");
  std::vector<std::byte> out;
  Inflater inflater;
  std::size_t pos = 4;
  for (int block = 0; pos < body.size(); ++block) {
    if (body.size() - pos < 6) Fail(where(pos), "a compressed block header is cut short");
    const std::size_t size = Word(body, pos);
    const std::size_t packed = Word(body, pos + 2);
    if (size == 0 || size > kMaxBlockBytes)
      Fail(where(pos), "compressed block " + std::to_string(block) + " claims " + std::to_string(size) +
                           " bytes; a block holds 1 to 32768");
    if (packed < 2 || packed > body.size() - pos - 4)
      Fail(where(pos), "compressed block " + std::to_string(block) + " runs past the end of the file");
    if (body[pos + 4] != std::byte{'C'} || body[pos + 5] != std::byte{'K'})
      Fail(where(pos), "compressed block " + std::to_string(block) + " does not start with \"CK\"");
    if (out.size() + size > kMaxXDecompressedBytes)
      Fail(where(pos), "the compressed model unpacks to more than " +
                           std::to_string(kMaxXDecompressedBytes >> 20) + " MB");
    if (!inflater.Block(body.subspan(pos + 6, packed - 2), size, &out))
      Fail(where(pos), "compressed block " + std::to_string(block) + " is damaged");
    pos += 4 + packed;
  }
  // Writers differ on whether the size counts the 16-byte header.
  if (out.size() != total && out.size() + kHeaderBytes != total)
    Fail("", "the compressed model unpacks to " + std::to_string(out.size()) +
                 " bytes, but its header says " + std::to_string(total));
  return out;
}

}  // namespace gfx::xfile
