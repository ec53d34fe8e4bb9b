#pragma once
// The whole program on the headless window system with the editor interface set up, in a
// folder of its own holding a copy of the sample data (saves never touch the repository).
// Tests drive the editor only as a user would: mouse, keys and typed text, as SDL events
// of the "Child" window, aiming at widgets found by label in the item log of the last frame.

#include <SDL_events.h>
#include <gtest/gtest.h>
#include <imgui.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "app/child_window.h"
#include "app/interface_setup.h"
#include "app/manager.h"
#include "editor/editor.h"
#include "platform/headless_window_system.h"
#include "platform/message_sink.h"
#include "support/source_tree.h"
#include "support/temp_folder.h"
#include "ui/item_log.h"

class EditorTest : public TempFolderTest {
 protected:
  // Only the tests that listen ask for the sound output: opening and closing the audio device
  // is most of what a start costs.
  explicit EditorTest(CManager::Services services = {.soundOutput = false}) : services_(services) {}

  void SetUp() override {
    previousDir_ = std::filesystem::current_path();
    // The recent documents and autosaves of a test stay in its folder, never in the user's.
    setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
    setenv("XDG_STATE_HOME", (dir_ / "state").c_str(), 1);
    platform::GetNotices().Clear();
    std::filesystem::copy(std::filesystem::path(SourceDir()) / "Data", dir_ / "Data",
                          std::filesystem::copy_options::recursive);
    std::filesystem::current_path(dir_);
    window_ = system_.CreateWindow("TEST", 1280, 720);
    ASSERT_EQ(Manager()->Init(window_.get(), &system_, services_), S_OK);
    ASSERT_TRUE(SetUpInterface(*Manager(), system_));
    log_ = std::make_unique<ui::ItemLog>();
    Frame();
  }
  void TearDown() override {
    log_.reset();
    Manager()->Uninit();
    std::filesystem::current_path(previousDir_);
  }

  static CManager* Manager() { return CManager::GetInstance(); }
  static CEditor* Editor() { return Manager()->GetEditor(); }
  static EffectTable& Table() { return *Manager()->GetEffectTable(); }
  const ui::ItemLog& Log() const { return *log_; }

  // Whole frames; extra builds more interface after the editor's windows in each, after what
  // BuildEveryFrame asked for.
  void Frame(int count = 1, const std::function<void()>& extra = {}) {
    for (int i = 0; i < count; ++i) {
      Manager()->Update();
      if (everyFrame_) everyFrame_();
      if (extra) extra();
      Manager()->Draw();
    }
  }
  // Interface of the test's own, built in every frame from now on, those the input helpers
  // run included (a window that must see the clicks and keys they send).
  void BuildEveryFrame(std::function<void()> build) { everyFrame_ = std::move(build); }

  // The widget drawn last frame under the label; a failure, and a place off screen, if none.
  ui::LoggedItem Find(const std::string& label, const std::string& window = "") const {
    if (const ui::LoggedItem* item = log_->Find(label, window)) return *item;
    ADD_FAILURE() << "no widget '" << label << "' in window '" << window << "' was drawn";
    return {"", label, ImVec2(-100, -100), ImVec2(-90, -90)};
  }
  bool Shown(const std::string& label, const std::string& window = "") const {
    return log_->Find(label, window) != nullptr;
  }

  // ---- input, as the window system delivers it
  std::uint32_t EditorWindowId() const { return Manager()->GetChildWindow()->GetWindow()->Id(); }
  std::uint32_t SceneWindowId() const { return window_->Id(); }

  void MoveMouse(ImVec2 at, std::uint32_t windowId = 0) {
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.windowID = windowId ? windowId : EditorWindowId();
    e.motion.x = static_cast<Sint32>(at.x);
    e.motion.y = static_cast<Sint32>(at.y);
    system_.PushEvent(e);
  }
  void MouseButton(bool down, Uint8 button = SDL_BUTTON_LEFT, std::uint32_t windowId = 0) {
    SDL_Event e{};
    e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    e.button.windowID = windowId ? windowId : EditorWindowId();
    e.button.button = button;
    e.button.x = static_cast<Sint32>(mouse_.x);
    e.button.y = static_cast<Sint32>(mouse_.y);
    system_.PushEvent(e);
  }
  // Points at the spot, presses and releases the button, a frame for each step, and one
  // more so the log shows the result.
  void ClickAt(ImVec2 at, Uint8 button = SDL_BUTTON_LEFT) {
    mouse_ = at;
    MoveMouse(at);
    Frame();
    MouseButton(true, button);
    Frame();
    MouseButton(false, button);
    Frame(2);
  }
  // Points at the spot and clicks twice, quickly enough for a double-click.
  void DoubleClickAt(ImVec2 at) {
    mouse_ = at;
    MoveMouse(at);
    Frame();
    for (int click = 0; click < 2; ++click) {
      MouseButton(true);
      MouseButton(false);
      Frame(2);
    }
  }
  void DoubleClick(const std::string& label, const std::string& window = "") {
    DoubleClickAt(Find(label, window).Centre());
  }
  // Presses at one spot, moves to the other over a few frames and releases there.
  void Drag(ImVec2 from, ImVec2 to) {
    mouse_ = from;
    MoveMouse(from);
    Frame();
    MouseButton(true);
    Frame();
    for (int step = 1; step <= 4; ++step) {
      mouse_ = ImVec2(from.x + (to.x - from.x) * step / 4, from.y + (to.y - from.y) * step / 4);
      MoveMouse(mouse_);
      Frame();
    }
    MouseButton(false);
    Frame(2);
  }
  void Click(const std::string& label, const std::string& window = "", Uint8 button = SDL_BUTTON_LEFT) {
    ClickAt(Find(label, window).Centre(), button);
  }
  // Opens the File menu and chooses the entry.
  void ChooseFileMenu(const std::string& entry) {
    Click("File");
    Click(entry);
  }
  void Key(SDL_Scancode code, bool down, Uint16 modifiers = KMOD_NONE, std::uint32_t windowId = 0) {
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.windowID = windowId ? windowId : EditorWindowId();
    e.key.keysym.scancode = code;
    e.key.keysym.mod = modifiers;
    system_.PushEvent(e);
  }
  // A key pressed and released between two frames, as a fast typist or a script does.
  // With Ctrl in the modifiers, Ctrl goes down before and up after the key.
  void Tap(SDL_Scancode code, Uint16 modifiers = KMOD_NONE) {
    const bool ctrl = (modifiers & KMOD_CTRL) != 0;
    if (ctrl) Key(SDL_SCANCODE_LCTRL, true, modifiers);
    Key(code, true, modifiers);
    Key(code, false, modifiers);
    if (ctrl) Key(SDL_SCANCODE_LCTRL, false, modifiers & ~KMOD_CTRL);
    Frame(2);
  }
  void Type(const std::string& text, std::uint32_t windowId = 0) {
    SDL_Event e{};
    e.type = SDL_TEXTINPUT;
    e.text.windowID = windowId ? windowId : EditorWindowId();
    std::strncpy(e.text.text, text.c_str(), sizeof e.text.text - 1);
    system_.PushEvent(e);
    Frame();
  }
  void Wheel(int steps) {
    SDL_Event e{};
    e.type = SDL_MOUSEWHEEL;
    e.wheel.windowID = EditorWindowId();
    e.wheel.y = steps;
    system_.PushEvent(e);
    Frame();
  }
  // Scrolls the window with the wheel until the widget lies inside it and stays put (the
  // library settles a scroll a frame after the content changed its height).
  void Reveal(const std::string& label, const std::string& window) {
    ImVec2 last(-1, -1);
    for (int tries = 0; tries < 60; ++tries) {
      const ui::LoggedItem* item = Log().Find(label, window);
      const ui::LoggedItem* frame = Log().Find(window, window);
      if (!item || !frame) return;
      const float top = frame->min.y + ImGui::GetFrameHeight() + 2.0f, bottom = frame->max.y - 2.0f;
      const bool inside = item->min.y >= top && item->max.y <= bottom;
      const bool still = item->min.y == last.y;
      last = item->min;
      if (inside && still) return;
      if (inside) {
        Frame();
        continue;
      }
      mouse_ = ImVec2(frame->max.x - 20.0f, frame->Centre().y);
      MoveMouse(mouse_);
      Wheel(item->min.y < top ? 1 : -1);
    }
    ADD_FAILURE() << "could not scroll to " << label;
  }
  // Ctrl+click turns a drag into a text field: the text typed over its value, then Enter.
  void TypeIntoDrag(const std::string& label, const std::string& text, const std::string& window = "") {
    const ImVec2 at = Find(label, window).Centre();
    mouse_ = ImVec2(at.x - 60, at.y);
    MoveMouse(mouse_);
    Frame();
    Key(SDL_SCANCODE_LCTRL, true, KMOD_LCTRL);
    Frame();
    MouseButton(true);
    Frame();
    MouseButton(false);
    Key(SDL_SCANCODE_LCTRL, false);
    Frame();
    Tap(SDL_SCANCODE_A, KMOD_CTRL);
    Type(text);
    Tap(SDL_SCANCODE_RETURN);
  }
  // Clicks the text field, types the text into it and leaves it with a click elsewhere.
  void Fill(const std::string& label, const std::string& text) {
    Click(label);
    Type(text);
  }

  const CManager::Services services_;
  platform::HeadlessWindowSystem system_;
  std::unique_ptr<platform::Window> window_;
  std::unique_ptr<ui::ItemLog> log_;
  std::function<void()> everyFrame_;
  std::filesystem::path previousDir_;
  ImVec2 mouse_{0, 0};
};
