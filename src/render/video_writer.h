#pragma once
// A video made by ffmpeg: frames go down a pipe as raw RGBA, ffmpeg writes the .mp4 (H.264) or
// .webm (VP9) under the temporary name, renamed once it ends well. ffmpeg is not one of the
// program's dependencies: without it on the PATH the writer does not start and names the
// Debian package. Sides are padded to even numbers, as 4:2:0 video needs.

#include <sys/types.h>

#include "render/frame_writer.h"
#include "render/staged_files.h"

class VideoWriter final : public FrameWriter {
 public:
  explicit VideoWriter(const RenderSettings& settings);
  // Ends ffmpeg, if it still runs, and removes what it wrote.
  ~VideoWriter() override;
  // The program of that name in a folder of the PATH; empty when there is none.
  static std::string FindOnPath(const std::string& program);

  bool Open(std::string* error) override;
  bool Write(const gfx::Image& frame, std::string* error) override;
  bool Finish(std::string* error) override;

 private:
  // Closes the pipe and waits for ffmpeg; its exit status, or -1 when it did not exit.
  int Wait();

  RenderSettings settings_;
  pid_t child_ = -1;
  int pipe_ = -1;
  StagedFiles files_;
};
