#include "platform/audio/wav_file.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <optional>

namespace audio {

namespace {

// Far beyond any sound effect: a file this large is refused before it is read.
constexpr std::uintmax_t kMaxWavBytes = 512u * 1024u * 1024u;

std::uint32_t ReadU32(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
         static_cast<std::uint32_t>(bytes[at + 2]) << 16 | static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

std::uint16_t ReadU16(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

bool IsFourcc(std::span<const std::uint8_t> bytes, std::size_t at, const char* fourcc) {
  return std::memcmp(bytes.data() + at, fourcc, 4) == 0;
}

struct Chunk {
  std::uint32_t size;
  std::size_t position;  // of its data
};

// Walks the chunks from the file's start, descending into "RIFF" (whose data is taken to
// be its 4-byte form type), until the wanted one. Missing at the end of the file, and after
// the first chunk that is not wanted when no RIFF size above 0 has been seen.
std::optional<Chunk> FindChunk(std::span<const std::uint8_t> file, const char* fourcc) {
  std::size_t offset = 0;
  std::uint32_t riffSize = 0;
  while (file.size() - offset >= 8) {
    const bool riff = IsFourcc(file, offset, "RIFF");
    const bool wanted = IsFourcc(file, offset, fourcc);
    std::uint32_t size = ReadU32(file, offset + 4);
    offset += 8;
    std::uint64_t skip = size;
    if (riff) {
      riffSize = size;
      size = 4;
      skip = 4;
    } else {
      skip += size & 1u;  // RIFF pads odd chunks to an even length
    }
    if (wanted) return Chunk{size, offset};
    if (riffSize == 0) return std::nullopt;
    if (skip > file.size() - offset) return std::nullopt;
    offset += static_cast<std::size_t>(skip);
  }
  return std::nullopt;
}

void AppendU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// Byte by byte: GCC 12 at -O3 takes a range insert into the freshly reserved vector for an
// overflow (-Wstringop-overflow, a false positive).
void AppendFourcc(std::vector<std::uint8_t>& out, const char* fourcc) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(fourcc[i]));
}

void AppendChunk(std::vector<std::uint8_t>& out, const char* fourcc, std::span<const std::uint8_t> data) {
  AppendFourcc(out, fourcc);
  AppendU32(out, static_cast<std::uint32_t>(data.size()));
  out.insert(out.end(), data.begin(), data.end());
  if (data.size() & 1u) out.push_back(0);
}

}  // namespace

const char* WavErrorMessage(WavError error) {
  switch (error) {
    case WavError::kNone: return "";
    case WavError::kOpen: return "サウンドデータファイルの生成に失敗！(1)";
    case WavError::kSeek: return "サウンドデータファイルの生成に失敗！(2)";
    case WavError::kNoRiff: return "WAVEファイルのチェックに失敗！(1)";
    case WavError::kFormTypeRead: return "WAVEファイルのチェックに失敗！(2)";
    case WavError::kNotWave: return "WAVEファイルのチェックに失敗！(3)";
    case WavError::kNoFormat: return "フォーマットチェックに失敗！(1)";
    case WavError::kFormatRead: return "フォーマットチェックに失敗！(2)";
    case WavError::kNoData: return "オーディオデータ読み込みに失敗！(1)";
    case WavError::kDataRead: return "オーディオデータ読み込みに失敗！(2)";
  }
  return "";
}

WavReadResult ReadWav(std::span<const std::uint8_t> file) {
  WavReadResult result;
  const auto riff = FindChunk(file, "RIFF");
  if (!riff) return {WavError::kNoRiff, {}};
  if (file.size() - riff->position < 4) return {WavError::kFormTypeRead, {}};
  if (!IsFourcc(file, riff->position, "WAVE")) return {WavError::kNotWave, {}};

  const auto format = FindChunk(file, "fmt ");
  if (!format) return {WavError::kNoFormat, {}};
  // A longer chunk is read up to what the format record holds.
  const std::size_t formatBytes = std::min<std::size_t>(format->size, WavFile::kFormatBytes);
  if (file.size() - format->position < formatBytes) return {WavError::kFormatRead, {}};
  std::memcpy(result.wav.format.data(), file.data() + format->position, formatBytes);
  result.wav.formatChunkBytes = format->size;

  const auto data = FindChunk(file, "data");
  if (!data) return {WavError::kNoData, {}};
  if (file.size() - data->position < data->size) return {WavError::kDataRead, {}};
  result.wav.data.assign(file.begin() + static_cast<std::ptrdiff_t>(data->position),
                         file.begin() + static_cast<std::ptrdiff_t>(data->position + data->size));
  return result;
}

WavReadResult LoadWav(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return {WavError::kOpen, {}};
  const std::streamoff length = in.tellg();
  if (length < 0 || static_cast<std::uintmax_t>(length) > kMaxWavBytes) return {WavError::kOpen, {}};
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(length));
  in.seekg(0);
  if (!in || !in.read(reinterpret_cast<char*>(bytes.data()), length)) return {WavError::kSeek, {}};
  return ReadWav(bytes);
}

std::optional<double> PlaySeconds(const WavFile& wav) {
  constexpr std::uint16_t kMsAdpcm = 0x0002, kImaAdpcm = 0x0011, kExtensible = 0xFFFE;
  const std::span<const std::uint8_t> format = wav.format;
  std::uint16_t tag = ReadU16(format, 0);
  if (tag == kExtensible) tag = ReadU16(format, 24);  // the sub-format GUID starts with the tag
  const std::uint16_t channels = ReadU16(format, 2), blockAlign = ReadU16(format, 12);
  const std::uint32_t rate = ReadU32(format, 4);
  if (blockAlign == 0 || rate == 0) return std::nullopt;
  double framesPerBlock = 1.0;
  if (tag == kMsAdpcm || tag == kImaAdpcm) {
    // Stated in the format's extension; without it, at most two 4-bit samples a byte.
    const std::uint16_t stated = wav.formatChunkBytes >= 20 ? ReadU16(format, 18) : 0;
    framesPerBlock = stated != 0 ? stated : 2.0 * blockAlign / std::max<std::uint16_t>(channels, 1);
  }
  return static_cast<double>(wav.data.size() / blockAlign) * framesPerBlock / rate;
}

std::vector<std::uint8_t> CanonicalWav(const WavFile& wav) {
  const std::size_t formatBytes = std::min<std::size_t>(wav.formatChunkBytes, WavFile::kFormatBytes);
  std::vector<std::uint8_t> out;
  out.reserve(12 + 8 + formatBytes + 1 + 8 + wav.data.size() + 1);
  AppendFourcc(out, "RIFF");
  AppendU32(out, 0);  // filled in below
  AppendFourcc(out, "WAVE");
  AppendChunk(out, "fmt ", std::span(wav.format.data(), formatBytes));
  AppendChunk(out, "data", wav.data);
  const auto riffSize = static_cast<std::uint32_t>(out.size() - 8);
  for (int i = 0; i < 4; ++i) out[4 + i] = static_cast<std::uint8_t>(riffSize >> (8 * i));
  return out;
}

}  // namespace audio
