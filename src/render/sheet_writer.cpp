#include "render/sheet_writer.h"

#include <algorithm>
#include <cstring>

SheetWriter::SheetWriter(const RenderSettings& settings)
    : output_(settings.output),
      columns_(settings.columns),
      rows_(settings.rows),
      cellWidth_(settings.width),
      cellHeight_(settings.height) {
  sheet_.width = columns_ * cellWidth_;
  sheet_.height = rows_ * cellHeight_;
  sheet_.rgba.assign(static_cast<std::size_t>(sheet_.width) * sheet_.height * 4, 0);
  if (const auto rgb = settings.background) {
    const std::uint8_t pixel[4] = {static_cast<std::uint8_t>(*rgb >> 16),
                                   static_cast<std::uint8_t>(*rgb >> 8), static_cast<std::uint8_t>(*rgb),
                                   255};
    for (std::size_t i = 0; i < sheet_.rgba.size(); i += 4) std::memcpy(&sheet_.rgba[i], pixel, 4);
  }
}

std::vector<int> SheetWriter::FramesWanted(int total) const {
  const long long cells = static_cast<long long>(columns_) * rows_;
  std::vector<int> frames;
  for (long long i = 0; i < std::min<long long>(cells, total); ++i)
    frames.push_back(static_cast<int>(total >= cells ? i * total / cells : i));
  return frames;
}

bool SheetWriter::Write(const gfx::Image& frame, std::string* error) {
  if (frame.width != cellWidth_ || frame.height != cellHeight_ || next_ >= columns_ * rows_) {
    *error = "a frame does not fit the sheet's cells";
    return false;
  }
  const int left = (next_ % columns_) * cellWidth_;
  const int top = (next_ / columns_) * cellHeight_;
  const std::size_t row = static_cast<std::size_t>(cellWidth_) * 4;
  for (int y = 0; y < cellHeight_; ++y)
    std::memcpy(&sheet_.rgba[(static_cast<std::size_t>(top + y) * sheet_.width + left) * 4],
                &frame.rgba[y * row], row);
  ++next_;
  return true;
}

bool SheetWriter::Finish(std::string* error) {
  const std::vector<std::uint8_t> png = gfx::EncodePng(sheet_);
  if (png.empty()) {
    *error = output_ + ": the sheet could not be encoded as PNG";
    return false;
  }
  return files_.Write(output_, png, error) && files_.Commit(error);
}
