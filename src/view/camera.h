#pragma once
// The orbit camera around the 3D pointer: left-drag turns it with inertia, the wheel and
// T/G move the eye in and out, Q/E turn it. The view and projection it sets at the end of
// a frame are the ones the next frame draws with.

#include "platform/gfx/d3dx_math.h"

class CCamera {
 public:
  static constexpr float kTurn = 0.005f;
  static constexpr float kDragDecay = 0.85f;
  static constexpr float kWheel = 0.5f;
  // T and G move the eye along its slope towards or away from the pointer, per frame held.
  static constexpr float kZoomStepY = 4.0f;
  static constexpr float kZoomStepZ = 12.0f;
  static constexpr float kFovY = D3DX_PI / 4.0f;
  static constexpr float kAspect = 1280.0f / 720.0f;
  static constexpr float kNear = 5.0f;
  static constexpr float kFar = 10000.0f;

  HRESULT Init();
  void Update();
  void SetCamera();

  const D3DXVECTOR3& GetRot() const { return rot_; }
  const D3DXVECTOR3& GetEye() const { return eye_; }
  const D3DXVECTOR3& GetWorldEye() const { return worldEye_; }
  const D3DXVECTOR3& GetWorldTarget() const { return worldTarget_; }
  const D3DXMATRIX& GetView() const { return view_; }
  const D3DXMATRIX& GetProjection() const { return projection_; }
  const D3DXMATRIX& GetOrbit() const { return orbit_; }
  // The drag velocity that keeps the camera turning after the button is released.
  static const D3DXVECTOR3& DragVelocity();

 private:
  D3DXVECTOR3 eye_;
  D3DXVECTOR3 target_;
  D3DXVECTOR3 up_{0.0f, 1.0f, 0.0f};
  D3DXVECTOR3 rot_;
  D3DXMATRIX projection_;
  D3DXMATRIX view_;
  D3DXMATRIX orbit_;
  D3DXVECTOR3 worldEye_;
  D3DXVECTOR3 worldTarget_;
};
