#include "app/application.h"

#include <cstdio>

#include "app/frame_loop.h"
#include "app/manager.h"
#include "app/renderer.h"
#include "app/child_window.h"
#include "app/interface_setup.h"
#include "app/stats_log.h"
#include "editor/editor.h"
#include "platform/file_watcher.h"
#include "platform/message_sink.h"
#include "platform/termination.h"
#include "scene/shared_state.h"

namespace {

constexpr int kSceneWidth = 1280;
constexpr int kSceneHeight = 720;

bool WriteScreenshots(const std::string& prefix, CManager& manager) {
  const std::string scenePath = prefix + "-scene.png";
  const std::string editorPath = prefix + "-editor.png";
  const bool ok = gfx::WritePng(manager.GetRenderer()->GetDevice()->LastPresentedImage(), scenePath) &&
                  gfx::WritePng(manager.GetChildWindow()->GetDevice()->LastPresentedImage(), editorPath);
  if (ok) {
    std::printf("screenshots: %s %s\n", scenePath.c_str(), editorPath.c_str());
  } else {
    std::fprintf(stderr, "could not write the screenshots %s and %s\n", scenePath.c_str(),
                 editorPath.c_str());
  }
  return ok;
}

void CapturePresents(CManager& manager, bool on) {
  manager.GetRenderer()->GetDevice()->SetPresentCapture(on);
  manager.GetChildWindow()->GetDevice()->SetPresentCapture(on);
}

}  // namespace

int RunApplication(const CommandLine& options, platform::WindowSystem& system, platform::Clock& clock) {
  std::string statsError;
  auto statsLog = options.statsPath.empty() ? nullptr : StatsLog::Open(options.statsPath, &statsError);
  if (!options.statsPath.empty() && !statsLog) {
    std::fprintf(stderr, "particle-editor: %s\n", statsError.c_str());
    return 1;
  }
  std::unique_ptr<platform::Window> mainWindow = system.CreateWindow("TEST", kSceneWidth, kSceneHeight);
  if (!mainWindow) {
    platform::ShowMessage(platform::kWarningCaption, "メインウィンドウを作成できませんでした。");
    return 1;
  }
  CManager* manager = CManager::GetInstance();
  manager->SetTitle("TEST");
  if (FAILED(manager->Init(mainWindow.get(), &system))) {
    // Frames need every service; stop here rather than run without a renderer.
    platform::ShowMessage(platform::kWarningCaption,
                          "初期化に失敗しました: " + manager->FailedStep() + " could not start.");
    manager->Uninit();
    return 1;
  }
  if (options.seed) Shared().SeedRandom(*options.seed);
  mainWindow->Show();
  if (!SetUpInterface(*manager, system)) {
    platform::ShowMessage(platform::kWarningCaption, "初期化に失敗しました。エディターの画面を開始できません。");
    manager->Uninit();
    return 1;
  }
  manager->GetChildWindow()->GetWindow()->Show();
  // A document named on the command line opens as the File menu opens one; with --frames a
  // document that could not be read, from either, makes the run fail once it is over.
  CEditor* editor = manager->GetEditor();
  editor->Preview.Playing = !options.paused;
  if (options.seed) {
    editor->Preview.Repeatable = true;
    editor->Preview.Seed = *options.seed;
  }
  if (!options.document.empty()) editor->OpenDocument(options.document);
  // Automated runs never ask, offer no recovery and leave autosaves alone.
  if (options.frames == 0) {
    editor->EnableAutosave(Autosave::DefaultFolder(), clock);
    editor->OfferRecovery();
    platform::SetLastWordsOnDisplayLoss([editor] { editor->SaveForRecovery(); });
  }

  const bool screenshots = !options.screenshotPrefix.empty();
  // With a known last frame only that one is read back; otherwise every frame is kept.
  if (screenshots && options.frames == 0) CapturePresents(*manager, true);

  if (!options.noWatch) {
    std::string fallback;
    manager->WatchFiles(platform::CreateFileWatcher(clock, &fallback), clock);
    if (!fallback.empty())
      platform::ReportNotice("files are watched by polling once a second (" + fallback + ")");
  }

  FrameLoop loop(clock, system);
  loop.SetIdle([manager] { return manager->CanIdle(); });
  loop.SetWake([manager] { return manager->FilesChanged(); });
  loop.Run(
      [&](std::uint64_t firstStep, int steps) {
        // --frames N ends after step N: its frame is the one whose picture is kept.
        if (screenshots && options.frames != 0 &&
            firstStep + static_cast<std::uint64_t>(steps) == options.frames)
          CapturePresents(*manager, true);
        manager->SetRealtime(loop.Realtime());
        manager->Update(steps);
        manager->Draw();
        if (statsLog) statsLog->Frame(manager->GetFrameFigures());
      },
      options.frames);

  platform::SetLastWordsOnDisplayLoss({});
  // Ended by a signal, the program cannot ask: unsaved work waits as an autosave.
  if (platform::TerminationRequested()) {
    editor->SaveForRecovery();
  } else {
    editor->EndSession();
  }
  const bool written = !screenshots || WriteScreenshots(options.screenshotPrefix, *manager);
  const bool documentsRead = !editor->DocumentFailed();
  manager->Uninit();
  mainWindow.reset();
  return written && (documentsRead || options.frames == 0) ? 0 : 1;
}
