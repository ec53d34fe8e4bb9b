#include "app/child_window.h"

HRESULT CChildWindow::Init(platform::WindowSystem* instance) {
  if (!instance) return E_FAIL;
  window_ = instance->CreateWindow("Child", kWidth, kHeight);
  if (!window_) return E_FAIL;
  window_->Show();
  device_ = window_->CreateDevice(nullptr);
  if (!device_) return E_FAIL;

  device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device_->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
  device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  device_->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
  device_->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
  device_->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
  device_->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP);
  device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
  device_->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
  device_->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_CURRENT);
  return S_OK;
}

void CChildWindow::Uninit() {
  device_.reset();
  window_.reset();
}
