#include "view/pointer.h"

#include "scene/shared_state.h"

#include <cmath>
#include <cstdlib>

#include "app/manager.h"
#include "view/camera.h"
#include "resource/model_manager.h"
#include "input/input.h"
#include "editor/editor.h"
#include "app/renderer.h"
#include "particle/particle_emitter.h"


CPointer* CPointer::Create(D3DXVECTOR3 pos) {
  auto* pointer = new CPointer();
  pointer->SetPos(pos);
  pointer->Init();
  return pointer;
}

HRESULT CPointer::Init() {
  // Without a "SPHERE" model the pointer still moves, but has nothing to draw.
  if (CModelManager* models = CManager::GetInstance()->GetModelManager()) {
    const ModelInfo model = models->GetModel("SPHERE");
    if (model.Mesh)
      parts_.push_back({model.Mesh, model.Materials, model.NumMaterials, model.VtxMax, model.VtxMin});
  }
  scale_ = {1.0f, 1.0f, 1.0f};
  return S_OK;
}

CPointer::Step CPointer::Movement(bool w, bool a, bool s, bool d, bool r, bool f, float yaw, float speed) {
  float angle = 0.0f;
  if (w && d) {
    angle = yaw + D3DX_PI / 4.0f;
  } else if (w && a) {
    angle = yaw - D3DX_PI / 4.0f;
  } else if (w) {
    angle = yaw;
  } else if (s && d) {
    angle = yaw + D3DX_PI * 3.0f / 4.0f;
  } else if (s && a) {
    angle = yaw - D3DX_PI * 3.0f / 4.0f;
  } else if (s) {
    angle = yaw + D3DX_PI;
  } else if (d) {
    angle = yaw + D3DX_PI / 2.0f;
  } else if (a) {
    angle = yaw - D3DX_PI / 2.0f;
  } else if (r) {
    return {0.0f, 0.0f, kLift};
  } else if (f) {
    return {0.0f, 0.0f, -kLift};
  } else {
    return {};
  }
  return {-std::sin(angle) * speed, -std::cos(angle) * speed, 0.0f};
}

CParticleEmitter* CPointer::Emit() {
  CEditor* editor = CManager::GetInstance()->GetEditor();
  CParticleEmitter* emitter = CParticleEmitter::Emit(editor ? editor->GetTag() : std::string(), pos_);
  lastEmitter_ = emitter->GetId();
  ++emissionCount_;
  return emitter;
}

void CPointer::Update() {
  if (Shared().replaying) return;
  CManager* manager = CManager::GetInstance();
  CInputKeyboard* k = manager->GetKeyboard();
  const float yaw = manager->GetCamera() ? manager->GetCamera()->GetRot().y : 0.0f;
  const Step step = Movement(k->GetPress(DIK_W), k->GetPress(DIK_A), k->GetPress(DIK_S), k->GetPress(DIK_D),
                             k->GetPress(DIK_R), k->GetPress(DIK_F), yaw, speed_);
  pos_.x += step.dx;
  pos_.z += step.dz;
  pos_.y += step.dy;

  // Every EmissionInterval frames the selected effect plays here; 0 plays nothing and a
  // negative interval counts like its absolute value. With the preview's loop off nothing is
  // counted, so the count goes on where it stopped.
  CEditor* editor = manager->GetEditor();
  if (editor && !editor->Preview.Loop) return;
  int& emissionCounter = Shared().emissionCounter;  // counted by every pointer together
  ++emissionCounter;
  const long long interval = editor ? std::llabs(static_cast<long long>(editor->EmissionInterval)) : 0;
  if (interval != 0 && emissionCounter % interval == 0) Emit();
}

void CPointer::Draw() {
  gfx::Device* device = CManager::GetInstance()->GetRenderer()->GetDevice();
  device->SetTexture(0, nullptr);
  D3DXMATRIX translation, scaling;
  D3DXMatrixIdentity(&world_);
  D3DXMatrixTranslation(&translation, pos_.x, pos_.y, pos_.z);
  D3DXMatrixScaling(&scaling, scale_.x, scale_.y, scale_.z);
  world_ = world_ * translation * scaling;
  device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESS);
  device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
  device->SetTransform(D3DTS_WORLD, &world_);

  D3DMATERIAL9 saved;
  device->GetMaterial(&saved);
  if (visible_) {
    for (ModelPart& part : parts_) {
      if (part.materials->Count() == 0) continue;  // a model read again without materials
      device->GetMaterial(&saved);
      // Every subset is drawn in the first material, made opaque white.
      gfx::D3DXMATERIAL* first = part.materials->GetBufferPointer();
      first->MatD3D.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
      for (DWORD i = 0; i < part.materials->Count(); ++i) {
        device->SetMaterial(&first->MatD3D);
        part.mesh->DrawSubset(i);
      }
    }
  }
  device->SetMaterial(&saved);
  device->SetTexture(0, nullptr);
}
