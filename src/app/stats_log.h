#pragma once
// --stats PATH: the frame figures as one JSON object a line, written and flushed each time
// a second of wall time closes, so that another program can follow the file as it grows.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "ui/frame_figures.h"

class StatsLog {
 public:
  // Null, with the reason in *error, when the file cannot be opened for writing.
  static std::unique_ptr<StatsLog> Open(const std::string& path, std::string* error);

  // Once a frame: writes a line when the figures closed a second since the last line. A write
  // that fails is told once on standard error; the run goes on without the log.
  void Frame(const FrameFigures& figures);

  // The line for the figures' last second, without its newline.
  static std::string Line(const FrameFigures& figures);

 private:
  struct Closer {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };
  StatsLog(std::unique_ptr<std::FILE, Closer> file, std::string path)
      : file_(std::move(file)), path_(std::move(path)) {}

  std::unique_ptr<std::FILE, Closer> file_;
  std::string path_;
  std::uint64_t secondsWritten_ = 0;
};
