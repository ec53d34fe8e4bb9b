#pragma once
// The one application object: owns every long-lived service and runs their lifecycle
// (Init once, Update and Draw every frame, Uninit at exit). Everything else reaches the
// devices, input and managers through GetInstance.

#include <memory>
#include <string>

#include "effect/effect_table.h"
#include "platform/gfx/d3d_types.h"

class AssetReloader;
class CCamera;
class CChildWindow;
class CEditor;
struct FrameFigures;
class CInputKeyboard;
class CInputMouse;
class CLight;
class CModelManager;
class CPointer;
class PreviewPlayer;
class CRenderer;
class CShaderManager;
class CSoundManager;
class CTextureManager;
class StatsOverlay;
class StatsRecorder;
namespace platform {
class Clock;
class FileWatcher;
class Window;
class WindowSystem;
}  // namespace platform

class CManager {
 public:
  static CManager* GetInstance();

  // What a start opens besides the windows and devices. A run that never plays a sound (most
  // tests of the scene and the interface) goes without the sound output: opening the audio
  // device, decoding every sound and closing the device again are most of what its start
  // costs. The sound catalog is read either way; without the output the sound manager stays
  // silent, and no notice says so.
  struct Services {
    bool soundOutput = true;
  };

  // Creates the services in start-up order; -1 at the first one that fails, leaving the
  // ones made so far in place for Uninit.
  HRESULT Init(platform::Window* mainWindow, platform::WindowSystem* instance, Services services);
  HRESULT Init(platform::Window* mainWindow, platform::WindowSystem* instance) {
    return Init(mainWindow, instance, Services{});
  }
  // What a render without the editor needs (--render): the scene's device on the window, the
  // shaders, textures and models effects draw with, the light and the effect table; no editor,
  // input, sound output, pointer or floor. -1, with the reason in *error, when the device fails.
  HRESULT InitForRender(platform::Window* window, std::string* error);
  // One frame: the input read once, then the fixed steps due (the real-time loop runs several
  // after a slow frame) as the preview's transport plays them, then the editor and the camera.
  void Update(int steps = 1);
  void Draw();
  // Effect seconds per wall second, as the loop measures it; the editor shows it when low.
  double GetRealtime() const { return realtime_; }
  void SetRealtime(double realtime) { realtime_ = realtime; }
  // What the preview costs, as the frames so far measured it (the Stats window, F3, --stats).
  const FrameFigures& GetFrameFigures() const;
  // Whether F3 has the figures drawn over the scene.
  bool IsStatsOverlayShown() const { return statsOverlayShown_; }
  // Nothing on screen would change until input comes: the editor idle (the preview paused),
  // the camera at rest and no changed file waiting to be read.
  bool CanIdle() const;
  // From now on the catalogs and the files they name are read again when they change on disk,
  // at the start of a frame, once each has been quiet for a moment. Without it every resource
  // is loaded once.
  void WatchFiles(std::unique_ptr<platform::FileWatcher> watcher, platform::Clock& clock);
  // Takes what the watcher saw, without blocking: true when a changed file waits to be read,
  // so that a sleeping loop wakes for it.
  bool FilesChanged();
  // Releases everything in order and destroys the singleton.
  void Uninit();

  CRenderer* GetRenderer() const { return renderer_.get(); }
  CChildWindow* GetChildWindow() const { return childWindow_.get(); }
  CInputKeyboard* GetKeyboard() const { return keyboard_.get(); }
  CInputMouse* GetMouse() const { return mouse_.get(); }
  CLight* GetLight() const { return light_.get(); }
  CCamera* GetCamera() const { return camera_.get(); }
  CShaderManager* GetShaderManager() const { return shaderManager_.get(); }
  CTextureManager* GetTextureManager() const { return textureManager_.get(); }
  CModelManager* GetModelManager() const { return modelManager_.get(); }
  CSoundManager* GetSoundManager() const { return soundManager_.get(); }
  CPointer* GetPointer() const { return pointer_; }
  // The pointer's visibility, for the editor's Show/Hide Pointer button (false without a pointer).
  bool IsPointerVisible() const;
  void SetPointerVisible(bool visible);
  CEditor* GetEditor() const { return editor_.get(); }
  PreviewPlayer* GetPreviewPlayer() const { return previewPlayer_.get(); }
  EffectTable* GetEffectTable() const { return effectTable_.get(); }
  // True while the mouse is over one of the editor's windows.
  bool MouseOverEditor() const;
  // Plays a sound of the sound catalog by its tag.
  void PlaySound(const std::string& label);
  // What stopped the last Init, for the user ("the graphics device", "the keyboard").
  const std::string& FailedStep() const { return failedStep_; }
  platform::Window* GetMainWindow() const { return mainWindow_; }
  const std::string& GetTitle() const { return title_; }
  void SetTitle(std::string title) { title_ = std::move(title); }
  bool IsWireframe() const { return wireframe_; }

 private:
  CManager();
  // F3: the overlay is made the first time it is asked for.
  void ToggleStatsOverlay();
  friend std::default_delete<CManager>;
  ~CManager();

  std::unique_ptr<CLight> light_;
  std::unique_ptr<CCamera> camera_;
  std::unique_ptr<CInputKeyboard> keyboard_;
  std::unique_ptr<CInputMouse> mouse_;
  std::unique_ptr<CRenderer> renderer_;
  std::unique_ptr<CChildWindow> childWindow_;
  std::unique_ptr<CTextureManager> textureManager_;
  std::unique_ptr<CModelManager> modelManager_;
  std::unique_ptr<CShaderManager> shaderManager_;
  std::unique_ptr<CSoundManager> soundManager_;
  std::unique_ptr<AssetReloader> reloader_;
  CPointer* pointer_ = nullptr;  // owned by the object registry
  std::unique_ptr<EffectTable> effectTable_;
  std::unique_ptr<CEditor> editor_;
  std::unique_ptr<PreviewPlayer> previewPlayer_;
  platform::Window* mainWindow_ = nullptr;
  platform::WindowSystem* windowSystem_ = nullptr;
  std::string title_;
  std::string failedStep_;
  bool wireframe_ = false;
  double realtime_ = 1.0;
  std::unique_ptr<StatsRecorder> stats_;
  std::unique_ptr<StatsOverlay> statsOverlay_;
  bool statsOverlayShown_ = false;

  static std::unique_ptr<CManager>& Instance();
};
