#pragma once
// The interface library's back ends for the editor window: the platform side (display size,
// time, mouse, keys and text) and the renderer side (draw data onto the window's device).
// One drives SDL and OpenGL, the other runs headless on the Null device for tests.
//
// Events reach the library through a queue that keeps only the editor window's events and
// hands them over a frame at a time: the library (1.86) has no input queue of its own, so a
// key pressed and released between two frames would never be seen down.

#include <cstdint>
#include <deque>

#include <SDL_events.h>

struct ImDrawData;

namespace platform {

class WindowSystem;
enum class InterfaceInput;

// The library's index of a letter key or the period, as both back ends number keys (SDL's
// scancodes): the library's own key names (1.86) cover only the letters of copy and paste.
int CharacterKeyIndex(char character);

class InterfaceEventQueue {
 public:
  explicit InterfaceEventQueue(std::uint32_t windowId) : windowId_(windowId) {}
  // Keeps the events of the editor window (keys, text, mouse, window state); the other
  // window's and the rest are dropped.
  void Push(const SDL_Event& event);
  // Delivers this frame's events in order: all that are queued, except that a key released
  // after it went down in this frame waits, with everything behind it, for the next frame.
  template <typename Deliver>
  void DeliverFrame(Deliver&& deliver) {
    std::uint64_t downThisFrame[SDL_NUM_SCANCODES / 64 + 1] = {};
    while (!queue_.empty()) {
      const SDL_Event& event = queue_.front();
      if (event.type == SDL_KEYDOWN || event.type == SDL_KEYUP) {
        const unsigned code = static_cast<unsigned>(event.key.keysym.scancode) % SDL_NUM_SCANCODES;
        const std::uint64_t bit = std::uint64_t{1} << (code % 64);
        if (event.type == SDL_KEYUP && (downThisFrame[code / 64] & bit)) break;
        if (event.type == SDL_KEYDOWN) downThisFrame[code / 64] |= bit;
      }
      deliver(event);
      queue_.pop_front();
    }
  }
  bool Empty() const { return queue_.empty(); }

 private:
  std::uint32_t windowId_;
  std::deque<SDL_Event> queue_;
};

class InterfaceBackend {
 public:
  // Listens to the window system's events for the window until destroyed, unless its input
  // is kNone. The window system has one listener: only one back end at a time takes input.
  InterfaceBackend(WindowSystem& system, std::uint32_t windowId, InterfaceInput input);
  // Stops listening; the back ends themselves are shut down by the derived classes.
  virtual ~InterfaceBackend();
  InterfaceBackend(const InterfaceBackend&) = delete;
  InterfaceBackend& operator=(const InterfaceBackend&) = delete;

  // Gives the library this frame's events and starts its platform and renderer frames.
  virtual void NewFrame() = 0;
  // Draws the library's finished frame on the window's device.
  virtual void RenderDrawData(ImDrawData* data) = 0;

 protected:
  InterfaceEventQueue& Events() { return events_; }

 private:
  WindowSystem& system_;
  InterfaceEventQueue events_;
  bool listening_;
};

}  // namespace platform
