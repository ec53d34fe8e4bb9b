#pragma once
// One PNG a frame, named by the output's number pattern from 0 (fire_%04d.png: fire_0000.png,
// fire_0001.png, ...), all put in place together at the end.

#include "render/frame_writer.h"
#include "render/staged_files.h"

class SequenceWriter final : public FrameWriter {
 public:
  explicit SequenceWriter(const RenderSettings& settings) : pattern_(settings.output) {}
  bool Open(std::string* error) override { return files_.Reserve(SequenceFileName(pattern_, 0), error); }
  bool Write(const gfx::Image& frame, std::string* error) override;
  bool Finish(std::string* error) override { return files_.Commit(error); }

 private:
  std::string pattern_;
  int next_ = 0;
  StagedFiles files_;
};
