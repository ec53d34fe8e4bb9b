#pragma once
// Data/SOUND/loop.mp3 taken apart: its Info frame, which says the file holds 79 frames (2 s),
// and those frames, so tests can build mp3s of any length behind the same short header.

#include <fstream>
#include <iterator>
#include <string>

#include "support/source_tree.h"

inline std::string ReadTestFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string SampleMp3() {
  return ReadTestFile(SourcePath("Data/SOUND/loop.mp3"));
}

// The Info frame, then the sample's audio frames `loops` times over (2.06 s each).
inline std::string Mp3OfLoops(int loops) {
  constexpr std::size_t kInfoFrameBytes = 208;
  const std::string sample = SampleMp3();
  std::string out = sample.substr(0, kInfoFrameBytes);
  for (int i = 0; i < loops; ++i) out.append(sample, kInfoFrameBytes);
  return out;
}
