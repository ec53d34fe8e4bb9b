#pragma once
// Decoded sound: signed 16-bit samples in native byte order, channels interleaved.

#include <cstdint>
#include <vector>

namespace audio {

struct Pcm16 {
  int rate = 0;
  int channels = 0;
  std::vector<std::int16_t> samples;

  double Seconds() const {
    return rate > 0 && channels > 0 ? static_cast<double>(samples.size()) / channels / rate : 0.0;
  }
};

}  // namespace audio
