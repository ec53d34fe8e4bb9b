// The sound manager on SDL's dummy audio device: what it loads, what it says, and how its
// sounds play and loop.

#include "resource/sound_manager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "platform/audio/mixer.h"
#include "platform/file_watcher.h"
#include "platform/message_sink.h"
#include "support/sample_mp3.h"
#include "support/source_tree.h"
#include "support/temp_folder.h"

namespace {

using namespace std::chrono_literals;

// Waits, polling, until the condition holds or the limit passes; whether it held.
template <typename Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (condition()) return true;
    std::this_thread::sleep_for(10ms);
  }
  return condition();
}

class SoundManagerTest : public TempFolderTest {
 protected:
  // A catalog in the test's folder over the given entries (JSON array text).
  void Start(const std::string& entries) {
    manager_.LoadCatalog(Write("sound.json", R"({"SOUND": )" + entries + "}"));
    ASSERT_EQ(manager_.Init(nullptr), S_OK);
  }
  void TearDown() override { manager_.Uninit(); }
  static std::string Sample(const char* name) { return SourcePath("Data/SOUND/") + name; }

  CSoundManager manager_;
};

TEST(SoundCatalog, KeepsWellFormedEntriesTheFirstOfATagWinning) {
  platform::ScopedMessageRecorder messages;
  {
    CatalogProblems problems("sound.json");
    const auto catalog = CSoundManager::ReadCatalog(
        Json::parse(R"([["A", "a.wav", 0], ["A", "b.wav", 3], ["B", "b.mp3"], ["C", "c.mp3", -1],
                        ["D", "d.wav", 1.5], ["E", "e.wav", 4294967296], [1, "f.wav", 0]])")
            .get<std::vector<Json>>(),
        &problems);
    EXPECT_EQ(catalog, (std::map<std::string, SoundCatalogEntry>{{"A", {"a.wav", 0}}, {"C", {"c.mp3", -1}}}));
  }
  ASSERT_EQ(messages.Messages().size(), 1u);
  for (const char* entry : {"entry 2", "entry 4", "entry 5", "entry 6"})
    EXPECT_NE(messages.Messages()[0].text.find(entry), std::string::npos) << entry;
}

TEST_F(SoundManagerTest, LoadsWavAndMp3ByExtensionAndNamesEachFileThatFails) {
  Write("broken.wav", std::string("RIFF\4\0\0\0AVI ", 12));
  Write("upper.WAV", "not read");
  Write("other.ogg", "not read");
  platform::ScopedMessageRecorder messages;
  Start(R"([["TONE", ")" + Sample("tone440.wav") + R"(", 0], ["MP3", ")" + Sample("loop.mp3") +
        R"(", -1], ["BROKEN", ")" + Path("broken.wav") + R"(", 0], ["MISSING", ")" + Path("missing.wav") +
        R"(", 0], ["NOT_MP3", ")" + Path("upper.WAV") + R"(.mp3", 0], ["UPPER", ")" + Path("upper.WAV") +
        R"(", 0], ["OGG", ")" + Path("other.ogg") + R"(", 0]])");
  EXPECT_TRUE(manager_.IsLoaded("TONE"));
  EXPECT_TRUE(manager_.IsLoaded("MP3"));
  for (const char* tag : {"BROKEN", "MISSING", "NOT_MP3", "UPPER", "OGG"})
    EXPECT_FALSE(manager_.IsLoaded(tag)) << tag;
  // ".WAV" and ".ogg" are no sounds of ours: nothing is said of them.
  ASSERT_EQ(messages.Messages().size(), 3u);
  EXPECT_EQ(messages.Messages()[0].caption, "警告！");
  EXPECT_EQ(messages.Messages()[0].text.rfind("WAVEファイルのチェックに失敗！(3)", 0), 0u) << messages.Messages()[0].text;
  EXPECT_NE(messages.Messages()[0].text.find("broken.wav"), std::string::npos);
  EXPECT_EQ(messages.Messages()[1].text.rfind("サウンドデータファイルの生成に失敗！(1)", 0), 0u);
  EXPECT_EQ(messages.Messages()[2].text.rfind("フィルターオブジェクトを正常に追加できませんでした", 0), 0u)
      << messages.Messages()[2].text;
  EXPECT_EQ(manager_.GetCatalog().size(), 7u);
}

// A wav of the given format tag, sample size and channels holding 64 frames of silence,
// its format after its samples.
std::string WavOf(std::uint16_t formatTag, std::uint16_t bits, std::uint16_t channels, bool extensible) {
  std::string fmt;
  const auto put16 = [](std::string& s, std::uint16_t v) { s += char(v & 0xFF), s += char(v >> 8); };
  const auto put32 = [&](std::string& s, std::uint32_t v) { put16(s, v & 0xFFFF), put16(s, v >> 16); };
  const std::uint16_t block = static_cast<std::uint16_t>(channels * bits / 8);
  put16(fmt, extensible ? 0xFFFE : formatTag);
  put16(fmt, channels);
  put32(fmt, 22050);
  put32(fmt, 22050u * block);
  put16(fmt, block);
  put16(fmt, bits);
  if (extensible) {
    put16(fmt, 22);
    put16(fmt, bits);
    put32(fmt, channels == 1 ? 4 : 3);
    put16(fmt, formatTag);  // the sub-format's GUID starts with the format tag
    fmt += std::string("\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 14);
  }
  std::string data(64u * block, '\0');
  std::string body = "WAVE";
  body += "data";
  put32(body, static_cast<std::uint32_t>(data.size()));
  body += data;
  body += "fmt ";
  put32(body, static_cast<std::uint32_t>(fmt.size()));
  body += fmt;
  std::string file = "RIFF";
  put32(file, static_cast<std::uint32_t>(body.size()));
  return file + body;
}

TEST_F(SoundManagerTest, EveryCommonWaveFormatLoads) {
  struct Format {
    const char* tag;
    std::uint16_t formatTag, bits, channels;
    bool extensible;
  };
  const Format formats[] = {{"PCM8", 1, 8, 1, false},       {"PCM16", 1, 16, 2, false},
                            {"PCM24", 1, 24, 1, false},     {"PCM32", 1, 32, 2, false},
                            {"FLOAT", 3, 32, 1, false},     {"EXT16", 1, 16, 2, true},
                            {"EXT_FLOAT", 3, 32, 2, true}};
  std::string entries = "[";
  for (const Format& f : formats) {
    const std::string name = std::string(f.tag) + ".wav";
    Write(name, WavOf(f.formatTag, f.bits, f.channels, f.extensible));
    entries +=
        std::string(entries.size() > 1 ? "," : "") + R"([")" + f.tag + R"(", ")" + Path(name) + R"(", 0])";
  }
  platform::ScopedMessageRecorder messages;
  Start(entries + "]");
  for (const Format& f : formats) EXPECT_TRUE(manager_.IsLoaded(f.tag)) << f.tag;
  for (const auto& m : messages.Messages()) ADD_FAILURE() << m.text;
}

TEST_F(SoundManagerTest, PlayRestartsAndOnlyEndlessMp3sComeBack) {
  Start(R"([["TONE", ")" + Sample("tone440.wav") + R"(", 0], ["ENDLESS", ")" + Sample("loop.mp3") +
        R"(", -1], ["FIVE", ")" + Sample("loop.mp3") + R"(", 5]])");
  // Unknown tags and sounds not yet started do nothing.
  EXPECT_EQ(manager_.Play("NOPE"), 0);
  manager_.UpdateLoop("NOPE");
  manager_.UpdateLoop("ENDLESS");
  EXPECT_FALSE(manager_.IsPlaying("ENDLESS")) << "an endless mp3 starts only when played";

  // The 0.5 s tone, played again 0.3 s in, still sounds 0.7 s after the first start.
  manager_.Play("TONE");
  EXPECT_TRUE(manager_.IsPlaying("TONE"));
  std::this_thread::sleep_for(300ms);
  manager_.Play("TONE");
  std::this_thread::sleep_for(400ms);
  EXPECT_TRUE(manager_.IsPlaying("TONE")) << "Play did not start the sound over";
  EXPECT_TRUE(WaitFor([&] { return !manager_.IsPlaying("TONE"); }, 5s)) << "a wav of loop count 0 plays once";

  // Each mp3 plays once (2 s); UpdateLoop starts only the endless one again, once it ended.
  manager_.Play("ENDLESS");
  manager_.Play("FIVE");
  manager_.UpdateLoop("ENDLESS");
  ASSERT_TRUE(WaitFor([&] { return !manager_.IsPlaying("ENDLESS") && !manager_.IsPlaying("FIVE"); }, 10s));
  manager_.UpdateLoop("FIVE");
  EXPECT_FALSE(manager_.IsPlaying("FIVE"));
  manager_.UpdateLoop("ENDLESS");
  EXPECT_TRUE(manager_.IsPlaying("ENDLESS"));
}

// A wav of one channel of 8-bit samples at the given rate and block align.
std::string Wav8(std::uint32_t rate, std::uint16_t blockAlign, std::size_t dataBytes) {
  const auto put16 = [](std::string& s, std::uint16_t v) { s += char(v & 0xFF), s += char(v >> 8); };
  const auto put32 = [&](std::string& s, std::uint32_t v) { put16(s, v & 0xFFFF), put16(s, v >> 16); };
  std::string file = "RIFF";
  put32(file, static_cast<std::uint32_t>(36 + dataBytes));
  file += "WAVEfmt ";
  put32(file, 16);
  put16(file, 1);
  put16(file, 1);
  put32(file, rate);
  put32(file, rate * blockAlign);
  put16(file, blockAlign);
  put16(file, 8);
  file += "data";
  put32(file, static_cast<std::uint32_t>(dataBytes));
  return file + std::string(dataBytes, '\x80');
}

std::string FuzzInput(const char* path) {
  return SourcePath("fuzz/") + path;
}

TEST_F(SoundManagerTest, EverySoundIsBoundedByHowLongItPlaysNotByItsFileSize) {
  Write("no_align.wav", Wav8(22050, 0, 64));
  Write("no_rate.wav", Wav8(0, 1, 64));
  Write("many_frames.mp3", Mp3OfLoops(300));  // 619 s behind an Info frame saying 2 s
  platform::ScopedMessageRecorder messages;
  // Loaded in the order of their tags.
  Start(R"([["A_2HZ", ")" + FuzzInput("corpus/wav/rate_2hz.wav") + R"(", 0], ["B_NO_ALIGN", ")" +
        Path("no_align.wav") + R"(", 0], ["C_NO_RATE", ")" + Path("no_rate.wav") + R"(", 0], ["D_MANY", ")" +
        Path("many_frames.mp3") + R"(", -1], ["E_TONE", ")" + Sample("tone440.wav") +
        R"(", 0], ["F_MP3", ")" + Sample("loop.mp3") + R"(", -1]])");
  for (const char* tag : {"A_2HZ", "B_NO_ALIGN", "C_NO_RATE", "D_MANY"})
    EXPECT_FALSE(manager_.IsLoaded(tag)) << tag;
  EXPECT_TRUE(manager_.IsLoaded("E_TONE"));
  EXPECT_TRUE(manager_.IsLoaded("F_MP3"));
  ASSERT_EQ(messages.Messages().size(), 4u);
  const std::string dataRead = "オーディオデータ読み込みに失敗！(2)\n";
  EXPECT_EQ(messages.Messages()[0].text, dataRead + FuzzInput("corpus/wav/rate_2hz.wav") +
                                             ": it plays 2048 s, more than the 600 s a sound may");
  EXPECT_EQ(messages.Messages()[1].text,
            dataRead + Path("no_align.wav") + ": its format gives a block align or sample rate of 0");
  EXPECT_EQ(messages.Messages()[2].text,
            dataRead + Path("no_rate.wav") + ": its format gives a block align or sample rate of 0");
  EXPECT_EQ(messages.Messages()[3].text, "接続がサポートされていない可能性があります\n" + Path("many_frames.mp3") +
                                             ": it plays more than the 600 s a sound may");
}

TEST_F(SoundManagerTest, Mp3EntriesAreCheckedToBeMpegAudioBeforeAnyDecoderSeesThem) {
  std::string noise(4096, '\0');
  for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>(i * 2654435761u >> 13);
  Write("noise.mp3", noise);
  const std::string module = FuzzInput("crashers/mp3/module.mp3");
  const std::string wav512 = FuzzInput("crashers/mp3/wav_512_channels.mp3");
  platform::ScopedMessageRecorder messages;
  Start(R"([["A_MODULE", ")" + module + R"(", 0], ["B_WAV", ")" + wav512 + R"(", 0], ["C_NOISE", ")" +
        Path("noise.mp3") + R"(", 0], ["D_TAGGED", ")" + FuzzInput("corpus/mp3/id3_tagged.mp3") +
        R"(", 0]])");
  for (const char* tag : {"A_MODULE", "B_WAV", "C_NOISE"}) EXPECT_FALSE(manager_.IsLoaded(tag)) << tag;
  ASSERT_EQ(messages.Messages().size(), 3u);
  const std::string filter = "フィルターオブジェクトを正常に追加できませんでした\n";
  EXPECT_EQ(messages.Messages()[0].text, filter + module + ": not MPEG audio");
  EXPECT_EQ(messages.Messages()[1].text, filter + wav512 + ": not MPEG audio");
  EXPECT_EQ(messages.Messages()[2].text, filter + Path("noise.mp3") + ": not MPEG audio");

  ASSERT_TRUE(manager_.IsLoaded("D_TAGGED"));
  manager_.Play("D_TAGGED");
  EXPECT_TRUE(manager_.IsPlaying("D_TAGGED"));
}

TEST(SoundMixer, DecodedSamplesPlayConvertedToTheOutputFormat) {
  audio::Mixer::OpenError error{};
  std::string reason;
  const auto mixer = audio::Mixer::Open(&error, &reason);
  ASSERT_TRUE(mixer) << reason;
  std::string why;

  audio::Pcm16 mono{22050, 1, std::vector<std::int16_t>(22050, 1000)};
  const int converted = mixer->LoadPcm(std::move(mono), &why);
  ASSERT_GE(converted, 0) << why;
  EXPECT_NEAR(mixer->Seconds(converted), 1.0, 0.01);
  mixer->Play(converted, 0);
  EXPECT_TRUE(mixer->IsPlaying(converted));

  // Already in the output's format (the dummy device's 44.1 kHz stereo): kept as it is.
  audio::Pcm16 stereo{44100, 2, std::vector<std::int16_t>(44100, -1000)};
  const int kept = mixer->LoadPcm(std::move(stereo), &why);
  ASSERT_GE(kept, 0) << why;
  EXPECT_DOUBLE_EQ(mixer->Seconds(kept), 0.5);

  EXPECT_EQ(mixer->LoadPcm({22050, 1, {}}, &why), -1);
  EXPECT_EQ(mixer->LoadPcm({44100, 2, {1, 2, 3}}, &why), -1) << "half a frame";
}

TEST_F(TempFolderTest, NoSoundOutputFailsInitAndSaysWhatFailed) {
  const char* previous = std::getenv("SDL_AUDIODRIVER");
  const std::string kept = previous ? previous : "";
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  platform::ScopedMessageRecorder messages;
  CSoundManager manager;
  EXPECT_EQ(manager.Init(nullptr), E_FAIL);
  manager.Play("anything");
  manager.Uninit();
  if (previous) {
    setenv("SDL_AUDIODRIVER", kept.c_str(), 1);
  } else {
    unsetenv("SDL_AUDIODRIVER");
  }
  ASSERT_EQ(messages.Messages().size(), 1u);
  EXPECT_EQ(messages.Messages()[0].text.rfind("XAudio2オブジェクトの作成に失敗！", 0), 0u) << messages.Messages()[0].text;
  EXPECT_NE(messages.Messages()[0].text.find("sound output"), std::string::npos);
}

}  // namespace

namespace {

// A sound file changed while the program runs: the playing channel stops before its samples
// go, the tag keeps its channel, a broken file keeps the last good sound (said once, on the
// notice line), and a catalog edit adds and removes tags.
namespace fs = std::filesystem;

TEST_F(SoundManagerTest, AChangedFileStopsItsSoundAndIsReadAgainIntoTheSameTag) {
  platform::GetNotices().Clear();
  fs::copy_file(Sample("loop.wav"), Path("a.wav"));
  Start(R"([["A", ")" + Path("a.wav") + R"(", 255], ["TONE", ")" + Sample("tone440.wav") + R"(", 0]])");
  const double before = manager_.Seconds("A");
  ASSERT_GT(before, 0.0);
  manager_.Play("A");
  manager_.Play("TONE");
  ASSERT_TRUE(manager_.IsPlaying("A"));

  fs::copy_file(Sample("noise_burst.wav"), Path("a.wav"), fs::copy_options::overwrite_existing);
  EXPECT_TRUE(manager_.ReloadFile(platform::WatchKey(Path("a.wav"))));
  EXPECT_FALSE(manager_.IsPlaying("A")) << "the channel is stopped before its buffer is replaced";
  EXPECT_TRUE(manager_.IsPlaying("TONE")) << "other sounds play on";
  EXPECT_NE(manager_.Seconds("A"), before);
  const double after = manager_.Seconds("A");
  manager_.Play("A");
  EXPECT_TRUE(manager_.IsPlaying("A"));
  EXPECT_FALSE(manager_.ReloadFile(platform::WatchKey(Path("unused.wav"))));

  platform::ScopedMessageRecorder boxes;
  for (int save = 0; save < 2; ++save) {
    Write("a.wav", "RIFF");
    manager_.ReloadFile(platform::WatchKey(Path("a.wav")));
  }
  EXPECT_EQ(manager_.Seconds("A"), after);
  EXPECT_TRUE(boxes.Messages().empty()) << "the preview goes on";
  const auto& notices = platform::GetNotices().Recent();
  EXPECT_EQ(std::count_if(notices.begin(), notices.end(),
                          [&](const std::string& n) { return n.find(Path("a.wav")) != std::string::npos; }),
            1);

  Write("sound.json", R"({"SOUND": [["B", ")" + Sample("tone440.wav") + R"(", 0]]})");
  EXPECT_TRUE(manager_.ReloadCatalogs());
  EXPECT_FALSE(manager_.IsLoaded("A"));
  EXPECT_FALSE(manager_.IsLoaded("TONE"));
  EXPECT_TRUE(manager_.IsLoaded("B"));
  manager_.Play("A");
  EXPECT_FALSE(manager_.IsPlaying("A")) << "a removed tag plays nothing";
  platform::GetNotices().Clear();
}

}  // namespace
