#include "scene/billboard.h"

#include "app/manager.h"
#include "resource/shader_manager.h"
#include "resource/texture_manager.h"
#include "app/renderer.h"

namespace {

using Vertex = gfx::SceneVertex;
constexpr DWORD kFvf = gfx::kSceneVertexFvf;

gfx::Device* SceneDevice() { return CManager::GetInstance()->GetRenderer()->GetDevice(); }

// The camera's matrices as last set on the scene's device (identity before any camera).
D3DXMATRIX SceneTransform(D3DTRANSFORMSTATETYPE state) {
  D3DXMATRIX matrix;
  D3DXMatrixIdentity(&matrix);
  if (CRenderer* renderer = CManager::GetInstance()->GetRenderer(); renderer && renderer->GetDevice())
    renderer->GetDevice()->GetTransform(state, &matrix);
  return matrix;
}

}  // namespace

HRESULT CBillboard::Init() {
  look_->vertexBuffer =
      SceneDevice()->CreateVertexBuffer(4 * sizeof(Vertex), D3DUSAGE_WRITEONLY, kFvf, D3DPOOL_MANAGED);
  verticesStale_ = true;
  WriteVertices();
  if (!look_->shaderLabel.empty()) {
    CShaderManager* shaders = CManager::GetInstance()->GetShaderManager();
    look_->technique = shaders->GetTechnique(look_->shaderLabel, "TechShader");
    look_->viewParameter = shaders->GetParameter(look_->shaderLabel, "g_cameraView");
    look_->projectionParameter = shaders->GetParameter(look_->shaderLabel, "g_cameraProjection");
    look_->worldParameter = shaders->GetParameter(look_->shaderLabel, "g_mtxWorld");
  }
  return S_OK;
}

void CBillboard::Uninit() {
  look_->vertexBuffer.reset();
  SetDeath();
}

void CBillboard::SetTexture(const std::string& label) {
  CTextureManager* textures = CManager::GetInstance()->GetTextureManager();
  look_->texture = textures ? textures->GetTexture(false, label) : nullptr;
}

// ---- per frame ----------------------------------------------------------------------------------

void CBillboard::StepAnimation() {
  if (++look_->delayCounter < look_->startDelay) return;
  if (++look_->intervalCounter < look_->framesPerCell) return;
  ++look_->animColumn;
  look_->intervalCounter = 0;
  if (look_->animColumn > look_->columns) {
    look_->animColumn = 0;
    ++look_->animRow;
    if (look_->animRow >= look_->rows) {
      look_->animRow = 0;
      if (!loop_) Uninit();
      return;  // the wrapping step shows no new cell
    }
  }
  // The column index reaches the column count once a row; u = 1 then wraps to the first column.
  const float left = static_cast<float>(look_->animColumn) / look_->columns;
  const float top = static_cast<float>(look_->animRow) / look_->rows;
  SetTexUV(left, left + 1.0f / look_->columns, top, top + 1.0f / look_->rows);
}

void CBillboard::SetAnimation(int columns, int rows, int framesPerCell, bool loop) {
  look_->columns = columns;
  look_->rows = rows;
  look_->framesPerCell = framesPerCell;
  loop_ = loop;
  look_->animColumn = 1;
  look_->animRow = 1;
  look_->startDelay = kStartDelay;
  animate_ = true;
  if (columns <= 0 || rows <= 0) return;  // no sheet to cut: the rectangle stays
  const float left = static_cast<float>(1 / columns) / columns;
  const float top = static_cast<float>(1 % rows) / rows;
  SetTexUV(left, left + 1.0f / columns, top, top + 1.0f / rows);
}

void CBillboard::SetTexUV(float left, float right, float top, float bottom) {
  look_->uv = {left, right, top, bottom};
  if (!look_->vertexBuffer) return;
  void* data = nullptr;
  if (FAILED(look_->vertexBuffer->Lock(0, 0, &data, 0))) return;
  auto* v = static_cast<Vertex*>(data);
  v[0].u = left, v[0].v = top;
  v[1].u = right, v[1].v = top;
  v[2].u = left, v[2].v = bottom;
  v[3].u = right, v[3].v = bottom;
  look_->vertexBuffer->Unlock();
}

void CBillboard::WriteVertices() {
  if (!verticesStale_ || !look_->vertexBuffer) return;
  verticesStale_ = false;
  void* data = nullptr;
  if (FAILED(look_->vertexBuffer->Lock(0, 0, &data, 0))) return;
  auto* v = static_cast<Vertex*>(data);
  const D3DCOLOR color = PackedColor();
  const float x = size_.x, y = size_.y;
  v[0] = {-x, y, 0.0f, 0.0f, 1.0f, 0.0f, color, look_->uv.left, look_->uv.top};
  v[1] = {x, y, 0.0f, 0.0f, 1.0f, 0.0f, color, look_->uv.right, look_->uv.top};
  v[2] = {-x, -y, 0.0f, 0.0f, 1.0f, 0.0f, color, look_->uv.left, look_->uv.bottom};
  v[3] = {x, -y, 0.0f, 0.0f, 1.0f, 0.0f, color, look_->uv.right, look_->uv.bottom};
  look_->vertexBuffer->Unlock();
}

// ---- drawing ------------------------------------------------------------------------------------

D3DXMATRIX CBillboard::FacingMatrix(const D3DXMATRIX& view, bool keepUpright) const {
  // The inverse of the view's rotation (its transpose) turns the quad to face the camera.
  D3DXMATRIX facing;
  D3DXMatrixIdentity(&facing);
  for (int row = 0; row < 3; ++row) {
    if (row == 1 && keepUpright) continue;
    for (int col = 0; col < 3; ++col) facing.m[row][col] = view.m[col][row];
  }
  // Multiplying by an unturned rotation and by a translation changes nothing but the last
  // row: skip the arithmetic, the result is the same to the bit.
  if (rot_.x != 0.0f || rot_.y != 0.0f || rot_.z != 0.0f) {
    D3DXMATRIX rotation;
    D3DXMatrixRotationYawPitchRoll(&rotation, rot_.y, rot_.x, rot_.z);
    facing = facing * rotation;
  }
  facing.m[3][0] = pos_.x;
  facing.m[3][1] = pos_.y;
  facing.m[3][2] = pos_.z;
  return facing;
}

D3DXMATRIX CBillboard::CurrentWorld() const {
  if (placed_) return look_->world;
  return FacingMatrix(SceneTransform(D3DTS_VIEW), false);
}

void CBillboard::FaceView() { PlaceFacing(SceneTransform(D3DTS_VIEW)); }

void CBillboard::PlaceFacing(const D3DXMATRIX& view) {
  if (!look_->vertexBuffer) return;
  look_->world = FacingMatrix(view, false);  // always fully facing through the effect
  placed_ = true;
}

void CBillboard::Draw() {
  if (!look_->vertexBuffer) return;
  gfx::Device* device = SceneDevice();
  WriteVertices();
  if (look_->blendMode == kBlendAdd || look_->blendMode == kBlendSubtract) {
    device->SetRenderState(D3DRS_BLENDOP,
                           look_->blendMode == kBlendAdd ? D3DBLENDOP_ADD : D3DBLENDOP_REVSUBTRACT);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
  }
  D3DXMATRIX view;
  device->GetTransform(D3DTS_VIEW, &view);
  if (look_->alphaTest) {
    device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    device->SetRenderState(D3DRS_ALPHAREF, 0);
    device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
  }
  device->SetRenderState(D3DRS_ZENABLE, TRUE);
  look_->world = FacingMatrix(view, upright_);
  placed_ = true;
  device->SetTransform(D3DTS_WORLD, &look_->world);
  device->SetStreamSource(0, look_->vertexBuffer.get(), 0, sizeof(Vertex));
  device->SetFVF(kFvf);
  device->SetTexture(0, look_->texture);
  device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2);

  device->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
  device->SetTexture(0, nullptr);
}

void CBillboard::DrawShader(const std::string& label) {
  CManager* manager = CManager::GetInstance();
  CShaderManager* shaders = manager->GetShaderManager();
  gfx::Effect* effect = shaders ? shaders->GetEffect(label) : nullptr;
  if (!effect || !look_->vertexBuffer) return;
  gfx::Device* device = SceneDevice();
  WriteVertices();

  const D3DXMATRIX view = SceneTransform(D3DTS_VIEW);
  const D3DXMATRIX projection = SceneTransform(D3DTS_PROJECTION);
  PlaceFacing(view);
  device->SetVertexDeclaration(shaders->GetDeclaration());
  device->SetStreamSource(0, look_->vertexBuffer.get(), 0, sizeof(Vertex));
  effect->SetMatrix(look_->worldParameter, &look_->world);
  effect->SetMatrix(look_->viewParameter, &view);
  effect->SetMatrix(look_->projectionParameter, &projection);
  device->SetTexture(0, look_->texture);
  effect->SetTechnique(look_->technique);
  shaders->Begin(label);
  device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2);
  shaders->End(label);
  device->SetTexture(0, nullptr);
}
