#pragma once
// Mp3 files decoded whole into memory with libmpg123, bounded by what they decode to: the
// decoding stops as soon as the sound plays longer than allowed, whatever its headers claim.

#include <cstdint>
#include <span>
#include <string>

#include "platform/audio/pcm.h"

namespace audio {

enum class Mp3Error {
  kNone,
  kOpen,     // the file cannot be read, or is larger than an mp3 may be
  kNotMpeg,  // the bytes do not start as MPEG audio: no decoder sees them
  kDecode,   // the decoder failed or found no audio
  kTooLong,  // it plays longer than allowed
};

struct Mp3DecodeResult {
  Mp3Error error = Mp3Error::kNone;
  std::string why;  // for the user, when refused
  Pcm16 sound;
};

// Decodes the bytes of a whole file.
Mp3DecodeResult DecodeMp3(std::span<const std::uint8_t> file, double maxSeconds);
// Reads the file at path and decodes it.
Mp3DecodeResult LoadMp3(const std::string& path, double maxSeconds);

}  // namespace audio
