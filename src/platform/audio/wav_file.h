#pragma once
// The RIFF/WAVE reader: finds the "RIFF", "fmt " and "data" chunks of a wav file, keeps the
// wave format (the 40-byte extensible record, zeroed, then the chunk's bytes up to what it
// holds) and the samples, and can write them again as a well-ordered wav in memory.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace audio {

// The step that failed, each with the message the user sees.
enum class WavError {
  kNone,
  kOpen,            // the file cannot be opened
  kSeek,            // the file cannot be read from its start
  kNoRiff,          // no "RIFF" chunk
  kFormTypeRead,    // the form type after "RIFF" is cut off
  kNotWave,         // the form type is not "WAVE"
  kNoFormat,        // no "fmt " chunk
  kFormatRead,      // the "fmt " chunk is cut off
  kNoData,          // no "data" chunk
  kDataRead,        // the "data" chunk claims more bytes than the file holds
};
const char* WavErrorMessage(WavError error);

struct WavFile {
  static constexpr std::size_t kFormatBytes = 40;  // WAVEFORMATEXTENSIBLE
  std::array<std::uint8_t, kFormatBytes> format{};
  std::uint32_t formatChunkBytes = 0;  // the "fmt " chunk's stated size
  std::vector<std::uint8_t> data;
};

struct WavReadResult {
  WavError error = WavError::kNone;
  WavFile wav;
};

// Reads a whole file's bytes. Nothing is allocated from a size the file states before the
// bytes are known to be there.
WavReadResult ReadWav(std::span<const std::uint8_t> file);
// Reads the file at path (kOpen when it cannot be opened or is larger than a wav may be).
WavReadResult LoadWav(const std::string& path);

// How long the samples play, known before anything decodes them: data bytes / block align /
// sample rate, an ADPCM block counting as the frames its format says it holds. Nothing when
// the format gives a block align or sample rate of 0.
std::optional<double> PlaySeconds(const WavFile& wav);

// A canonical RIFF/WAVE image of the sound: "fmt " (the format as the file gave it, at most
// 40 bytes) then "data".
std::vector<std::uint8_t> CanonicalWav(const WavFile& wav);

}  // namespace audio
