#pragma once
// Every sound of the sound catalog, loaded at start and played by tag: wav files through our
// own RIFF reader, mp3 files through our mp3 decoder. Each sound plays on its own channel.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/gfx/d3d_types.h"
#include "resource/json_reader.h"

namespace audio {
class Mixer;
}
namespace platform {
class Window;
}

struct SoundCatalogEntry {
  std::string Path;
  int LoopCount = 0;
  bool operator==(const SoundCatalogEntry&) const = default;
};

class CSoundManager {
 public:
  static constexpr const char* kCatalogPath = "Data/FILE/sound.json";
  // A sound that plays longer than this is refused rather than held decoded in memory.
  static constexpr double kMaxSoundSeconds = 600.0;
  // A wav loop count that repeats without end.
  static constexpr int kEndlessWavLoops = 255;

  CSoundManager();
  ~CSoundManager();

  // Reads the catalog: [tag, path, loop count] entries, the first of a tag winning.
  void LoadCatalog(const std::string& path = kCatalogPath);
  static std::map<std::string, SoundCatalogEntry> ReadCatalog(const std::vector<Json>& entries,
                                                               CatalogProblems* problems);
  // Starts the sound output and loads every wav and mp3 of the catalog. E_FAIL, having said
  // which step failed, when there is no sound output: the manager then stays silent (Play and
  // UpdateLoop do nothing). A sound that cannot load is told and skipped.
  HRESULT Init(platform::Window* window);
  bool HasOutput() const { return mixer_ != nullptr; }
  // Why the last Init found no sound output; empty when it found one.
  const std::string& OutputProblem() const { return outputProblem_; }
  void Uninit();

  std::map<std::string, SoundCatalogEntry> GetCatalog() const { return catalog_; }
  // Starts the sound from its beginning; an unknown tag does nothing. Always 0.
  int Play(std::string tag);
  // Starts an endless mp3 again once it has ended.
  void UpdateLoop(std::string tag);

  bool IsLoaded(const std::string& tag) const { return sounds_.count(tag) != 0; }
  bool IsPlaying(const std::string& tag) const;

 private:
  enum Kind { kWav = 0, kMp3 = 1 };
  struct SoundData {
    int sound = -1;  // the mixer's number
    Kind kind = kWav;
    bool started = false;
  };
  void LoadWavSound(const std::string& tag, const SoundCatalogEntry& entry);
  void LoadMp3Sound(const std::string& tag, const SoundCatalogEntry& entry);

  std::unique_ptr<audio::Mixer> mixer_;
  std::map<std::string, SoundCatalogEntry> catalog_;
  std::map<std::string, SoundData> sounds_;
  std::string outputProblem_;
};
