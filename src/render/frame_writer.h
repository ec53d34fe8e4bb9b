#pragma once
// Where rendered frames go: one kind of file each (a sprite sheet, numbered PNGs, a GIF, a
// video). A writer writes under temporary names and puts its files in place only in Finish;
// one destroyed before that leaves nothing behind.

#include <memory>
#include <string>
#include <vector>

#include "platform/gfx/image.h"
#include "render/render_settings.h"

class FrameWriter {
 public:
  virtual ~FrameWriter() = default;
  // Before any frame is drawn: false, with the reason, when the output cannot be written.
  virtual bool Open(std::string* /*error*/) { return true; }
  // The frames it takes out of `total`, in order: the renderer draws only these.
  virtual std::vector<int> FramesWanted(int total) const;
  // The next wanted frame, of the settings' size.
  virtual bool Write(const gfx::Image& frame, std::string* error) = 0;
  // After the last frame: the files in place. False, with nothing left behind, on failure.
  virtual bool Finish(std::string* error) = 0;
};

// The writer the settings' output kind asks for; null, with the reason, when it cannot start
// (a video without ffmpeg on the PATH, an output folder that cannot be written).
std::unique_ptr<FrameWriter> MakeFrameWriter(const RenderSettings& settings, std::string* error);
