#pragma once
// The frame the renderer could draw at best, measured beside a real one: the same
// triangles already in world space in prebuilt buffers, one draw for the particles'
// quads through their effect and one for the trails' strips, with the same textures and
// states; then the clear and present the real frame makes.

#include <cstring>
#include <memory>
#include <vector>

#include "app/child_window.h"
#include "app/manager.h"
#include "app/renderer.h"
#include "particle/particle.h"
#include "particle/trail.h"
#include "resource/shader_manager.h"
#include "view/camera.h"

class RasterLimitFrame {
 public:
  enum Windows { kSceneOnly, kWithChildWindow };  // what the real frame presents

  RasterLimitFrame(const std::vector<CParticle*>& particles, const std::vector<CTrail*>& trails,
                   Windows windows)
      : windows_(windows) {
    device_ = CManager::GetInstance()->GetRenderer()->GetDevice();
    std::vector<gfx::SceneVertex> quads;
    for (const CParticle* p : particles) {
      const D3DXVECTOR3 size = p->GetSize();
      const auto uv = p->GetTexUV();
      const D3DCOLOR color = D3DXColorToD3DCOLOR(p->GetColor());
      const gfx::SceneVertex corner[4] = {{-size.x, size.y, 0, 0, 1, 0, color, uv.left, uv.top},
                                          {size.x, size.y, 0, 0, 1, 0, color, uv.right, uv.top},
                                          {-size.x, -size.y, 0, 0, 1, 0, color, uv.left, uv.bottom},
                                          {size.x, -size.y, 0, 0, 1, 0, color, uv.right, uv.bottom}};
      for (int i : {0, 1, 2, 2, 1, 3}) {
        gfx::SceneVertex v = corner[i];
        D3DXVECTOR3 at;
        const D3DXVECTOR3 local(v.x, v.y, v.z);
        D3DXVec3TransformCoord(&at, &local, &p->GetWorld());
        v.x = at.x, v.y = at.y, v.z = at.z;
        quads.push_back(v);
      }
      texture_ = p->GetTexture();
    }
    // The trails' drawn strips as one strip, each joined to the next by repeating the last
    // vertex of one and the first of the other: the joins have no area, and trails cull
    // nothing, so their winding does not matter.
    std::vector<gfx::SceneVertex> strips;
    for (const CTrail* trail : trails) {
      const int triangles = trail->DrawnTriangles();
      if (triangles == 0) continue;
      const auto* v = reinterpret_cast<const gfx::SceneVertex*>(trail->GetVertexBuffer()->Bytes().data());
      if (!strips.empty()) strips.push_back(strips.back()), strips.push_back(v[0]);
      strips.insert(strips.end(), v, v + triangles + 2);
    }
    quads_ = Prebuilt(quads);
    quadTriangles_ = static_cast<UINT>(quads.size() / 3);
    strips_ = Prebuilt(strips);
    stripTriangles_ = strips.size() < 3 ? 0 : static_cast<UINT>(strips.size() - 2);
  }

  void Draw() {
    CManager* manager = CManager::GetInstance();
    device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0, 1.0f, 0);
    device_->BeginScene();
    if (quads_) DrawQuads(manager);
    if (stripTriangles_ > 0) DrawStrips();
    device_->EndScene();
    device_->Present(nullptr, nullptr, nullptr, nullptr);
    if (windows_ != kWithChildWindow) return;
    gfx::Device* child = manager->GetChildWindow()->GetDevice();
    child->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0, 1.0f, 0);
    child->BeginScene();
    child->EndScene();
    child->Present(nullptr, nullptr, nullptr, nullptr);
  }

 private:
  std::unique_ptr<gfx::VertexBuffer> Prebuilt(const std::vector<gfx::SceneVertex>& vertices) {
    if (vertices.empty()) return nullptr;
    const auto bytes = static_cast<UINT>(vertices.size() * sizeof(gfx::SceneVertex));
    auto buffer =
        device_->CreateVertexBuffer(bytes, D3DUSAGE_WRITEONLY, gfx::kSceneVertexFvf, D3DPOOL_MANAGED);
    void* data = nullptr;
    if (buffer && SUCCEEDED(buffer->Lock(0, 0, &data, 0))) {
      std::memcpy(data, vertices.data(), bytes);
      buffer->Unlock();
    }
    return buffer;
  }

  void DrawQuads(CManager* manager) {
    CShaderManager* shaders = manager->GetShaderManager();
    gfx::Effect* effect = shaders->GetEffect(CParticle::kShaderLabel);
    device_->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESS);
    device_->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    device_->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    device_->SetRenderState(D3DRS_ALPHAREF, 0);
    device_->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
    device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    device_->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    device_->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    effect->SetMatrix(effect->GetParameterByName(nullptr, "g_mtxWorld"), &identity);
    effect->SetMatrix(effect->GetParameterByName(nullptr, "g_cameraView"), &manager->GetCamera()->GetView());
    effect->SetMatrix(effect->GetParameterByName(nullptr, "g_cameraProjection"),
                      &manager->GetCamera()->GetProjection());
    device_->SetVertexDeclaration(shaders->GetDeclaration());
    device_->SetStreamSource(0, quads_.get(), 0, sizeof(gfx::SceneVertex));
    device_->SetTexture(0, texture_);
    shaders->Begin(CParticle::kShaderLabel);
    device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, quadTriangles_);
    shaders->End(CParticle::kShaderLabel);
    device_->SetTexture(0, nullptr);
    device_->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
    device_->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    device_->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device_->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    device_->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
  }

  void DrawStrips() {
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    device_->SetTransform(D3DTS_WORLD, &identity);
    device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    device_->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    device_->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    device_->SetRenderState(D3DRS_ALPHAREF, CTrail::kAlphaRef);
    device_->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    device_->SetRenderState(D3DRS_LIGHTING, FALSE);
    device_->SetStreamSource(0, strips_.get(), 0, sizeof(gfx::SceneVertex));
    device_->SetFVF(gfx::kSceneVertexFvf);
    device_->SetTexture(0, nullptr);
    device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, stripTriangles_);
    device_->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    device_->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    device_->SetRenderState(D3DRS_LIGHTING, TRUE);
    device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  }

  Windows windows_;
  gfx::Device* device_;
  gfx::Texture* texture_ = nullptr;
  std::unique_ptr<gfx::VertexBuffer> quads_, strips_;
  UINT quadTriangles_ = 0, stripTriangles_ = 0;
};
