#include "app/manager.h"

#include <cstdlib>

#include "scene/object.h"

std::unique_ptr<CManager>& CManager::Instance() {
  static std::unique_ptr<CManager> instance;
  return instance;
}

CManager* CManager::GetInstance() {
  auto& instance = Instance();
  if (!instance) instance.reset(new CManager());
  return instance.get();
}

HRESULT CManager::Init(platform::Window* mainWindow, platform::WindowSystem* instance) {
  std::srand(0);
  mainWindow_ = mainWindow;

  renderer_ = std::make_unique<CRenderer>();
  if (FAILED(renderer_->Init(mainWindow))) return -1;
  childWindow_ = std::make_unique<CChildWindow>();
  if (FAILED(childWindow_->Init(instance))) return -1;
  keyboard_ = std::make_unique<CInputKeyboard>();
  if (FAILED(keyboard_->Init(instance, mainWindow))) return -1;
  mouse_ = std::make_unique<CInputMouse>();
  if (FAILED(mouse_->Init(instance, mainWindow))) return -1;

  light_ = std::make_unique<CLight>();
  light_->Init();
  return S_OK;
}

void CManager::Update() {
  keyboard_->Update();
  mouse_->Update();
  CObject::UpdateAll();

  if (keyboard_->GetTrigger(DIK_F2)) {
    wireframe_ = !wireframe_;
    renderer_->GetDevice()->SetRenderState(D3DRS_FILLMODE, wireframe_ ? D3DFILL_WIREFRAME : D3DFILL_SOLID);
  }
}

void CManager::Draw() {
  renderer_->Draw();

  gfx::Device* child = childWindow_->GetDevice();
  child->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, D3DCOLOR_RGBA(0, 0, 0, 0), 1.0f, 0);
  if (SUCCEEDED(child->BeginScene())) child->EndScene();
  child->Present(nullptr, nullptr, nullptr, nullptr);
}

void CManager::Uninit() {
  CObject::ReleaseAll();
  light_.reset();
  if (keyboard_) keyboard_->Uninit();
  keyboard_.reset();
  if (mouse_) mouse_->Uninit();
  mouse_.reset();
  if (renderer_) renderer_->Uninit();
  renderer_.reset();
  if (childWindow_) childWindow_->Uninit();
  childWindow_.reset();
  Instance().reset();  // destroys this object: nothing may follow
}
