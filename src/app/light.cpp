#include "app/light.h"

#include "app/manager.h"
#include "app/renderer.h"

void CLight::Init() {
  light_ = D3DLIGHT9{};
  D3DXMatrixIdentity(&turn_);
  D3DXMATRIX rotation;
  D3DXMatrixRotationYawPitchRoll(&rotation, D3DX_PI, D3DX_PI / 2.0f, 0.0f);
  D3DXMatrixMultiply(&turn_, &turn_, &rotation);
  D3DXVECTOR3 a, c;
  D3DXVec3TransformCoord(&a, &pointA_, &turn_);
  D3DXVec3TransformCoord(&c, &pointC_, &turn_);

  // The light shines from A towards C: downwards and towards negative x.
  D3DXVECTOR3 direction = c - a;
  D3DXVec3Normalize(&direction, &direction);
  light_.Type = D3DLIGHT_DIRECTIONAL;
  light_.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
  light_.Direction = {direction.x, direction.y, direction.z};

  gfx::Device* device = CManager::GetInstance()->GetRenderer()->GetDevice();
  device->SetLight(0, &light_);
  device->LightEnable(0, TRUE);
}
