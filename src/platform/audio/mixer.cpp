#include "platform/audio/mixer.h"

#include <SDL.h>
#include <SDL_mixer.h>

namespace audio {

namespace {

constexpr int kOutputFrequency = 44100;
constexpr int kOutputChannels = 2;
constexpr int kChunkFrames = 1024;

}  // namespace

std::unique_ptr<Mixer> Mixer::Open(OpenError* error, std::string* reason) {
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    *error = OpenError::kEngine;
    *reason = SDL_GetError();
    return nullptr;
  }
  Mix_Init(MIX_INIT_MP3);  // without the decoder, mp3 sounds fail one by one
  if (Mix_OpenAudio(kOutputFrequency, AUDIO_S16SYS, kOutputChannels, kChunkFrames) != 0) {
    *error = OpenError::kOutput;
    *reason = Mix_GetError();
    Mix_Quit();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return nullptr;
  }
  std::unique_ptr<Mixer> mixer(new Mixer());
  Mix_QuerySpec(&mixer->frequency_, &mixer->format_, &mixer->channels_);
  Mix_AllocateChannels(0);
  *error = OpenError::kNone;
  return mixer;
}

Mixer::~Mixer() {
  Mix_HaltChannel(-1);
  for (Mix_Chunk* chunk : chunks_) Mix_FreeChunk(chunk);
  Mix_CloseAudio();
  Mix_Quit();
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

int Mixer::Add(Mix_Chunk* chunk) {
  chunks_.push_back(chunk);
  Mix_AllocateChannels(static_cast<int>(chunks_.size()));
  return static_cast<int>(chunks_.size()) - 1;
}

int Mixer::LoadWav(std::span<const std::uint8_t> image, std::string* why) {
  SDL_RWops* in = SDL_RWFromConstMem(image.data(), static_cast<int>(image.size()));
  Mix_Chunk* chunk = in ? Mix_LoadWAV_RW(in, 1) : nullptr;
  if (!chunk) {
    *why = Mix_GetError();
    return -1;
  }
  return Add(chunk);
}

int Mixer::LoadCompressed(const std::string& path, double maxSeconds, bool* openFailed, std::string* why) {
  SDL_RWops* file = SDL_RWFromFile(path.c_str(), "rb");
  *openFailed = file == nullptr;
  if (!file) {
    *why = SDL_GetError();
    return -1;
  }
  // The length is read from the stream before anything is decoded into memory; the same
  // open file is then decoded whole.
  Mix_Chunk* chunk = nullptr;
  if (Mix_Music* stream = Mix_LoadMUS_RW(file, 0)) {
    const double seconds = Mix_MusicDuration(stream);
    Mix_FreeMusic(stream);
    if (seconds > maxSeconds) {
      *why = "it plays " + std::to_string(static_cast<int>(seconds)) + " s, more than the " +
             std::to_string(static_cast<int>(maxSeconds)) + " s a sound may";
    } else if (SDL_RWseek(file, 0, RW_SEEK_SET) == 0) {
      chunk = Mix_LoadWAV_RW(file, 0);
      if (!chunk) *why = Mix_GetError();
    } else {
      *why = SDL_GetError();
    }
  } else {
    *why = Mix_GetError();
  }
  SDL_RWclose(file);
  return chunk ? Add(chunk) : -1;
}

void Mixer::Play(int sound, int repeats) {
  if (sound < 0 || sound >= static_cast<int>(chunks_.size())) return;
  Mix_HaltChannel(sound);
  Mix_PlayChannel(sound, chunks_[sound], repeats);
}

bool Mixer::IsPlaying(int sound) const {
  return sound >= 0 && sound < static_cast<int>(chunks_.size()) && Mix_Playing(sound) != 0;
}

double Mixer::Seconds(int sound) const {
  if (sound < 0 || sound >= static_cast<int>(chunks_.size()) || frequency_ <= 0 || channels_ <= 0) return 0.0;
  const int bytesPerSample = SDL_AUDIO_BITSIZE(format_) / 8;
  return static_cast<double>(chunks_[sound]->alen) / (static_cast<double>(frequency_) * channels_ * bytesPerSample);
}

}  // namespace audio
