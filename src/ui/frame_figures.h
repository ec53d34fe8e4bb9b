#pragma once
// What the preview costs, as plain numbers: the scene's contents, the frames' costs and
// rates, and the last frames' times. The program measures them; the editor's Stats window
// and the scene's overlay show them through the one table of rows below.

#include <array>
#include <cstdint>
#include <span>

struct FrameFigures {
  static constexpr int kHistory = 300;

  // The scene as the last frame left it.
  int billboardParticles = 0;
  int meshParticles = 0;
  int trails = 0;
  int emitters = 0;
  int objects = 0;  // everything in the registry: the floor and the pointer too

  // The last whole second of wall time: its rates and the mean of its frames.
  double framesPerSecond = 0.0;
  double stepsPerSecond = 0.0;
  double updateMs = 0.0;  // the scene's fixed steps
  double drawMs = 0.0;    // the scene window's picture, up to its present
  double frameMs = 0.0;   // the whole frame: input, steps, editor and both windows
  double drawsPerFrame = 0.0;    // draws the scene asked of its device
  double batchesPerFrame = 0.0;  // draws the device sent to the graphics library
  double realtime = 1.0;         // effect seconds per wall second
  std::uint64_t secondsMeasured = 0;

  // Whole-frame times in ms of the last kHistory frames, a ring written at historyNext.
  std::array<float, kHistory> history{};
  int historyCount = 0;
  int historyNext = 0;

  // The i-th oldest of the frame times kept (0 <= i < historyCount).
  float History(int i) const {
    const int oldest = historyCount < kHistory ? 0 : historyNext;
    return history[static_cast<std::size_t>((oldest + i) % kHistory)];
  }
};

namespace ui {

// One labelled figure of the readouts.
struct FigureRow {
  const char* label;
  const char* format;  // printf format of the value, a double
  double (*value)(const FrameFigures&);
  bool startsGroup = false;  // a little space above it
};

std::span<const FigureRow> FigureRows();

// The rows as label and value text, each value logged under its label (kind "Figure", the
// value as shown) so that tests can read it.
void ShowFrameFigures(const FrameFigures& figures);

}  // namespace ui
