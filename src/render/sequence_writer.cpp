#include "render/sequence_writer.h"

bool SequenceWriter::Write(const gfx::Image& frame, std::string* error) {
  const std::string path = SequenceFileName(pattern_, next_);
  const std::vector<std::uint8_t> png = gfx::EncodePng(frame);
  if (png.empty()) {
    *error = path + ": the frame could not be encoded as PNG";
    return false;
  }
  if (!files_.Write(path, png, error)) return false;
  ++next_;
  return true;
}
