#include "platform/audio/mp3_decoder.h"

#include <mpg123.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <fstream>
#include <memory>

#include "platform/audio/mpeg_audio.h"

namespace audio {

namespace {

// Ten minutes at 320 kbit/s is 24 MB; the rest leaves room for tags and cover pictures.
constexpr std::uintmax_t kMaxMp3Bytes = 64u * 1024u * 1024u;
// The content was checked at the start; past it, garbage ends the stream instead of being
// searched through for something that looks like a frame.
constexpr long kResyncLimitBytes = 256;
constexpr std::size_t kBlockSamples = 16384;

// The file's bytes as a stream mpg123 reads and seeks.
struct MemoryStream {
  std::span<const std::uint8_t> bytes;
  std::size_t position = 0;
};

mpg123_ssize_t ReadStream(void* handle, void* buffer, std::size_t bytes) {
  auto* stream = static_cast<MemoryStream*>(handle);
  const std::size_t count = std::min(bytes, stream->bytes.size() - stream->position);
  std::memcpy(buffer, stream->bytes.data() + stream->position, count);
  stream->position += count;
  return static_cast<mpg123_ssize_t>(count);
}

off_t SeekStream(void* handle, off_t offset, int whence) {
  auto* stream = static_cast<MemoryStream*>(handle);
  off_t base = 0;
  if (whence == SEEK_CUR)
    base = static_cast<off_t>(stream->position);
  else if (whence == SEEK_END)
    base = static_cast<off_t>(stream->bytes.size());
  else if (whence != SEEK_SET)
    return -1;
  if (offset < -base || offset > static_cast<off_t>(stream->bytes.size()) - base) return -1;
  stream->position = static_cast<std::size_t>(base + offset);
  return static_cast<off_t>(stream->position);
}

struct DecoderDeleter {
  void operator()(mpg123_handle* decoder) const {
    mpg123_close(decoder);
    mpg123_delete(decoder);
  }
};
using Decoder = std::unique_ptr<mpg123_handle, DecoderDeleter>;

// A decoder over the stream giving 16-bit samples at the file's own rate and channels. An
// Info frame's count trims the encoder's padding (so loops stay seamless) but does not end the
// decoding: the sound is as long as the audio the file holds.
Decoder OpenDecoder(MemoryStream* stream, std::string* why) {
  int error = MPG123_OK;
  Decoder decoder(mpg123_new(nullptr, &error));
  if (!decoder) {
    *why = mpg123_plain_strerror(error);
    return nullptr;
  }
  mpg123_handle* d = decoder.get();
  mpg123_param(d, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
  mpg123_param(d, MPG123_RESYNC_LIMIT, kResyncLimitBytes, 0.0);
  mpg123_format_none(d);
  const long* rates = nullptr;
  std::size_t rateCount = 0;
  mpg123_rates(&rates, &rateCount);
  for (std::size_t i = 0; i < rateCount; ++i)
    mpg123_format(d, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
  if (mpg123_replace_reader_handle(d, ReadStream, SeekStream, nullptr) != MPG123_OK ||
      mpg123_open_handle(d, stream) != MPG123_OK) {
    *why = mpg123_strerror(d);
    return nullptr;
  }
  return decoder;
}

Mp3DecodeResult Refuse(Mp3Error error, std::string why) {
  return {error, std::move(why), {}};
}

std::string TooLong(double maxSeconds) {
  return "it plays more than the " + std::to_string(static_cast<long long>(maxSeconds)) + " s a sound may";
}

}  // namespace

Mp3DecodeResult DecodeMp3(std::span<const std::uint8_t> file, double maxSeconds) {
  if (!FindMpegAudio(file)) return Refuse(Mp3Error::kNotMpeg, "not MPEG audio");
  MemoryStream stream{file, 0};
  std::string why;
  const Decoder decoder = OpenDecoder(&stream, &why);
  if (!decoder) return Refuse(Mp3Error::kDecode, why);

  Pcm16 pcm;
  std::uint64_t maxSamples = 0;
  std::array<std::int16_t, kBlockSamples> block;
  for (;;) {
    std::size_t bytes = 0;
    const int status = mpg123_read(decoder.get(), block.data(), sizeof block, &bytes);
    if (status == MPG123_NEW_FORMAT) {
      long rate = 0;
      int channels = 0, encoding = 0;
      mpg123_getformat(decoder.get(), &rate, &channels, &encoding);
      if (pcm.rate != 0 && (pcm.rate != rate || pcm.channels != channels))
        return Refuse(Mp3Error::kDecode, "its sample rate or channels change partway");
      pcm.rate = static_cast<int>(rate);
      pcm.channels = channels;
      maxSamples = static_cast<std::uint64_t>(std::floor(maxSeconds * static_cast<double>(rate))) *
                   static_cast<std::uint64_t>(channels);
    } else if (status != MPG123_OK && status != MPG123_DONE) {
      return Refuse(Mp3Error::kDecode, mpg123_strerror(decoder.get()));
    }
    const std::size_t samples = bytes / sizeof(std::int16_t);
    if (samples > 0 && pcm.channels == 0) return Refuse(Mp3Error::kDecode, "samples before any format");
    if (pcm.samples.size() + samples > maxSamples && samples > 0)
      return Refuse(Mp3Error::kTooLong, TooLong(maxSeconds));
    pcm.samples.insert(pcm.samples.end(), block.begin(),
                       block.begin() + static_cast<std::ptrdiff_t>(samples));
    if (status == MPG123_DONE) break;
  }
  if (pcm.samples.empty() || pcm.samples.size() % static_cast<std::size_t>(pcm.channels) != 0)
    return Refuse(Mp3Error::kDecode, "no whole audio frame decodes");
  return {Mp3Error::kNone, {}, std::move(pcm)};
}

Mp3DecodeResult LoadMp3(const std::string& path, double maxSeconds) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return Refuse(Mp3Error::kOpen, "cannot be opened");
  const std::streamoff length = in.tellg();
  if (length < 0 || static_cast<std::uintmax_t>(length) > kMaxMp3Bytes)
    return Refuse(Mp3Error::kOpen,
                  "larger than the " + std::to_string(kMaxMp3Bytes >> 20) + " MB an mp3 may be");
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(length));
  in.seekg(0);
  if (!in.read(reinterpret_cast<char*>(bytes.data()), length))
    return Refuse(Mp3Error::kOpen, "cannot be read");
  return DecodeMp3(bytes, maxSeconds);
}

}  // namespace audio
