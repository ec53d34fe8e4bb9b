#pragma once
// The scene's one directional light, set on the main device once at start.

#include "platform/gfx/d3dx_math.h"

class CLight {
 public:
  void Init();
  const D3DLIGHT9& GetLight() const { return light_; }

 private:
  D3DLIGHT9 light_{};
  D3DXVECTOR4 pointA_{0.0f, 0.0f, -1.0f, 1.0f};
  D3DXVECTOR4 pointC_{0.5f, 0.0f, 0.0f, 1.0f};
  D3DXMATRIX turn_;
};
