#include "platform/audio/mp3_decoder.h"

#include <gtest/gtest.h>

#include <string>

#include "support/sample_mp3.h"
#include "support/source_tree.h"

namespace {

std::span<const std::uint8_t> BytesOf(const std::string& s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

std::string FuzzInput(const char* path) {
  return ReadTestFile(SourcePath("fuzz/") + path);
}

TEST(Mp3Decoder, DecodesWholeFilesAtTheirOwnRateWhateverTheirInfoFrameClaims) {
  const auto sample = audio::DecodeMp3(BytesOf(SampleMp3()), 600);
  ASSERT_EQ(sample.error, audio::Mp3Error::kNone) << sample.why;
  EXPECT_EQ(sample.sound.rate, 22050);
  EXPECT_EQ(sample.sound.channels, 2);
  EXPECT_NEAR(sample.sound.Seconds(), 2.0, 0.01)
      << "the encoder's padding is trimmed, so the loop is seamless";

  // The Info frame says 79 frames; the decoder goes on through all that follow.
  const auto five = audio::DecodeMp3(BytesOf(Mp3OfLoops(5)), 600);
  ASSERT_EQ(five.error, audio::Mp3Error::kNone) << five.why;
  EXPECT_NEAR(five.sound.Seconds(), 5 * 79 * 576 / 22050.0, 0.1);
  const auto claimsOne = audio::DecodeMp3(BytesOf(FuzzInput("corpus/mp3/info_claims_one_frame.mp3")), 600);
  ASSERT_EQ(claimsOne.error, audio::Mp3Error::kNone) << claimsOne.why;
  EXPECT_GT(claimsOne.sound.Seconds(), 10 * 576 / 22050.0) << "12 frames behind a header claiming 1";

  // An ID3v2 tag in front changes nothing of the sound.
  const auto plain = audio::DecodeMp3(BytesOf(FuzzInput("corpus/mp3/short.mp3")), 600);
  const auto tagged = audio::DecodeMp3(BytesOf(FuzzInput("corpus/mp3/id3_tagged.mp3")), 600);
  ASSERT_EQ(plain.error, audio::Mp3Error::kNone) << plain.why;
  ASSERT_EQ(tagged.error, audio::Mp3Error::kNone) << tagged.why;
  EXPECT_FALSE(plain.sound.samples.empty());
  EXPECT_EQ(tagged.sound.samples, plain.sound.samples);
}

TEST(Mp3Decoder, RefusesAsSoonAsTheDecodedSoundPassesTheCap) {
  const std::string tenLoops = Mp3OfLoops(10);  // 20.6 s behind a header saying 2 s
  const auto refused = audio::DecodeMp3(BytesOf(tenLoops), 5);
  EXPECT_EQ(refused.error, audio::Mp3Error::kTooLong);
  EXPECT_EQ(refused.why, "it plays more than the 5 s a sound may");
  EXPECT_TRUE(refused.sound.samples.empty());
  const auto fits = audio::DecodeMp3(BytesOf(tenLoops), 21);
  ASSERT_EQ(fits.error, audio::Mp3Error::kNone) << fits.why;
  EXPECT_NEAR(fits.sound.Seconds(), 10 * 79 * 576 / 22050.0, 0.1);
}

TEST(Mp3Decoder, GarbagePastAGoodStartFailsButEndTagsAreRead) {
  // Past a good start (here after the second frame), bytes that are no frames end in a
  // refusal rather than a search for something that looks like one; the tags players write
  // at the end are still read.
  const std::string sample = SampleMp3();
  std::string junk;
  for (int i = 0; i < 2048; ++i) junk += static_cast<char>(i);
  const auto garbage = audio::DecodeMp3(BytesOf(sample.substr(0, 416) + junk + sample.substr(416)), 600);
  EXPECT_EQ(garbage.error, audio::Mp3Error::kDecode);
  EXPECT_FALSE(garbage.why.empty());
  const auto id3v1 = audio::DecodeMp3(BytesOf(sample + "TAG" + std::string(125, 'x')), 600);
  EXPECT_EQ(id3v1.error, audio::Mp3Error::kNone) << id3v1.why;

  EXPECT_EQ(audio::LoadMp3("no/such/sound.mp3", 600).error, audio::Mp3Error::kOpen);
}

}  // namespace
