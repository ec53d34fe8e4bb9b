#pragma once
// The sound output: SDL's audio subsystem (the engine) and SDL_mixer's device (the output
// voice). Every sound is held decoded in memory and plays on a channel of its own, so sounds
// overlap and each can be restarted without cutting the others off.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

struct Mix_Chunk;

namespace audio {

class Mixer {
 public:
  enum class OpenError { kNone, kEngine, kOutput };

  // Null, with the failing step and SDL's reason, when the audio cannot start.
  static std::unique_ptr<Mixer> Open(OpenError* error, std::string* reason);
  ~Mixer();
  Mixer(const Mixer&) = delete;
  Mixer& operator=(const Mixer&) = delete;

  // A wav image (RIFF/WAVE in memory). The sound's number, or -1 with the reason.
  int LoadWav(std::span<const std::uint8_t> image, std::string* why);
  // A compressed file (mp3) decoded whole; refused when it cannot be opened (*openFailed set)
  // or decoded, or when it plays longer than maxSeconds.
  int LoadCompressed(const std::string& path, double maxSeconds, bool* openFailed, std::string* why);

  // Plays the sound from its start, repeated `repeats` more times (-1: without end).
  void Play(int sound, int repeats);
  bool IsPlaying(int sound) const;
  // The sound's length in seconds.
  double Seconds(int sound) const;

 private:
  Mixer() = default;
  int Add(Mix_Chunk* chunk);

  int frequency_ = 0;
  int channels_ = 0;
  std::uint16_t format_ = 0;
  std::vector<Mix_Chunk*> chunks_;  // owned; a sound's number is its index and its channel
};

}  // namespace audio
