// The wav reader on any bytes: it must refuse or read them without touching memory it does
// not own, what it reads must survive being written canonically and read again, and its
// playing length must be known (or refused) from the format alone.

#include <cstdint>
#include <span>

#include "platform/audio/wav_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto result = audio::ReadWav(std::span(data, size));
  if (result.error != audio::WavError::kNone) return 0;
  const auto seconds = audio::PlaySeconds(result.wav);
  if (seconds && !(*seconds >= 0.0)) __builtin_trap();
  const auto again = audio::ReadWav(audio::CanonicalWav(result.wav));
  if (again.error != audio::WavError::kNone || again.wav.data != result.wav.data ||
      again.wav.format != result.wav.format || audio::PlaySeconds(again.wav) != seconds)
    __builtin_trap();
  return 0;
}
