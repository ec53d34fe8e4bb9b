#include "scene/object_x.h"

#include "app/manager.h"
#include "resource/model_manager.h"
#include "app/renderer.h"

CObjectX* CObjectX::Create(const std::string& label, D3DXVECTOR3 pos) {
  auto* object = new CObjectX();
  object->scale_ = {1.0f, 1.0f, 1.0f};
  object->color_ = {1.0f, 1.0f, 1.0f, 1.0f};
  object->texture_ = nullptr;
  if (CModelManager* models = CManager::GetInstance()->GetModelManager()) {
    object->mesh_ = models->GetMesh(label);
    object->materials_ = models->GetMaterials(label);
  }
  object->Init();
  object->SetPos(pos);
  return object;
}

HRESULT CObjectX::Init() {
  vtxMax_ = {};
  vtxMin_ = {};
  if (mesh_) ExtendFloorBounds(mesh_, &vtxMax_, &vtxMin_);
  scale_ = vtxMax_ - vtxMin_;
  return S_OK;
}

void CObjectX::Uninit() {
  mesh_ = nullptr;
  materials_ = nullptr;
  SetDeath();
}

void CObjectX::Update() { SetPos(GetPos() + move_); }

void CObjectX::Draw() {
  gfx::Device* device = CManager::GetInstance()->GetRenderer()->GetDevice();
  device->SetTexture(0, nullptr);

  D3DXMATRIX rotation, translation, scaling;
  D3DXMatrixIdentity(&world_);
  D3DXMatrixRotationYawPitchRoll(&rotation, rot_.y, rot_.x, rot_.z);
  D3DXMatrixTranslation(&translation, pos_.x, pos_.y, pos_.z);
  D3DXMatrixScaling(&scaling, scale_.x, scale_.y, scale_.z);
  // Scaling comes last, so it scales the translation too: objects are scaled at the origin.
  world_ = world_ * rotation * translation * scaling;

  device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESS);
  device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
  device->SetTransform(D3DTS_WORLD, &world_);
  // The material count is the buffer's own: a model read again may bring fewer.
  if (!mesh_ || !materials_ || materials_->Count() == 0) return;

  D3DMATERIAL9 saved;
  device->GetMaterial(&saved);
  gfx::D3DXMATERIAL* materials = materials_->GetBufferPointer();
  materials[0].MatD3D.Diffuse = color_;
  for (DWORD i = 0; i < materials_->Count(); ++i) {
    device->SetMaterial(&materials[i].MatD3D);
    device->SetTexture(0, texture_);
    mesh_->DrawSubset(i);
  }
  device->SetMaterial(&saved);
  device->SetTexture(0, nullptr);
}
