#pragma once
// MPEG audio frame headers (MPEG 1, 2 and 2.5; Layers I, II and III) and the check that a
// file is MPEG audio before any decoder sees its bytes.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace audio {

enum class MpegVersion { k1, k2, k25 };

struct MpegFrameHeader {
  MpegVersion version = MpegVersion::k1;
  int layer = 0;       // 1, 2 or 3
  int bitrate = 0;     // bits per second
  int sampleRate = 0;  // Hz
  bool padding = false;
  std::size_t frameBytes = 0;  // the whole frame, its header included
};

// The frame header in the four bytes at `at`; nothing when they hold none. A free-format
// bitrate counts as none: without it the frame's length, and so the next header, is unknown.
std::optional<MpegFrameHeader> ReadMpegFrameHeader(std::span<const std::uint8_t> bytes, std::size_t at);

// Where the first audio frame starts: after an ID3v2 tag when there is one, a frame header,
// and a second one of the same stream exactly where the first frame ends. Nothing when the
// bytes are not MPEG audio.
std::optional<std::size_t> FindMpegAudio(std::span<const std::uint8_t> file);

}  // namespace audio
