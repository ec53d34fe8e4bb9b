// The mp3 path of the sound manager on any bytes, with its length cap: the content check and
// the decoder must refuse or decode them without touching memory they do not own, never
// hand out more than the cap, and refuse exactly what the content check refuses.

#include <cstdint>
#include <span>

#include "platform/audio/mp3_decoder.h"
#include "platform/audio/mpeg_audio.h"
#include "resource/sound_manager.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> file(data, size);
  const auto result = audio::DecodeMp3(file, CSoundManager::kMaxSoundSeconds);
  const bool mpeg = audio::FindMpegAudio(file).has_value();
  if ((result.error == audio::Mp3Error::kNotMpeg) == mpeg) __builtin_trap();
  if (result.error != audio::Mp3Error::kNone) {
    if (result.why.empty() || !result.sound.samples.empty()) __builtin_trap();
    return 0;
  }
  const audio::Pcm16& sound = result.sound;
  if (sound.rate <= 0 || (sound.channels != 1 && sound.channels != 2) || sound.samples.empty() ||
      sound.samples.size() % static_cast<std::size_t>(sound.channels) != 0 ||
      sound.Seconds() > CSoundManager::kMaxSoundSeconds)
    __builtin_trap();
  return 0;
}
