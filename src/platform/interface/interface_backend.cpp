#include "platform/interface/interface_backend.h"

#include "platform/window_system.h"

namespace platform {

void InterfaceEventQueue::Push(const SDL_Event& event) {
  std::uint32_t window = 0;
  switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: window = event.key.windowID; break;
    case SDL_TEXTINPUT: window = event.text.windowID; break;
    case SDL_MOUSEMOTION: window = event.motion.windowID; break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: window = event.button.windowID; break;
    case SDL_MOUSEWHEEL: window = event.wheel.windowID; break;
    case SDL_WINDOWEVENT: window = event.window.windowID; break;
    default: return;
  }
  if (window == windowId_) queue_.push_back(event);
}

InterfaceBackend::InterfaceBackend(WindowSystem& system, std::uint32_t windowId, InterfaceInput input)
    : system_(system), events_(windowId), listening_(input == InterfaceInput::kWindowEvents) {
  if (listening_) system_.SetEventListener([this](const SDL_Event& event) { events_.Push(event); });
}

InterfaceBackend::~InterfaceBackend() {
  if (listening_) system_.SetEventListener(nullptr);
}

int CharacterKeyIndex(char letter) {
  if (letter == '.') return SDL_SCANCODE_PERIOD;
  const char lower = letter >= 'A' && letter <= 'Z' ? static_cast<char>(letter - 'A' + 'a') : letter;
  return SDL_SCANCODE_A + (lower - 'a');
}

}  // namespace platform
