#pragma once
// Polled keyboard and mouse: the state of this frame and the edges since the last one.

#include <array>
#include <cstdint>
#include <memory>

#include "platform/dik.h"
#include "platform/gfx/d3d_types.h"
#include "platform/input_device.h"
#include "platform/window_system.h"

class CInput {
 public:
  virtual ~CInput() = default;
  // Creates the device of this kind on the platform instance; reads follow the window's focus.
  virtual HRESULT Init(platform::WindowSystem* instance, platform::Window* window);
  virtual void Uninit();
  virtual void Update() = 0;

 protected:
  enum Kind { kKeyboard = 0, kMouse = 1, kNone = 2 };
  Kind kind_ = kNone;
  std::unique_ptr<platform::InputDevice> device_;
};

class CInputKeyboard final : public CInput {
 public:
  HRESULT Init(platform::WindowSystem* instance, platform::Window* window) override;
  void Update() override;

  bool GetPress(int key) const { return press_[key & 0xff] & 0x80; }
  bool GetTrigger(int key) const { return trigger_[key & 0xff] & 0x80; }

 private:
  std::array<std::uint8_t, 256> press_{};
  std::array<std::uint8_t, 256> trigger_{};
};

class CInputMouse final : public CInput {
 public:
  enum Button { kLeft = 0, kRight = 1, kMiddle = 2 };

  HRESULT Init(platform::WindowSystem* instance, platform::Window* window) override;
  void Update() override;

  const platform::DIMOUSESTATE2& GetMouseState() const { return state_; }
  bool GetPress(int button) const { return state_.rgbButtons[button & 7] & 0x80; }
  bool GetTrigger(int button) const { return trigger_[button & 7] & 0x80; }
  bool GetRelease(int button) const { return release_[button & 7] & 0x80; }

 private:
  platform::DIMOUSESTATE2 state_{};
  std::array<std::uint8_t, 8> trigger_{};
  std::array<std::uint8_t, 8> release_{};
};
