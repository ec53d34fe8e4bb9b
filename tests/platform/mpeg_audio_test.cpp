#include "platform/audio/mpeg_audio.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
using audio::MpegVersion;

// Header fields as they are coded: version 3 = MPEG 1, 2 = MPEG 2, 0 = MPEG 2.5;
// layer 3 = I, 2 = II, 1 = III.
Bytes Header(unsigned version, unsigned layer, unsigned bitrate, unsigned rate, bool padding = false) {
  const std::uint32_t word = 0xFFE00000u | version << 19 | layer << 17 | 1u << 16 | bitrate << 12 |
                             rate << 10 | (padding ? 1u : 0u) << 9;
  return {static_cast<std::uint8_t>(word >> 24), static_cast<std::uint8_t>(word >> 16),
          static_cast<std::uint8_t>(word >> 8), static_cast<std::uint8_t>(word)};
}

// A frame of the given header, its length computed by hand, filled with zeros.
Bytes Frame(const Bytes& header, std::size_t length) {
  Bytes frame = header;
  frame.resize(length, 0);
  return frame;
}

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// An ID3v2.4 tag of `size` bytes after its header (synchsafe), optionally with a footer.
Bytes Id3(std::size_t size, bool footer = false, std::uint8_t sizeByte0 = 0) {
  const Bytes header = {'I',
                        'D',
                        '3',
                        4,
                        0,
                        static_cast<std::uint8_t>(footer ? 0x10 : 0),
                        sizeByte0,
                        static_cast<std::uint8_t>(size >> 14 & 0x7F),
                        static_cast<std::uint8_t>(size >> 7 & 0x7F),
                        static_cast<std::uint8_t>(size & 0x7F)};
  const Bytes footerBytes = {'3', 'D', 'I', 4, 0, 0x10, 0, 0, 0, 0};
  return Join({header, Bytes(size, 0), footer ? footerBytes : Bytes()});
}

TEST(MpegAudio, FrameLengthFollowsVersionLayerBitrateRateAndPadding) {
  struct Case {
    unsigned version, layer, bitrate, rate;
    bool padding;
    std::size_t bytes;
  };
  const Case cases[] = {
      {3, 1, 9, 0, false, 417},    // MPEG 1 Layer III, 128 kbit/s, 44.1 kHz
      {3, 1, 9, 0, true, 418},     //
      {3, 3, 14, 0, false, 484},   // MPEG 1 Layer I, 448 kbit/s: whole 4-byte slots
      {3, 3, 14, 0, true, 488},    // a Layer I pad is a slot of 4 bytes
      {3, 3, 12, 2, false, 576},   // MPEG 1 Layer I, 384 kbit/s, 32 kHz
      {3, 2, 10, 1, false, 576},   // MPEG 1 Layer II, 192 kbit/s, 48 kHz
      {3, 2, 1, 2, false, 144},    // MPEG 1 Layer II, 32 kbit/s, 32 kHz
      {2, 1, 8, 0, false, 208},    // MPEG 2 Layer III, 64 kbit/s, 22.05 kHz: half the MPEG 1 factor
      {2, 1, 8, 0, true, 209},     //
      {2, 2, 14, 2, false, 1440},  // MPEG 2 Layer II keeps the MPEG 1 factor: 160 kbit/s, 16 kHz
      {2, 3, 14, 1, false, 512},   // MPEG 2 Layer I, 256 kbit/s, 24 kHz
      {0, 1, 1, 2, false, 72},     // MPEG 2.5 Layer III, 8 kbit/s, 8 kHz
      {0, 1, 14, 0, true, 1045},   // MPEG 2.5 Layer III, 160 kbit/s, 11.025 kHz
  };
  for (const Case& c : cases) {
    const auto header =
        audio::ReadMpegFrameHeader(Header(c.version, c.layer, c.bitrate, c.rate, c.padding), 0);
    ASSERT_TRUE(header) << c.version << " " << c.layer << " " << c.bitrate << " " << c.rate;
    EXPECT_EQ(header->frameBytes, c.bytes)
        << c.version << " " << c.layer << " " << c.bitrate << " " << c.rate;
  }
  const auto mpeg25 = audio::ReadMpegFrameHeader(Header(0, 1, 14, 0, true), 0);
  EXPECT_EQ(mpeg25->version, MpegVersion::k25);
  EXPECT_EQ(mpeg25->layer, 3);
  EXPECT_EQ(mpeg25->bitrate, 160000);
  EXPECT_EQ(mpeg25->sampleRate, 11025);
  EXPECT_TRUE(mpeg25->padding);
}

TEST(MpegAudio, ReservedFieldsFreeFormatAndShortInputAreNoHeader) {
  EXPECT_FALSE(audio::ReadMpegFrameHeader(Header(1, 1, 9, 0), 0)) << "reserved version";
  EXPECT_FALSE(audio::ReadMpegFrameHeader(Header(3, 0, 9, 0), 0)) << "reserved layer";
  EXPECT_FALSE(audio::ReadMpegFrameHeader(Header(3, 1, 0, 0), 0)) << "free format";
  EXPECT_FALSE(audio::ReadMpegFrameHeader(Header(3, 1, 15, 0), 0)) << "bad bitrate";
  EXPECT_FALSE(audio::ReadMpegFrameHeader(Header(3, 1, 9, 3), 0)) << "reserved sample rate";
  EXPECT_FALSE(audio::ReadMpegFrameHeader(Bytes{0xFF, 0xD0, 0x90, 0x00}, 0)) << "no sync";
  const Bytes header = Header(3, 1, 9, 0);
  EXPECT_FALSE(audio::ReadMpegFrameHeader(Bytes(header.begin(), header.begin() + 3), 0));
  EXPECT_FALSE(audio::ReadMpegFrameHeader(header, 1));
  EXPECT_FALSE(audio::ReadMpegFrameHeader(header, 100));
  EXPECT_TRUE(audio::ReadMpegFrameHeader(Join({{0, 0}, header}), 2));
}

TEST(MpegAudio, AudioStartsAfterAnId3TagWithASecondFrameWhereTheFirstEnds) {
  const Bytes a = Frame(Header(3, 1, 9, 0), 417), padded = Frame(Header(3, 1, 9, 0, true), 418);
  const Bytes vbr = Frame(Header(3, 1, 11, 0), 522);  // 160 kbit/s: the bitrate may change
  EXPECT_EQ(audio::FindMpegAudio(Join({a, a})), 0u);
  EXPECT_EQ(audio::FindMpegAudio(Join({padded, vbr, a})), 0u);
  EXPECT_EQ(audio::FindMpegAudio(Join({Id3(100), a, a})), 110u);
  EXPECT_EQ(audio::FindMpegAudio(Join({Id3(300, true), a, a})), 320u);

  EXPECT_FALSE(audio::FindMpegAudio(a)) << "one frame and nothing after it";
  EXPECT_FALSE(audio::FindMpegAudio(Join({Frame(Header(3, 1, 9, 0, true), 417), a}))) << "one byte short";
  EXPECT_FALSE(audio::FindMpegAudio(Join({a, Frame(Header(3, 2, 9, 0), 100)}))) << "another layer";
  EXPECT_FALSE(audio::FindMpegAudio(Join({a, Frame(Header(3, 1, 9, 1), 100)}))) << "another sample rate";
  EXPECT_FALSE(audio::FindMpegAudio(Join({a, Frame(Header(2, 1, 9, 0), 100)}))) << "another version";
  EXPECT_FALSE(audio::FindMpegAudio(Join({{0}, a, a}))) << "a byte of garbage first";
  EXPECT_FALSE(audio::FindMpegAudio(Join({Id3(100, false, 0x80), a, a})))
      << "a size byte that is not synchsafe";
  EXPECT_FALSE(audio::FindMpegAudio(Join({Id3(100), a}))) << "a tag and one frame";
  Bytes cut = Id3(5000);
  cut.resize(200);
  EXPECT_FALSE(audio::FindMpegAudio(cut)) << "a tag larger than the file";
  EXPECT_FALSE(audio::FindMpegAudio(Bytes{}));
}

}  // namespace
