#include "app/renderer.h"

#include "scene/object.h"

HRESULT CRenderer::Init(platform::Window* mainWindow, std::string* error) {
  if (!mainWindow) return E_FAIL;
  device_ = mainWindow->CreateDevice(error);
  if (!device_) return E_FAIL;

  device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);

  device_->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
  device_->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
  device_->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR);
  device_->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
  device_->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP);

  device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
  device_->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
  device_->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_CURRENT);
  return S_OK;
}

void CRenderer::Draw() {
  DrawScene();
  Present();
}

void CRenderer::DrawScene() {
  device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, D3DCOLOR_RGBA(0, 0, 0, 0),
                 1.0f, 0);
  if (SUCCEEDED(device_->BeginScene())) {
    CObject::DrawAll();
    device_->EndScene();
  }
}

void CRenderer::Present() { device_->Present(nullptr, nullptr, nullptr, nullptr); }

void CRenderer::Uninit() { device_.reset(); }
