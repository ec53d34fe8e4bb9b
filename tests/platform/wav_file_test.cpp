#include "platform/audio/wav_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

void PutU32(Bytes& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// A chunk as a file holds it: type, stated size, data (and the pad byte of an odd size).
Bytes Chunk(const char* type, const Bytes& data, std::int64_t statedSize = -1, bool pad = true) {
  Bytes out(type, type + 4);
  PutU32(out,
         statedSize < 0 ? static_cast<std::uint32_t>(data.size()) : static_cast<std::uint32_t>(statedSize));
  out.insert(out.end(), data.begin(), data.end());
  if (pad && (data.size() & 1u)) out.push_back(0);
  return out;
}

Bytes Riff(const std::vector<Bytes>& chunks, const char* form = "WAVE", std::int64_t statedSize = -1) {
  Bytes body(form, form + 4);
  for (const Bytes& c : chunks) body.insert(body.end(), c.begin(), c.end());
  return Chunk("RIFF", body, statedSize < 0 ? static_cast<std::int64_t>(body.size()) : statedSize, false);
}

// 16-bit mono PCM at 22050 Hz, in the 16 bytes of the plain format.
Bytes Pcm16Format() {
  Bytes f = {1, 0, 1, 0};  // PCM, one channel
  PutU32(f, 22050);
  PutU32(f, 44100);
  f.insert(f.end(), {2, 0, 16, 0});
  return f;
}

const Bytes kSamples = {1, 2, 3, 4, 5, 6};

audio::WavError ErrorOf(const Bytes& file) { return audio::ReadWav(file).error; }

TEST(WavFile, EachFaultOfTheFileNamesItsStep) {
  using audio::WavError;
  const Bytes fmt = Chunk("fmt ", Pcm16Format()), data = Chunk("data", kSamples);
  EXPECT_EQ(ErrorOf(Chunk("JUNK", {1, 2, 3, 4})), WavError::kNoRiff);
  EXPECT_EQ(ErrorOf({}), WavError::kNoRiff);
  EXPECT_EQ(ErrorOf(Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0}), WavError::kFormTypeRead);  // cut after the header
  EXPECT_EQ(ErrorOf(Riff({fmt, data}, "AVI ")), WavError::kNotWave);
  EXPECT_EQ(ErrorOf(Riff({data})), WavError::kNoFormat);
  EXPECT_EQ(ErrorOf(Riff({fmt, data}, "WAVE", 0)), WavError::kNoFormat) << "a RIFF size of 0 ends the search";
  EXPECT_EQ(ErrorOf(Riff({fmt})), WavError::kNoData);
  EXPECT_EQ(ErrorOf(Riff({Chunk("fmt ", {1, 0, 1, 0}, 16, false)})), WavError::kFormatRead);
  // Data claiming more than the file holds, up to 4 GB: refused before anything is allocated.
  EXPECT_EQ(ErrorOf(Riff({fmt, Chunk("data", kSamples, 7)})), WavError::kDataRead);
  EXPECT_EQ(ErrorOf(Riff({fmt, Chunk("data", kSamples, 0xFFFFFFFF)})), WavError::kDataRead);
  // A chunk before them that runs past the end hides them.
  EXPECT_EQ(ErrorOf(Riff({Chunk("LIST", {1, 2}, 1000), fmt, data})), WavError::kNoFormat);

  for (WavError e : {WavError::kOpen, WavError::kSeek, WavError::kNoRiff, WavError::kFormTypeRead,
                     WavError::kNotWave, WavError::kNoFormat, WavError::kFormatRead, WavError::kNoData,
                     WavError::kDataRead})
    EXPECT_STRNE(audio::WavErrorMessage(e), "") << static_cast<int>(e);
  EXPECT_STREQ(audio::WavErrorMessage(WavError::kNoRiff), "WAVEファイルのチェックに失敗！(1)");
  EXPECT_STREQ(audio::WavErrorMessage(WavError::kDataRead), "オーディオデータ読み込みに失敗！(2)");
  EXPECT_EQ(audio::LoadWav("no/such/sound.wav").error, WavError::kOpen);
}

TEST(WavFile, ChunksInAnyOrderWithPaddingAndLongFormatsLoad) {
  const Bytes fmt = Chunk("fmt ", Pcm16Format()), data = Chunk("data", kSamples);
  Bytes longFormat = Pcm16Format();
  longFormat.resize(60, 0xAB);
  const std::vector<Bytes> files = {
      Riff({fmt, data}),
      Riff({data, fmt}),                                // the format after the samples
      Riff({Chunk("LIST", {'a', 'b', 'c'}), fmt, data}),  // an odd chunk and its pad byte first
      Riff({Chunk("fmt ", longFormat), data}),          // 60 bytes: the first 40 are kept
  };
  for (std::size_t i = 0; i < files.size(); ++i) {
    const auto result = audio::ReadWav(files[i]);
    ASSERT_EQ(result.error, audio::WavError::kNone) << "file " << i;
    EXPECT_EQ(result.wav.data, kSamples) << "file " << i;
    EXPECT_EQ(std::memcmp(result.wav.format.data(), Pcm16Format().data(), 16), 0) << "file " << i;
  }
  const auto longOne = audio::ReadWav(files[3]);
  EXPECT_EQ(longOne.wav.formatChunkBytes, 60u);
  EXPECT_EQ(longOne.wav.format[39], 0xAB);
  EXPECT_EQ(audio::ReadWav(files[0]).wav.format[16], 0) << "the rest of the record stays zero";

  // The canonical image reads back to the same sound, with the chunks in order.
  for (const Bytes& file : files) {
    const auto first = audio::ReadWav(file);
    const Bytes canonical = audio::CanonicalWav(first.wav);
    const auto again = audio::ReadWav(canonical);
    ASSERT_EQ(again.error, audio::WavError::kNone);
    EXPECT_EQ(again.wav.data, first.wav.data);
    EXPECT_EQ(again.wav.format, first.wav.format);
    EXPECT_EQ(std::string(canonical.begin() + 12, canonical.begin() + 16), "fmt ");
    EXPECT_EQ(canonical.size() % 2, 0u);
  }
}

// A format record: tag, channels, rate, block align, then what follows the first 16 bytes.
audio::WavFile WavWith(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate,
                       std::uint16_t blockAlign, std::size_t dataBytes, const Bytes& extension = {}) {
  Bytes f = {static_cast<std::uint8_t>(tag), static_cast<std::uint8_t>(tag >> 8),
             static_cast<std::uint8_t>(channels), static_cast<std::uint8_t>(channels >> 8)};
  PutU32(f, rate);
  PutU32(f, rate * blockAlign);
  f.insert(f.end(),
           {static_cast<std::uint8_t>(blockAlign), static_cast<std::uint8_t>(blockAlign >> 8), 16, 0});
  f.insert(f.end(), extension.begin(), extension.end());
  const auto read = audio::ReadWav(Riff({Chunk("fmt ", f), Chunk("data", Bytes(dataBytes, 0))}));
  EXPECT_EQ(read.error, audio::WavError::kNone);
  return read.wav;
}

TEST(WavFile, PlayingLengthComesFromTheFormatBeforeAnythingIsDecoded) {
  EXPECT_EQ(audio::PlaySeconds(WavWith(1, 2, 22050, 4, 4 * 22050)), 1.0);
  EXPECT_EQ(audio::PlaySeconds(WavWith(1, 1, 2, 1, 4096)), 2048.0) << "a 4 KB file of 2 Hz plays 34 minutes";
  EXPECT_EQ(audio::PlaySeconds(WavWith(1, 1, 1, 1, 601)), 601.0);
  EXPECT_EQ(audio::PlaySeconds(WavWith(1, 2, 8000, 4, 4 * 8000 + 3)), 1.0) << "a partial frame plays nothing";
  EXPECT_FALSE(audio::PlaySeconds(WavWith(1, 1, 22050, 0, 64))) << "no block align";
  EXPECT_FALSE(audio::PlaySeconds(WavWith(1, 1, 0, 2, 64))) << "no rate";

  // An ADPCM block holds the frames its format states (IMA: 505 in 256 bytes), or at most
  // two a byte a channel when it states none.
  const Bytes ima505 = {2, 0, 0xF9, 0x01};
  EXPECT_DOUBLE_EQ(*audio::PlaySeconds(WavWith(0x11, 1, 22050, 256, 256 * 10, ima505)), 10 * 505 / 22050.0);
  EXPECT_DOUBLE_EQ(*audio::PlaySeconds(WavWith(0x02, 2, 22050, 512, 512 * 10)), 10 * 512 / 22050.0);
  // Extensible formats count by their sub-format.
  Bytes extensible = {22, 0, 0xF9, 0x01, 0, 0, 0, 0, 0x11, 0};
  extensible.resize(24, 0);
  EXPECT_DOUBLE_EQ(*audio::PlaySeconds(WavWith(0xFFFE, 1, 22050, 256, 256 * 10, extensible)),
                   10 * 505 / 22050.0);
}

}  // namespace
