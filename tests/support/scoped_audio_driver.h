#pragma once
// Chooses SDL's audio driver for a scope ("no-such-driver" gives a machine without sound).

#include <cstdlib>
#include <optional>
#include <string>

class ScopedAudioDriver {
 public:
  explicit ScopedAudioDriver(const std::string& driver) {
    if (const char* previous = std::getenv("SDL_AUDIODRIVER")) previous_ = previous;
    setenv("SDL_AUDIODRIVER", driver.c_str(), 1);
  }
  ~ScopedAudioDriver() {
    if (previous_) {
      setenv("SDL_AUDIODRIVER", previous_->c_str(), 1);
    } else {
      unsetenv("SDL_AUDIODRIVER");
    }
  }
  ScopedAudioDriver(const ScopedAudioDriver&) = delete;
  ScopedAudioDriver& operator=(const ScopedAudioDriver&) = delete;

 private:
  std::optional<std::string> previous_;
};
