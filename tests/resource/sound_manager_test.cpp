// The sound manager on SDL's dummy audio device: what it loads, what it says, and how its
// sounds play and loop.

#include "resource/sound_manager.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "platform/audio/mixer.h"
#include "platform/message_sink.h"
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
  static std::string Sample(const char* name) { return std::string(PE_SOURCE_DIR) + "/Data/SOUND/" + name; }

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
  for (const char* tag : {"BROKEN", "MISSING", "NOT_MP3", "UPPER", "OGG"}) EXPECT_FALSE(manager_.IsLoaded(tag)) << tag;
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
    entries += std::string(entries.size() > 1 ? "," : "") + R"([")" + f.tag + R"(", ")" + Path(name) + R"(", 0])";
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

TEST(SoundMixer, CompressedSoundsLongerThanTheLimitAreRefusedBeforeDecoding) {
  audio::Mixer::OpenError error{};
  std::string reason;
  const auto mixer = audio::Mixer::Open(&error, &reason);
  ASSERT_TRUE(mixer) << reason;
  const std::string mp3 = std::string(PE_SOURCE_DIR) + "/Data/SOUND/loop.mp3";  // 2 s
  bool openFailed = true;
  std::string why;
  EXPECT_EQ(mixer->LoadCompressed(mp3, 1.5, &openFailed, &why), -1);
  EXPECT_FALSE(openFailed);
  EXPECT_NE(why.find("more than"), std::string::npos) << why;
  const int sound = mixer->LoadCompressed(mp3, 3.0, &openFailed, &why);
  ASSERT_GE(sound, 0) << why;
  EXPECT_NEAR(mixer->Seconds(sound), 2.0, 0.2);
  EXPECT_EQ(mixer->LoadCompressed(mp3 + ".missing", 3.0, &openFailed, &why), -1);
  EXPECT_TRUE(openFailed);
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
