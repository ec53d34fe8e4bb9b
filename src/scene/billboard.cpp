#include "scene/billboard.h"

#include "app/manager.h"
#include "resource/shader_manager.h"
#include "view/camera.h"
#include "resource/texture_manager.h"
#include "app/renderer.h"

namespace {

using Vertex = gfx::SceneVertex;
constexpr DWORD kFvf = gfx::kSceneVertexFvf;

gfx::Device* SceneDevice() { return CManager::GetInstance()->GetRenderer()->GetDevice(); }

}  // namespace

HRESULT CBillboard::Init() {
  vertexBuffer_ = SceneDevice()->CreateVertexBuffer(4 * sizeof(Vertex), D3DUSAGE_WRITEONLY, kFvf, D3DPOOL_MANAGED);
  verticesStale_ = true;
  WriteVertices();
  if (!shaderLabel_.empty()) {
    CShaderManager* shaders = CManager::GetInstance()->GetShaderManager();
    technique_ = shaders->GetTechnique(shaderLabel_, "TechShader");
    viewParameter_ = shaders->GetParameter(shaderLabel_, "g_cameraView");
    projectionParameter_ = shaders->GetParameter(shaderLabel_, "g_cameraProjection");
    worldParameter_ = shaders->GetParameter(shaderLabel_, "g_mtxWorld");
  }
  return S_OK;
}

void CBillboard::Uninit() {
  vertexBuffer_.reset();
  SetDeath();
}

void CBillboard::SetTexture(const std::string& label) {
  CTextureManager* textures = CManager::GetInstance()->GetTextureManager();
  texture_ = textures ? textures->GetTexture(false, label) : nullptr;
}

// ---- per frame ----------------------------------------------------------------------------------

void CBillboard::Update() {
  pos_ += move_;
  rot_.z += spin_;
  if (spin_ == 0.0f) upright_ = false;
  verticesStale_ = true;

  if (!animate_) return;
  if (++delayCounter_ < startDelay_) return;
  if (++intervalCounter_ < framesPerCell_) return;
  ++animColumn_;
  intervalCounter_ = 0;
  if (animColumn_ > columns_) {
    animColumn_ = 0;
    ++animRow_;
    if (animRow_ >= rows_) {
      animRow_ = 0;
      if (!loop_) Uninit();
      return;  // the wrapping step shows no new cell
    }
  }
  // The column index reaches the column count once a row; u = 1 then wraps to the first column.
  const float left = static_cast<float>(animColumn_) / columns_;
  const float top = static_cast<float>(animRow_) / rows_;
  SetTexUV(left, left + 1.0f / columns_, top, top + 1.0f / rows_);
}

void CBillboard::SetAnimation(int columns, int rows, int framesPerCell, bool loop) {
  columns_ = columns;
  rows_ = rows;
  framesPerCell_ = framesPerCell;
  loop_ = loop;
  animColumn_ = 1;
  animRow_ = 1;
  startDelay_ = kStartDelay;
  animate_ = true;
  if (columns <= 0 || rows <= 0) return;  // no sheet to cut: the rectangle stays
  const float left = static_cast<float>(1 / columns) / columns;
  const float top = static_cast<float>(1 % rows) / rows;
  SetTexUV(left, left + 1.0f / columns, top, top + 1.0f / rows);
}

void CBillboard::SetTexUV(float left, float right, float top, float bottom) {
  uv_ = {left, right, top, bottom};
  if (!vertexBuffer_) return;
  void* data = nullptr;
  if (FAILED(vertexBuffer_->Lock(0, 0, &data, 0))) return;
  auto* v = static_cast<Vertex*>(data);
  v[0].u = left, v[0].v = top;
  v[1].u = right, v[1].v = top;
  v[2].u = left, v[2].v = bottom;
  v[3].u = right, v[3].v = bottom;
  vertexBuffer_->Unlock();
}

void CBillboard::WriteVertices() {
  if (!verticesStale_ || !vertexBuffer_) return;
  verticesStale_ = false;
  void* data = nullptr;
  if (FAILED(vertexBuffer_->Lock(0, 0, &data, 0))) return;
  auto* v = static_cast<Vertex*>(data);
  const D3DCOLOR color = PackedColor();
  const float x = size_.x, y = size_.y;
  v[0] = {-x, y, 0.0f, 0.0f, 1.0f, 0.0f, color, uv_.left, uv_.top};
  v[1] = {x, y, 0.0f, 0.0f, 1.0f, 0.0f, color, uv_.right, uv_.top};
  v[2] = {-x, -y, 0.0f, 0.0f, 1.0f, 0.0f, color, uv_.left, uv_.bottom};
  v[3] = {x, -y, 0.0f, 0.0f, 1.0f, 0.0f, color, uv_.right, uv_.bottom};
  vertexBuffer_->Unlock();
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
  if (placed_) return world_;
  const CCamera* camera = CManager::GetInstance()->GetCamera();
  D3DXMATRIX view;
  D3DXMatrixIdentity(&view);
  return FacingMatrix(camera ? camera->GetView() : view, false);
}

void CBillboard::Draw() {
  if (!vertexBuffer_) return;
  gfx::Device* device = SceneDevice();
  WriteVertices();
  if (blendMode_ == kBlendAdd || blendMode_ == kBlendSubtract) {
    device->SetRenderState(D3DRS_BLENDOP, blendMode_ == kBlendAdd ? D3DBLENDOP_ADD : D3DBLENDOP_REVSUBTRACT);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
  }
  D3DXMATRIX view;
  device->GetTransform(D3DTS_VIEW, &view);
  if (alphaTest_) {
    device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    device->SetRenderState(D3DRS_ALPHAREF, 0);
    device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
  }
  device->SetRenderState(D3DRS_ZENABLE, TRUE);
  world_ = FacingMatrix(view, upright_);
  placed_ = true;
  device->SetTransform(D3DTS_WORLD, &world_);
  device->SetStreamSource(0, vertexBuffer_.get(), 0, sizeof(Vertex));
  device->SetFVF(kFvf);
  device->SetTexture(0, texture_);
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
  if (!effect || !vertexBuffer_) return;
  gfx::Device* device = SceneDevice();
  WriteVertices();

  const D3DXMATRIX& view = manager->GetCamera()->GetView();
  const D3DXMATRIX& projection = manager->GetCamera()->GetProjection();
  world_ = FacingMatrix(view, false);  // always fully facing through the effect
  placed_ = true;
  device->SetVertexDeclaration(shaders->GetDeclaration());
  device->SetStreamSource(0, vertexBuffer_.get(), 0, sizeof(Vertex));
  effect->SetMatrix(worldParameter_, &world_);
  effect->SetMatrix(viewParameter_, &view);
  effect->SetMatrix(projectionParameter_, &projection);
  device->SetTexture(0, texture_);
  effect->SetTechnique(technique_);
  shaders->Begin(label);
  device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2);
  shaders->End(label);
  device->SetTexture(0, nullptr);
}
