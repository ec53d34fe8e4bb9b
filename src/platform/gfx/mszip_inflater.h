#pragma once
// The MSZIP compression of .x files ("tzip" and "bzip"): after the 16-byte header, the
// unpacked size, then blocks of (unpacked size, packed size, "CK", deflate data), each block
// free to refer back into the 32 KB unpacked before it.

#include <cstddef>
#include <span>
#include <vector>

namespace gfx::xfile {

// The data after the header, unpacked; a ParseError saying what is wrong and where when it
// is damaged or would unpack to more than kMaxXDecompressedBytes.
std::vector<std::byte> InflateMsZip(std::span<const std::byte> body);

}  // namespace gfx::xfile
