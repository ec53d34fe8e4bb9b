#include "platform/interface/interface_backend.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr std::uint32_t kEditor = 2, kScene = 1;

SDL_Event KeyEvent(bool down, SDL_Scancode code, std::uint32_t window = kEditor) {
  SDL_Event e{};
  e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  e.key.windowID = window;
  e.key.keysym.scancode = code;
  return e;
}

SDL_Event Text(const char* text, std::uint32_t window = kEditor) {
  SDL_Event e{};
  e.type = SDL_TEXTINPUT;
  e.text.windowID = window;
  std::snprintf(e.text.text, sizeof e.text.text, "%s", text);
  return e;
}

// What one frame hands over, as "+A", "-A" (key down, up) and "t:x" (text).
std::vector<std::string> Frame(platform::InterfaceEventQueue& queue) {
  std::vector<std::string> seen;
  queue.DeliverFrame([&](const SDL_Event& e) {
    if (e.type == SDL_TEXTINPUT) seen.push_back(std::string("t:").append(e.text.text));
    if (e.type == SDL_KEYDOWN || e.type == SDL_KEYUP)
      seen.push_back(
          std::string(e.type == SDL_KEYDOWN ? "+" : "-").append(SDL_GetScancodeName(e.key.keysym.scancode)));
    if (e.type == SDL_MOUSEBUTTONDOWN) seen.push_back("click");
  });
  return seen;
}

using Seen = std::vector<std::string>;

TEST(InterfaceEventQueue, KeepsOnlyTheEditorWindowsInput) {
  platform::InterfaceEventQueue queue(kEditor);
  queue.Push(KeyEvent(true, SDL_SCANCODE_W, kScene));
  queue.Push(Text("w", kScene));
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  queue.Push(quit);
  SDL_Event click{};
  click.type = SDL_MOUSEBUTTONDOWN;
  click.button.windowID = kScene;
  queue.Push(click);
  EXPECT_TRUE(queue.Empty());
  click.button.windowID = kEditor;
  queue.Push(click);
  queue.Push(Text("a"));
  EXPECT_EQ(Frame(queue), (Seen{"click", "t:a"}));
}

TEST(InterfaceEventQueue, AKeyReleasedInTheFrameItWentDownIsReleasedInTheNext) {
  platform::InterfaceEventQueue queue(kEditor);
  // A fast typist: "ab" and Enter, all between two frames.
  for (auto [code, text] : {std::pair{SDL_SCANCODE_A, "a"}, std::pair{SDL_SCANCODE_B, "b"}}) {
    queue.Push(KeyEvent(true, code));
    queue.Push(Text(text));
    queue.Push(KeyEvent(false, code));
  }
  queue.Push(KeyEvent(true, SDL_SCANCODE_RETURN));
  queue.Push(KeyEvent(false, SDL_SCANCODE_RETURN));
  EXPECT_EQ(Frame(queue), (Seen{"+A", "t:a"}));
  EXPECT_EQ(Frame(queue), (Seen{"-A", "+B", "t:b"}));
  EXPECT_EQ(Frame(queue), (Seen{"-B", "+Return"}));
  EXPECT_EQ(Frame(queue), (Seen{"-Return"}));
  EXPECT_TRUE(queue.Empty());

  // A key held over frames is released as soon as it comes.
  queue.Push(KeyEvent(true, SDL_SCANCODE_DELETE));
  EXPECT_EQ(Frame(queue), (Seen{"+Delete"}));
  queue.Push(KeyEvent(false, SDL_SCANCODE_DELETE));
  queue.Push(KeyEvent(true, SDL_SCANCODE_DELETE));
  EXPECT_EQ(Frame(queue), (Seen{"-Delete", "+Delete"}));
}

}  // namespace
