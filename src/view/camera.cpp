#include "view/camera.h"

#include "app/manager.h"
#include "view/pointer.h"
#include "input/input.h"
#include "app/renderer.h"
#include "scene/shared_state.h"

const D3DXVECTOR3& CCamera::DragVelocity() { return Shared().cameraDrag; }

HRESULT CCamera::Init() {
  eye_ = {0.0f, 100.0f, 300.0f};
  target_ = {0.0f, 0.0f, 0.0f};
  up_ = {0.0f, 1.0f, 0.0f};
  rot_ = {0.0f, 0.0f, 0.0f};
  D3DXMatrixIdentity(&orbit_);
  D3DXMatrixIdentity(&view_);
  D3DXMatrixIdentity(&projection_);
  worldEye_ = eye_;
  worldTarget_ = target_;
  return S_OK;
}

void CCamera::Update() {
  CManager* manager = CManager::GetInstance();
  const platform::DIMOUSESTATE2& mouse = manager->GetMouse()->GetMouseState();
  const bool overEditor = manager->MouseOverEditor();
  D3DXVECTOR3& drag = Shared().cameraDrag;  // shared by every camera, as the turn's inertia

  if (manager->GetMouse()->GetPress(CInputMouse::kLeft) && !overEditor)
    drag = {static_cast<float>(mouse.lX), static_cast<float>(mouse.lY), static_cast<float>(mouse.lZ)};
  if (!overEditor) {
    eye_.y -= mouse.lZ * kWheel;
    eye_.z -= mouse.lZ * kWheel;
  }
  rot_.y += drag.x * kTurn;
  rot_.x += drag.y * kTurn;
  drag.x *= kDragDecay;
  drag.y *= kDragDecay;

  CInputKeyboard* keyboard = manager->GetKeyboard();
  if (keyboard->GetPress(DIK_Q)) rot_.y -= kTurn;
  if (keyboard->GetPress(DIK_E)) rot_.y += kTurn;
  if (keyboard->GetPress(DIK_T)) {
    eye_.y -= kZoomStepY;
    eye_.z -= kZoomStepZ;
  }
  if (keyboard->GetPress(DIK_G)) {
    eye_.y += kZoomStepY;
    eye_.z += kZoomStepZ;
  }

  const D3DXVECTOR3 centre = manager->GetPointer() ? manager->GetPointer()->GetPos() : D3DXVECTOR3();
  D3DXMATRIX rotation, translation;
  D3DXMatrixIdentity(&orbit_);
  D3DXMatrixRotationYawPitchRoll(&rotation, rot_.y, rot_.x, rot_.z);
  D3DXMatrixTranslation(&translation, centre.x, centre.y, centre.z);
  orbit_ = orbit_ * rotation * translation;
  manager->GetRenderer()->GetDevice()->SetTransform(D3DTS_WORLD, &orbit_);
  D3DXVec3TransformCoord(&worldEye_, &eye_, &orbit_);
  D3DXVec3TransformCoord(&worldTarget_, &target_, &orbit_);

  // Yaw stays near -pi..pi; pitch is left free, so the view may turn upside down.
  if (rot_.y > D3DX_PI) {
    rot_.y -= D3DX_PI * 2.0f;
  } else if (rot_.y < -D3DX_PI) {
    rot_.y += D3DX_PI * 2.0f;
  }
}

void CCamera::SetCamera() {
  gfx::Device* device = CManager::GetInstance()->GetRenderer()->GetDevice();
  D3DXMatrixLookAtLH(&view_, &worldEye_, &worldTarget_, &up_);
  device->SetTransform(D3DTS_VIEW, &view_);
  D3DXMatrixPerspectiveFovLH(&projection_, kFovY, kAspect, kNear, kFar);
  device->SetTransform(D3DTS_PROJECTION, &projection_);
}
