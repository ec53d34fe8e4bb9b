#pragma once
// A polled input device in DirectInput's manner: the state is read whole once a frame,
// and a read fails while the scene window does not have the focus.

#include <cstdint>

namespace platform {

// The mouse record of one read: motion since the last read and eight buttons (bit 7 = held).
struct DIMOUSESTATE2 {
  std::int32_t lX;
  std::int32_t lY;
  std::int32_t lZ;  // wheel, 120 per notch
  std::uint8_t rgbButtons[8];
};
static_assert(sizeof(DIMOUSESTATE2) == 20);

class InputDevice {
 public:
  virtual ~InputDevice() = default;
  // Keyboards fill 256 bytes indexed by DIK code, mice one DIMOUSESTATE2. False when the
  // device is not acquired or its window is in the background.
  virtual bool GetDeviceState(std::uint32_t size, void* data) = 0;
  virtual bool Acquire() = 0;
  virtual void Unacquire() = 0;
};

}  // namespace platform
