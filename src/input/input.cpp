#include "input/input.h"

HRESULT CInput::Init(platform::WindowSystem* instance, platform::Window* window) {
  if (!instance) return E_FAIL;
  switch (kind_) {
    case kKeyboard: device_ = instance->CreateKeyboard(window); break;
    case kMouse: device_ = instance->CreateMouse(window); break;
    default: return S_OK;
  }
  return device_ ? S_OK : E_FAIL;
}

void CInput::Uninit() {
  if (device_) device_->Unacquire();
  device_.reset();
}

// ---- keyboard ------------------------------------------------------------------------------

HRESULT CInputKeyboard::Init(platform::WindowSystem* instance, platform::Window* window) {
  kind_ = kKeyboard;
  if (FAILED(CInput::Init(instance, window))) return E_FAIL;
  device_->Acquire();
  return S_OK;
}

void CInputKeyboard::Update() {
  std::array<std::uint8_t, 256> keys;
  if (!device_) return;
  // A lost device (window in the background) keeps the keys held as they were, but the
  // edges are spent: replaying last frame's trigger every frame would, say, flip wireframe
  // on every frame while another window has the focus.
  if (!device_->GetDeviceState(keys.size(), keys.data())) {
    trigger_.fill(0);
    device_->Acquire();
    return;
  }
  for (size_t k = 0; k < keys.size(); ++k) {
    trigger_[k] = keys[k] & ~press_[k];
    press_[k] = keys[k];
  }
}

// ---- mouse ------------------------------------------------------------------------------------

HRESULT CInputMouse::Init(platform::WindowSystem* instance, platform::Window* window) {
  kind_ = kMouse;
  if (FAILED(CInput::Init(instance, window))) return E_FAIL;
  device_->Acquire();
  return S_OK;
}

void CInputMouse::Update() {
  platform::DIMOUSESTATE2 state;
  if (!device_) return;
  // As for the keyboard: buttons stay as they were, edges and motion are spent (replaying
  // last frame's wheel would zoom the camera on and on).
  if (!device_->GetDeviceState(sizeof state, &state)) {
    trigger_.fill(0);
    release_.fill(0);
    state_.lX = state_.lY = state_.lZ = 0;
    device_->Acquire();
    return;
  }
  for (int b = 0; b < 8; ++b) {
    const std::uint8_t before = state_.rgbButtons[b], now = state.rgbButtons[b];
    trigger_[b] = (before ^ now) & now;
    release_[b] = (before ^ now) & before;
  }
  state_ = state;
}
