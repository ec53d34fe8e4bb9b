#include "platform/audio/mpeg_audio.h"

#include <array>

namespace audio {

namespace {

// Kilobits per second by bitrate index (0 is free format; 15 is invalid). Rows: MPEG 1
// Layers I, II and III; MPEG 2 and 2.5 Layer I; MPEG 2 and 2.5 Layers II and III.
constexpr int kBitrates[5][15] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
};

constexpr std::array<int, 3> kSampleRates1 = {44100, 48000, 32000};

constexpr std::size_t kId3HeaderBytes = 10;

int BitrateKbps(MpegVersion version, int layer, unsigned index) {
  if (version == MpegVersion::k1) return kBitrates[layer - 1][index];
  return kBitrates[layer == 1 ? 3 : 4][index];
}

std::size_t FrameBytes(const MpegFrameHeader& h) {
  const int padding = h.padding ? 1 : 0;
  if (h.layer == 1) return static_cast<std::size_t>((12 * h.bitrate / h.sampleRate + padding) * 4);
  // Layer III outside MPEG 1 holds half the samples a frame, so half the bytes.
  const int factor = h.layer == 3 && h.version != MpegVersion::k1 ? 72 : 144;
  return static_cast<std::size_t>(factor * h.bitrate / h.sampleRate + padding);
}

// The bytes an ID3v2 tag at the start takes (0 when there is none); nothing when a tag is
// there but malformed.
std::optional<std::size_t> Id3v2Bytes(std::span<const std::uint8_t> file) {
  if (file.size() < 3 || file[0] != 'I' || file[1] != 'D' || file[2] != '3') return 0;
  if (file.size() < kId3HeaderBytes || file[3] == 0xFF || file[4] == 0xFF) return std::nullopt;
  std::size_t size = 0;
  for (std::size_t i = 6; i < 10; ++i) {
    if (file[i] & 0x80) return std::nullopt;  // the size is synchsafe: 7 bits a byte
    size = size << 7 | file[i];
  }
  const bool footer = (file[5] & 0x10) != 0;
  return kId3HeaderBytes + size + (footer ? kId3HeaderBytes : 0);
}

}  // namespace

std::optional<MpegFrameHeader> ReadMpegFrameHeader(std::span<const std::uint8_t> bytes, std::size_t at) {
  if (at > bytes.size() || bytes.size() - at < 4) return std::nullopt;
  const std::uint32_t word = static_cast<std::uint32_t>(bytes[at]) << 24 |
                             static_cast<std::uint32_t>(bytes[at + 1]) << 16 |
                             static_cast<std::uint32_t>(bytes[at + 2]) << 8 | bytes[at + 3];
  if ((word >> 21) != 0x7FF) return std::nullopt;
  const unsigned versionBits = (word >> 19) & 3, layerBits = (word >> 17) & 3;
  const unsigned bitrateIndex = (word >> 12) & 15, rateIndex = (word >> 10) & 3;
  if (versionBits == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3)
    return std::nullopt;

  MpegFrameHeader h;
  h.version = versionBits == 3 ? MpegVersion::k1 : versionBits == 2 ? MpegVersion::k2 : MpegVersion::k25;
  h.layer = 4 - static_cast<int>(layerBits);
  h.bitrate = BitrateKbps(h.version, h.layer, bitrateIndex) * 1000;
  const int divisor = h.version == MpegVersion::k1 ? 1 : h.version == MpegVersion::k2 ? 2 : 4;
  h.sampleRate = kSampleRates1[rateIndex] / divisor;
  h.padding = ((word >> 9) & 1) != 0;
  h.frameBytes = FrameBytes(h);
  return h;
}

std::optional<std::size_t> FindMpegAudio(std::span<const std::uint8_t> file) {
  const std::optional<std::size_t> start = Id3v2Bytes(file);
  if (!start || *start > file.size()) return std::nullopt;
  const auto first = ReadMpegFrameHeader(file, *start);
  if (!first || first->frameBytes > file.size() - *start) return std::nullopt;
  const auto second = ReadMpegFrameHeader(file, *start + first->frameBytes);
  if (!second || second->version != first->version || second->layer != first->layer ||
      second->sampleRate != first->sampleRate)
    return std::nullopt;
  return start;
}

}  // namespace audio
