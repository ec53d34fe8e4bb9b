#pragma once
// An animated GIF through giflib: the logical screen the frame size, looping for ever
// (NETSCAPE2.0), one image a frame with a palette of its own (GifQuantizeBuffer) and a delay of
// round(100 / fps) hundredths of a second, at least one. GIF has no partial alpha: frames come
// opaque, over the background.

#include "render/frame_writer.h"
#include "render/staged_files.h"

struct GifFileType;

class GifWriter final : public FrameWriter {
 public:
  explicit GifWriter(const RenderSettings& settings);
  ~GifWriter() override;
  // The delay between frames, in hundredths of a second.
  static int DelayOf(int fps);

  bool Open(std::string* error) override;
  bool Write(const gfx::Image& frame, std::string* error) override;
  bool Finish(std::string* error) override;

 private:
  // The file's bytes, gathered as giflib writes them.
  static int Append(GifFileType* gif, const unsigned char* bytes, int length);
  bool Failed(const char* step, int code, std::string* error);

  std::string output_;
  int width_, height_, delay_;
  GifFileType* gif_ = nullptr;
  std::vector<std::uint8_t> bytes_;
  std::vector<unsigned char> red_, green_, blue_, indices_;
  StagedFiles files_;
};
