// Decoding an mp3 whole, as the sound manager does at start: the sample loop's frames 30 times
// over (62 s of 22.05 kHz stereo) from memory. The figure is seconds of sound decoded per
// second. Target: at least 200, so a sound at the 10-minute limit costs the start-up at most 3 s.

#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/audio/mp3_decoder.h"
#include "support/source_tree.h"

namespace {

std::vector<std::uint8_t> LongMp3() {
  constexpr std::size_t kInfoFrameBytes = 208;
  std::ifstream in(SourcePath("Data/SOUND/loop.mp3"), std::ios::binary);
  const std::vector<std::uint8_t> sample((std::istreambuf_iterator<char>(in)),
                                         std::istreambuf_iterator<char>());
  std::vector<std::uint8_t> out(sample.begin(), sample.begin() + kInfoFrameBytes);
  for (int i = 0; i < 30; ++i) out.insert(out.end(), sample.begin() + kInfoFrameBytes, sample.end());
  return out;
}

void BM_DecodeMp3(benchmark::State& state) {
  const std::vector<std::uint8_t> file = LongMp3();
  double seconds = 0;
  for (auto _ : state) {
    const auto decoded = audio::DecodeMp3(file, 600);
    if (decoded.error != audio::Mp3Error::kNone) {
      state.SkipWithError(decoded.why.c_str());
      break;
    }
    seconds += decoded.sound.Seconds();
    benchmark::DoNotOptimize(decoded.sound.samples.data());
  }
  state.counters["x_real_time"] = benchmark::Counter(seconds, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DecodeMp3)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
