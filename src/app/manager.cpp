#include "app/manager.h"

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "app/child_window.h"
#include "app/light.h"
#include "app/preview_player.h"
#include "app/renderer.h"
#include "app/stats_overlay.h"
#include "app/stats_recorder.h"
#include "editor/editor.h"
#include "effectfile/document_file.h"
#include "input/input.h"
#include "platform/file_watcher.h"
#include "platform/message_sink.h"
#include "platform/window_system.h"
#include "resource/asset_reloader.h"
#include "resource/model_manager.h"
#include "resource/shader_manager.h"
#include "resource/sound_manager.h"
#include "resource/texture_manager.h"
#include "view/camera.h"
#include "view/pointer.h"
#include "scene/object.h"
#include "scene/shared_state.h"
#include "scene/object_x.h"

std::unique_ptr<CManager>& CManager::Instance() {
  static std::unique_ptr<CManager> instance;
  return instance;
}

namespace {

// Started from another folder, the program finds no catalogs and shows an empty scene; say
// where it looked, since nothing else will.
void ReportMissingDataFolder() {
  std::error_code error;
  if (std::filesystem::is_directory(kDataFolder, error)) return;
  const std::string looked = std::filesystem::absolute(kDataFolder, error).string();
  std::fprintf(stderr, "no data folder at %s: start the editor from the folder that holds %s\n",
               looked.c_str(), kDataFolder);
}

}  // namespace

CManager::CManager() = default;
CManager::~CManager() = default;

bool CManager::CanIdle() const {
  // A camera still turning from a drag keeps drawing until its turn no longer shows.
  constexpr float kAtRest = 0.01f;
  const D3DXVECTOR3& drag = Shared().cameraDrag;
  return editor_ && editor_->CanIdle() && std::fabs(drag.x) < kAtRest && std::fabs(drag.y) < kAtRest &&
         !(reloader_ && reloader_->Pending());
}

void CManager::WatchFiles(std::unique_ptr<platform::FileWatcher> watcher, platform::Clock& clock) {
  reloader_ = std::make_unique<AssetReloader>(
      std::move(watcher), clock,
      std::vector<WatchedResources*>{textureManager_.get(), modelManager_.get(), shaderManager_.get(),
                                     soundManager_.get()});
}

bool CManager::FilesChanged() { return reloader_ && reloader_->Poll(); }

bool CManager::MouseOverEditor() const { return editor_ && editor_->MouseOverWindow; }

bool CManager::IsPointerVisible() const { return pointer_ && pointer_->IsVisible(); }

void CManager::SetPointerVisible(bool visible) {
  if (!pointer_) return;
  if (visible) {
    pointer_->Show();
  } else {
    pointer_->Hide();
  }
}

CManager* CManager::GetInstance() {
  auto& instance = Instance();
  if (!instance) instance.reset(new CManager());
  return instance.get();
}

HRESULT CManager::Init(platform::Window* mainWindow, platform::WindowSystem* instance, Services services) {
  // What the frame loop shares across objects starts afresh with every start-up.
  Shared().ResetForStart();
  ReportMissingDataFolder();
  mainWindow_ = mainWindow;
  windowSystem_ = instance;

  const auto fail = [this](const char* step) {
    failedStep_ = step;
    return -1;
  };
  stats_ = std::make_unique<StatsRecorder>();
  renderer_ = std::make_unique<CRenderer>();
  if (FAILED(renderer_->Init(mainWindow))) return fail("the graphics device");
  childWindow_ = std::make_unique<CChildWindow>();
  if (FAILED(childWindow_->Init(instance))) return fail("the editor window");
  keyboard_ = std::make_unique<CInputKeyboard>();
  if (FAILED(keyboard_->Init(instance, mainWindow))) return fail("the keyboard");
  mouse_ = std::make_unique<CInputMouse>();
  if (FAILED(mouse_->Init(instance, mainWindow))) return fail("the mouse");

  gfx::Device* device = renderer_->GetDevice();
  shaderManager_ = std::make_unique<CShaderManager>(device);
  shaderManager_->Load();
  textureManager_ = std::make_unique<CTextureManager>(device, childWindow_->GetDevice());
  textureManager_->Load();
  modelManager_ = std::make_unique<CModelManager>(device);
  modelManager_->Load();
  soundManager_ = std::make_unique<CSoundManager>();
  soundManager_->LoadCatalog();
  // An editor without a speaker still edits: the sound manager stays silent.
  if (services.soundOutput && FAILED(soundManager_->Init(mainWindow)))
    platform::ReportNotice("sound is off: " + soundManager_->OutputProblem());

  light_ = std::make_unique<CLight>();
  light_->Init();
  camera_ = std::make_unique<CCamera>();
  camera_->Init();
  effectTable_ = std::make_unique<EffectTable>();
  pointer_ = CPointer::Create(D3DXVECTOR3(0.0f, 10.0f, 0.0f));
  editor_ = std::make_unique<CEditor>();
  editor_->Init();
  previewPlayer_ = std::make_unique<PreviewPlayer>();

  CObjectX* floor = CObjectX::Create("PLANE", D3DXVECTOR3(0.0f, 0.0f, 0.0f));
  floor->SetScale(D3DXVECTOR3(100.0f, 0.0f, 100.0f));
  floor->SetColor(D3DXCOLOR(0.25f, 0.25f, 0.25f, 1.0f));
  return S_OK;
}

HRESULT CManager::InitForRender(platform::Window* window, std::string* error) {
  Shared().ResetForStart();
  ReportMissingDataFolder();
  mainWindow_ = window;
  renderer_ = std::make_unique<CRenderer>();
  if (FAILED(renderer_->Init(window, error))) {
    failedStep_ = "the graphics device";
    return -1;
  }
  gfx::Device* device = renderer_->GetDevice();
  shaderManager_ = std::make_unique<CShaderManager>(device);
  shaderManager_->Load();
  // No editor window: nothing asks for its textures.
  textureManager_ = std::make_unique<CTextureManager>(device, device);
  textureManager_->Load();
  modelManager_ = std::make_unique<CModelManager>(device);
  modelManager_->Load();
  light_ = std::make_unique<CLight>();
  light_->Init();
  effectTable_ = std::make_unique<EffectTable>();
  return S_OK;
}

void CManager::PlaySound(const std::string& label) {
  if (soundManager_) soundManager_->Play(label);
}

const FrameFigures& CManager::GetFrameFigures() const { return stats_->Figures(); }

void CManager::Update(int steps) {
  using Clock = StatsRecorder::Clock;
  stats_->FrameStarted(Clock::now());
  // Before anything draws: a reloaded texture, mesh or effect shows in this very frame.
  if (reloader_) reloader_->Update();
  keyboard_->Update();
  mouse_->Update();
  const Clock::time_point stepsStart = Clock::now();
  int ran = steps;
  if (previewPlayer_ && editor_) {
    ran = previewPlayer_->Advance(steps, editor_->Preview);
  } else {
    for (int step = 0; step < steps; ++step) CObject::UpdateAll();
  }
  stats_->StepsRan(ran, Clock::now() - stepsStart);
  if (windowSystem_) {
    for (const std::string& path : windowSystem_->TakeDroppedFiles()) editor_->OpenDroppedFile(path);
    if (const auto request = windowSystem_->TakeCloseRequest(); request != platform::CloseRequest::None)
      editor_->RequestQuit(request);
  }
  editor_->ShowAnother = editor_->Update(editor_->ShowMain, editor_->ShowAnother);
  // The editor decides when a request to end is answered (it may first ask about unsaved work).
  if (windowSystem_ && editor_->QuitDecided()) windowSystem_->RequestQuit();
  camera_->Update();

  if (keyboard_->GetTrigger(DIK_F2)) {
    wireframe_ = !wireframe_;
    renderer_->GetDevice()->SetRenderState(D3DRS_FILLMODE, wireframe_ ? D3DFILL_WIREFRAME : D3DFILL_SOLID);
  }
  if (keyboard_->GetTrigger(DIK_F3)) ToggleStatsOverlay();
}

void CManager::ToggleStatsOverlay() {
  if (!statsOverlayShown_ && !statsOverlay_ && windowSystem_) {
    statsOverlay_ = StatsOverlay::Create(*windowSystem_, mainWindow_, renderer_->GetDevice());
    if (!statsOverlay_) {
      platform::ReportNotice("the F3 figures cannot be drawn over the scene: its interface did not start");
      return;
    }
  }
  statsOverlayShown_ = !statsOverlayShown_ && statsOverlay_;
}

void CManager::Draw() {
  using Clock = StatsRecorder::Clock;
  const Clock::time_point drawStart = Clock::now();
  renderer_->DrawScene();
  if (statsOverlayShown_) statsOverlay_->Draw(stats_->Figures());
  renderer_->Present();
  stats_->SceneDrawn(Clock::now() - drawStart);

  gfx::Device* child = childWindow_->GetDevice();
  child->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, D3DCOLOR_RGBA(0, 0, 0, 0),
               1.0f, 0);
  if (SUCCEEDED(child->BeginScene())) {
    editor_->Draw();
    child->EndScene();
  }
  child->Present(nullptr, nullptr, nullptr, nullptr);

  camera_->SetCamera();
  stats_->FrameEnded(Clock::now(), renderer_->GetDevice()->LastFrameCounts(), realtime_);
}

void CManager::Uninit() {
  CObject::ReleaseAll();
  pointer_ = nullptr;
  previewPlayer_.reset();
  reloader_.reset();
  if (editor_) editor_->Uninit();
  editor_.reset();
  if (textureManager_) textureManager_->Clear();
  textureManager_.reset();
  if (effectTable_) effectTable_->clear();
  effectTable_.reset();
  if (modelManager_) modelManager_->Clear();
  modelManager_.reset();
  if (soundManager_) soundManager_->Uninit();
  soundManager_.reset();
  camera_.reset();
  light_.reset();
  if (shaderManager_) shaderManager_->Uninit();
  shaderManager_.reset();
  if (keyboard_) keyboard_->Uninit();
  keyboard_.reset();
  if (mouse_) mouse_->Uninit();
  mouse_.reset();
  // Its back ends draw with the scene device.
  statsOverlay_.reset();
  statsOverlayShown_ = false;
  if (renderer_) renderer_->Uninit();
  renderer_.reset();
  if (childWindow_) childWindow_->Uninit();
  childWindow_.reset();
  Instance().reset();  // destroys this object: nothing may follow
}
