#include "render/gif_writer.h"

#include <gif_lib.h>

#include <algorithm>
#include <cmath>
#include <utility>

GifWriter::GifWriter(const RenderSettings& settings)
    : output_(settings.output),
      width_(settings.width),
      height_(settings.height),
      delay_(DelayOf(settings.fps)) {}

GifWriter::~GifWriter() {
  if (gif_) EGifCloseFile(gif_, nullptr);
}

int GifWriter::DelayOf(int fps) {
  return fps > 0 ? std::max(1, static_cast<int>(std::lround(100.0 / fps))) : 2;
}

int GifWriter::Append(GifFileType* gif, const unsigned char* bytes, int length) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(gif->UserData);
  out->insert(out->end(), bytes, bytes + length);
  return length;
}

bool GifWriter::Failed(const char* step, int code, std::string* error) {
  const char* why = GifErrorString(code);
  *error = output_ + ": " + step + ": " + (why ? why : "giflib failed");
  return false;
}

bool GifWriter::Open(std::string* error) {
  if (!files_.Reserve(output_, error)) return false;
  int code = 0;
  gif_ = EGifOpen(&bytes_, Append, &code);
  if (!gif_) return Failed("the GIF could not be started", code, error);
  EGifSetGifVersion(gif_, true);
  if (EGifPutScreenDesc(gif_, width_, height_, 8, 0, nullptr) == GIF_ERROR)
    return Failed("the GIF's screen", gif_->Error, error);
  // NETSCAPE2.0 with a loop count of 0: play for ever.
  static constexpr unsigned char kApplication[] = "NETSCAPE2.0";
  static constexpr unsigned char kLoop[] = {1, 0, 0};
  if (EGifPutExtensionLeader(gif_, APPLICATION_EXT_FUNC_CODE) == GIF_ERROR ||
      EGifPutExtensionBlock(gif_, 11, kApplication) == GIF_ERROR ||
      EGifPutExtensionBlock(gif_, sizeof kLoop, kLoop) == GIF_ERROR ||
      EGifPutExtensionTrailer(gif_) == GIF_ERROR)
    return Failed("the GIF's loop", gif_->Error, error);
  const std::size_t pixels = static_cast<std::size_t>(width_) * height_;
  red_.resize(pixels);
  green_.resize(pixels);
  blue_.resize(pixels);
  indices_.resize(pixels);
  return true;
}

bool GifWriter::Write(const gfx::Image& frame, std::string* error) {
  if (!gif_ || frame.width != width_ || frame.height != height_) {
    *error = output_ + ": a frame does not fit the GIF";
    return false;
  }
  for (std::size_t i = 0; i < indices_.size(); ++i) {
    red_[i] = frame.rgba[i * 4];
    green_[i] = frame.rgba[i * 4 + 1];
    blue_[i] = frame.rgba[i * 4 + 2];
  }
  ColorMapObject* palette = GifMakeMapObject(256, nullptr);
  if (!palette) {
    *error = output_ + ": no memory for a palette";
    return false;
  }
  int colours = 256;
  const bool quantized =
      GifQuantizeBuffer(static_cast<unsigned>(width_), static_cast<unsigned>(height_), &colours, red_.data(),
                        green_.data(), blue_.data(), indices_.data(), palette->Colors) != GIF_ERROR;
  GraphicsControlBlock control{};
  control.DisposalMode = DISPOSE_DO_NOT;
  control.DelayTime = delay_;
  control.TransparentColor = NO_TRANSPARENT_COLOR;
  GifByteType extension[4];
  const std::size_t length = EGifGCBToExtension(&control, extension);
  bool ok =
      quantized &&
      EGifPutExtension(gif_, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), extension) != GIF_ERROR &&
      EGifPutImageDesc(gif_, 0, 0, width_, height_, false, palette) != GIF_ERROR;
  for (int y = 0; ok && y < height_; ++y)
    ok = EGifPutLine(gif_, indices_.data() + static_cast<std::size_t>(y) * width_, width_) != GIF_ERROR;
  GifFreeMapObject(palette);
  if (!ok)
    return Failed("a frame could not be written", quantized ? gif_->Error : E_GIF_ERR_NOT_ENOUGH_MEM, error);
  return true;
}

bool GifWriter::Finish(std::string* error) {
  int code = 0;
  GifFileType* gif = std::exchange(gif_, nullptr);
  if (!gif || EGifCloseFile(gif, &code) == GIF_ERROR)
    return Failed("the GIF could not be ended", code, error);
  return files_.Write(output_, bytes_, error) && files_.Commit(error);
}
