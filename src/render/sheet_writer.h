#pragma once
// A sprite sheet: COLS x ROWS cells of one frame each in one PNG, left to right and top to
// bottom. Frames are sampled evenly over the cells (frame floor(i * total / cells) in cell i);
// with fewer frames than cells each frame gets a cell and the rest stay empty: transparent,
// or the background when one is given.

#include "render/frame_writer.h"
#include "render/staged_files.h"

class SheetWriter final : public FrameWriter {
 public:
  explicit SheetWriter(const RenderSettings& settings);
  bool Open(std::string* error) override { return files_.Reserve(output_, error); }
  std::vector<int> FramesWanted(int total) const override;
  bool Write(const gfx::Image& frame, std::string* error) override;
  bool Finish(std::string* error) override;

 private:
  std::string output_;
  int columns_, rows_, cellWidth_, cellHeight_;
  gfx::Image sheet_;
  int next_ = 0;
  StagedFiles files_;
};
