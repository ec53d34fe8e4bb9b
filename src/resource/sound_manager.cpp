#include "resource/sound_manager.h"

#include <cmath>

#include "platform/audio/mixer.h"
#include "platform/audio/mp3_decoder.h"
#include "platform/audio/wav_file.h"
#include "platform/file_watcher.h"
#include "platform/message_sink.h"

namespace {

// The extension after the last "."; empty when there is none or the dot ends the path.
std::string Extension(const std::string& path) {
  const auto dot = path.rfind('.');
  if (dot == std::string::npos || dot + 1 == path.size()) return {};
  return path.substr(dot + 1);
}

void Tell(Telling telling, const std::string& text, const std::string& path, const std::string& why) {
  TellProblem(telling, text + "\n" + path + (why.empty() ? "" : ": " + why));
}

}  // namespace

CSoundManager::CSoundManager() = default;
CSoundManager::~CSoundManager() = default;

// ---- catalog ---------------------------------------------------------------------------------

std::map<std::string, SoundCatalogEntry> CSoundManager::ReadCatalog(const std::vector<Json>& entries,
                                                                    CatalogProblems* problems) {
  std::map<std::string, SoundCatalogEntry> catalog;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const Json& entry = entries[i];
    if (!entry.is_array() || entry.size() < 3 || !entry[0].is_string() || !entry[1].is_string() ||
        !entry[2].is_number_integer()) {
      problems->Entry(i, "needs a tag, a file path and a whole loop count");
      continue;
    }
    const auto loops = entry[2].get<std::int64_t>();
    if (loops < INT32_MIN || loops > INT32_MAX) {
      problems->Entry(i, "the loop count is beyond a 32-bit integer");
      continue;
    }
    catalog.insert({entry[0].get<std::string>(), {entry[1].get<std::string>(), static_cast<int>(loops)}});
  }
  return catalog;
}

void CSoundManager::LoadCatalog(const std::string& path) {
  catalogPaths_.push_back(path);
  CatalogProblems problems(path);
  for (auto& [tag, entry] : ReadCatalog(CatalogEntries(path, "SOUND", &problems), &problems))
    catalog_.insert({tag, std::move(entry)});
}

// ---- start and end ------------------------------------------------------------------------------

HRESULT CSoundManager::Init(platform::Window*) {
  audio::Mixer::OpenError error = audio::Mixer::OpenError::kNone;
  std::string reason;
  mixer_ = audio::Mixer::Open(&error, &reason);
  outputProblem_ = mixer_ ? std::string() : reason;
  if (!mixer_) {
    const char* text = error == audio::Mixer::OpenError::kEngine ? "XAudio2オブジェクトの作成に失敗！"
                                                                 : "マスターボイスの生成に失敗！";
    platform::ShowMessage(platform::kWarningCaption, std::string(text) + "\nno sound output: " + reason);
    return E_FAIL;
  }
  for (const auto& [tag, entry] : catalog_) LoadSound(tag, entry);
  return S_OK;
}

void CSoundManager::LoadSound(const std::string& tag, const SoundCatalogEntry& entry) {
  const std::string extension = Extension(entry.Path);
  int sound = -1;
  if (extension == "wav") {
    sound = LoadWavSound(entry);
  } else if (extension == "mp3") {
    sound = LoadMp3Sound(entry);
  } else {
    return;
  }
  if (sound < 0) {
    if (sounds_.contains(tag)) TellProblem(telling_, "sound \"" + tag + "\" keeps its last good sound");
    return;
  }
  const Kind kind = extension == "wav" ? kWav : kMp3;
  const auto kept = sounds_.find(tag);
  if (kept == sounds_.end()) {
    sounds_[tag] = {sound, kind, false};
    return;
  }
  // Its channel is stopped before the samples it plays go.
  mixer_->Replace(kept->second.sound, sound);
  kept->second.kind = kind;
  kept->second.started = false;
}

int CSoundManager::LoadWavSound(const SoundCatalogEntry& entry) {
  const audio::WavReadResult read = audio::LoadWav(entry.Path);
  if (read.error != audio::WavError::kNone) {
    Tell(telling_, audio::WavErrorMessage(read.error), entry.Path, "");
    return -1;
  }
  // The mixer converts every sound to the output's format: what a sound costs is how long
  // it plays, whatever the size of its file.
  const std::optional<double> seconds = audio::PlaySeconds(read.wav);
  if (!seconds || *seconds > kMaxSoundSeconds) {
    const std::string why = !seconds
                                ? "its format gives a block align or sample rate of 0"
                                : "it plays " + std::to_string(static_cast<long long>(std::ceil(*seconds))) +
                                      " s, more than the " +
                                      std::to_string(static_cast<int>(kMaxSoundSeconds)) + " s a sound may";
    Tell(telling_, audio::WavErrorMessage(audio::WavError::kDataRead), entry.Path, why);
    return -1;
  }
  // The mixer reads only well-ordered files: hand it one made from the chunks found.
  std::string why;
  const int sound = mixer_->LoadWav(audio::CanonicalWav(read.wav), &why);
  if (sound < 0) Tell(telling_, "ソースボイスの生成に失敗！", entry.Path, why);
  return sound;
}

int CSoundManager::LoadMp3Sound(const SoundCatalogEntry& entry) {
  audio::Mp3DecodeResult decoded = audio::LoadMp3(entry.Path, kMaxSoundSeconds);
  std::string why = std::move(decoded.why);
  const int sound =
      decoded.error == audio::Mp3Error::kNone ? mixer_->LoadPcm(std::move(decoded.sound), &why) : -1;
  if (sound < 0) {
    const bool notOpened =
        decoded.error == audio::Mp3Error::kOpen || decoded.error == audio::Mp3Error::kNotMpeg;
    Tell(telling_,
         notOpened ? "フィルターオブジェクトを正常に追加できませんでした"
                   : "接続がサポートされていない可能性があります",
         entry.Path, why);
  }
  return sound;
}

void CSoundManager::Uninit() {
  sounds_.clear();
  mixer_.reset();
  catalog_.clear();
  catalogPaths_.clear();
}

// ---- reloading ---------------------------------------------------------------------------------

std::vector<std::string> CSoundManager::ResourceFiles() const {
  std::vector<std::string> files;
  for (const auto& [tag, entry] : catalog_) files.push_back(entry.Path);
  return files;
}

bool CSoundManager::ReloadCatalogs() {
  telling_ = Telling::kNotice;
  std::map<std::string, SoundCatalogEntry> catalog;
  for (const std::string& path : catalogPaths_) {
    CatalogProblems problems(path, Telling::kNotice);
    const auto entries = CatalogEntriesAgain(path, "SOUND", &problems);
    if (!entries) return false;
    catalog.merge(ReadCatalog(*entries, &problems));
  }
  std::swap(catalog_, catalog);  // the loop counts of the new catalog play from now on
  if (!mixer_) return true;
  for (auto it = sounds_.begin(); it != sounds_.end();) {
    if (catalog_.contains(it->first)) {
      ++it;
      continue;
    }
    mixer_->Release(it->second.sound);
    it = sounds_.erase(it);
  }
  for (const auto& [tag, entry] : catalog_) {
    const auto old = catalog.find(tag);
    const bool same =
        old != catalog.end() && platform::WatchKey(old->second.Path) == platform::WatchKey(entry.Path);
    if (!same) LoadSound(tag, entry);
  }
  return true;
}

bool CSoundManager::ReloadFile(const std::string& key) {
  telling_ = Telling::kNotice;
  bool used = false;
  for (const auto& [tag, entry] : catalog_) {
    if (platform::WatchKey(entry.Path) != key) continue;
    used = true;
    if (mixer_) LoadSound(tag, entry);
  }
  return used;
}

double CSoundManager::Seconds(const std::string& tag) const {
  const auto sound = sounds_.find(tag);
  return mixer_ && sound != sounds_.end() ? mixer_->Seconds(sound->second.sound) : 0.0;
}

// ---- playing ----------------------------------------------------------------------------------------

int CSoundManager::Play(std::string tag) {
  const auto sound = sounds_.find(tag);
  if (sound == sounds_.end() || !mixer_) return 0;
  int repeats = 0;
  if (sound->second.kind == kWav) {
    const int loops = catalog_[tag].LoopCount;
    repeats = loops == kEndlessWavLoops ? -1 : std::max(0, loops);
  }
  mixer_->Play(sound->second.sound, repeats);
  sound->second.started = true;
  return 0;
}

void CSoundManager::UpdateLoop(std::string tag) {
  const auto sound = sounds_.find(tag);
  if (sound == sounds_.end() || !mixer_ || sound->second.kind != kMp3 || !sound->second.started) return;
  const auto entry = catalog_.find(tag);
  if (entry == catalog_.end() || entry->second.LoopCount != -1) return;
  if (!mixer_->IsPlaying(sound->second.sound)) mixer_->Play(sound->second.sound, 0);
}

bool CSoundManager::IsPlaying(const std::string& tag) const {
  const auto sound = sounds_.find(tag);
  return mixer_ && sound != sounds_.end() && mixer_->IsPlaying(sound->second.sound);
}
