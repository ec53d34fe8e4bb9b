#pragma once
// The sound output: SDL's audio subsystem (the engine) and SDL_mixer's device (the output
// voice). Every sound is held decoded in memory and plays on a channel of its own, so sounds
// overlap and each can be restarted without cutting the others off.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/audio/pcm.h"

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
  // Decoded samples, converted to the output's format and kept by the mixer.
  int LoadPcm(Pcm16 pcm, std::string* why);

  // Puts the sound last loaded in the place of `sound` (a file read again keeps its number):
  // both channels are stopped first, and the last number is free again.
  void Replace(int sound, int last);
  // Stops the sound and frees its samples; its number plays nothing from then on.
  void Release(int sound);

  // Plays the sound from its start, repeated `repeats` more times (-1: without end).
  void Play(int sound, int repeats);
  bool IsPlaying(int sound) const;
  // The sound's length in seconds.
  double Seconds(int sound) const;

 private:
  struct ChunkDeleter {
    void operator()(Mix_Chunk* chunk) const;
  };
  struct Sound {
    std::vector<std::int16_t> samples;  // what the chunk plays, when the mixer did not allocate it
    std::unique_ptr<Mix_Chunk, ChunkDeleter> chunk;
  };

  Mixer() = default;
  int Add(Sound sound);
  bool ToOutputFormat(const Pcm16& pcm, std::vector<std::int16_t>* out, std::string* why) const;

  int frequency_ = 0;
  int channels_ = 0;
  std::uint16_t format_ = 0;
  std::vector<Sound> sounds_;  // a sound's number is its index and its channel
};

}  // namespace audio
