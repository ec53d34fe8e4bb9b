#pragma once
// Every sound of the sound catalog, loaded at start and played by tag: wav files through our
// own RIFF reader, mp3 files through our mp3 decoder. Each sound plays on its own channel.
// While the program runs, a sound whose file changes is stopped and read again.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/gfx/d3d_types.h"
#include "resource/json_reader.h"
#include "resource/watched_resources.h"

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

class CSoundManager : public WatchedResources {
 public:
  static constexpr const char* kCatalogPath = "Data/FILE/sound.json";
  // A sound that plays longer than this is refused rather than held decoded in memory.
  static constexpr double kMaxSoundSeconds = 600.0;
  // A wav loop count that repeats without end.
  static constexpr int kEndlessWavLoops = 255;

  CSoundManager();
  ~CSoundManager() override;

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
  // The sound's length in seconds (0 for a tag without a sound).
  double Seconds(const std::string& tag) const;

  std::vector<std::string> CatalogFiles() const override { return catalogPaths_; }
  std::vector<std::string> ResourceFiles() const override;
  // Tags removed stop and are forgotten; tags added, or pointed at another file, are loaded.
  bool ReloadCatalogs() override;
  bool ReloadFile(const std::string& key) override;

 private:
  enum Kind { kWav = 0, kMp3 = 1 };
  struct SoundData {
    int sound = -1;  // the mixer's number
    Kind kind = kWav;
    bool started = false;
  };
  // Loads the entry's file by its extension (others are ignored); a sound the tag already has
  // is stopped and replaced, or kept when the file no longer loads.
  void LoadSound(const std::string& tag, const SoundCatalogEntry& entry);
  // The mixer's number of the loaded sound; -1, having told why, when it does not load.
  int LoadWavSound(const SoundCatalogEntry& entry);
  int LoadMp3Sound(const SoundCatalogEntry& entry);

  std::unique_ptr<audio::Mixer> mixer_;
  std::vector<std::string> catalogPaths_;
  Telling telling_ = Telling::kBox;  // the notice line once the program runs
  std::map<std::string, SoundCatalogEntry> catalog_;
  std::map<std::string, SoundData> sounds_;
  std::string outputProblem_;
};
