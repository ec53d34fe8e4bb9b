#include "platform/audio/mixer.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <cstring>
#include <limits>

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

void Mixer::ChunkDeleter::operator()(Mix_Chunk* chunk) const { Mix_FreeChunk(chunk); }

Mixer::~Mixer() {
  Mix_HaltChannel(-1);
  sounds_.clear();
  Mix_CloseAudio();
  Mix_Quit();
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

int Mixer::Add(Sound sound) {
  sounds_.push_back(std::move(sound));
  Mix_AllocateChannels(static_cast<int>(sounds_.size()));
  return static_cast<int>(sounds_.size()) - 1;
}

int Mixer::LoadWav(std::span<const std::uint8_t> image, std::string* why) {
  SDL_RWops* in = SDL_RWFromConstMem(image.data(), static_cast<int>(image.size()));
  Mix_Chunk* chunk = in ? Mix_LoadWAV_RW(in, 1) : nullptr;
  if (!chunk) {
    *why = Mix_GetError();
    return -1;
  }
  return Add({{}, std::unique_ptr<Mix_Chunk, ChunkDeleter>(chunk)});
}

int Mixer::LoadPcm(Pcm16 pcm, std::string* why) {
  if (pcm.rate <= 0 || pcm.channels <= 0 || pcm.channels > 255 ||
      pcm.samples.size() % static_cast<std::size_t>(pcm.channels) != 0) {
    *why = "its sample format is malformed";
    return -1;
  }
  if (pcm.samples.empty()) {
    *why = "it holds no samples";
    return -1;
  }
  std::vector<std::int16_t> samples;
  if (pcm.rate == frequency_ && pcm.channels == channels_ && format_ == AUDIO_S16SYS) {
    samples = std::move(pcm.samples);
  } else if (!ToOutputFormat(pcm, &samples, why)) {
    return -1;
  }
  const std::size_t bytes = samples.size() * sizeof(std::int16_t);
  if (bytes > std::numeric_limits<Uint32>::max()) {
    *why = "it is too long to play";
    return -1;
  }
  Mix_Chunk* chunk = Mix_QuickLoad_RAW(reinterpret_cast<Uint8*>(samples.data()), static_cast<Uint32>(bytes));
  if (!chunk) {
    *why = Mix_GetError();
    return -1;
  }
  return Add({std::move(samples), std::unique_ptr<Mix_Chunk, ChunkDeleter>(chunk)});
}

bool Mixer::ToOutputFormat(const Pcm16& pcm, std::vector<std::int16_t>* out, std::string* why) const {
  // Converted whole, in one buffer sized for the result: SDL's stream converter drops the
  // resampler's last frames when it is given everything at once.
  SDL_AudioCVT cvt;
  if (SDL_BuildAudioCVT(&cvt, AUDIO_S16SYS, static_cast<Uint8>(pcm.channels), pcm.rate, format_,
                        static_cast<Uint8>(channels_), frequency_) < 0) {
    *why = SDL_GetError();
    return false;
  }
  const std::size_t inBytes = pcm.samples.size() * sizeof(std::int16_t);
  const std::size_t bufferBytes = inBytes * static_cast<std::size_t>(cvt.len_mult);
  if (bufferBytes > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
    *why = "it is too long to convert";
    return false;
  }
  out->resize((bufferBytes + 1) / 2);
  std::memcpy(out->data(), pcm.samples.data(), inBytes);
  cvt.buf = reinterpret_cast<Uint8*>(out->data());
  cvt.len = static_cast<int>(inBytes);
  if (SDL_ConvertAudio(&cvt) != 0) {
    *why = SDL_GetError();
    return false;
  }
  out->resize(static_cast<std::size_t>(cvt.len_cvt) / 2);
  return true;
}

void Mixer::Replace(int sound, int last) {
  const int count = static_cast<int>(sounds_.size());
  if (sound < 0 || sound >= count || last != count - 1 || last == sound) return;
  // The mixer may still be reading a chunk on its channel: halted first, freed after.
  Mix_HaltChannel(sound);
  Mix_HaltChannel(last);
  sounds_[sound] = std::move(sounds_.back());
  sounds_.pop_back();
  Mix_AllocateChannels(static_cast<int>(sounds_.size()));
}

void Mixer::Release(int sound) {
  if (sound < 0 || sound >= static_cast<int>(sounds_.size())) return;
  Mix_HaltChannel(sound);
  sounds_[sound] = {};
}

void Mixer::Play(int sound, int repeats) {
  if (sound < 0 || sound >= static_cast<int>(sounds_.size()) || !sounds_[sound].chunk) return;
  Mix_HaltChannel(sound);
  Mix_PlayChannel(sound, sounds_[sound].chunk.get(), repeats);
}

bool Mixer::IsPlaying(int sound) const {
  return sound >= 0 && sound < static_cast<int>(sounds_.size()) && Mix_Playing(sound) != 0;
}

double Mixer::Seconds(int sound) const {
  if (sound < 0 || sound >= static_cast<int>(sounds_.size()) || frequency_ <= 0 || channels_ <= 0 ||
      !sounds_[sound].chunk)
    return 0.0;
  const int bytesPerSample = SDL_AUDIO_BITSIZE(format_) / 8;
  return static_cast<double>(sounds_[sound].chunk->alen) /
         (static_cast<double>(frequency_) * channels_ * bytesPerSample);
}

}  // namespace audio
