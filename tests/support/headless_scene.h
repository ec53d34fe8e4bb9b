#pragma once
// A headless program started from the repository root, so the sample catalogs load: the
// "FLARE" texture and the "TEST" effect that particles draw through.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/child_window.h"
#include "app/light.h"
#include "app/manager.h"
#include "app/renderer.h"
#include "editor/editor.h"
#include "input/input.h"
#include "particle/particle.h"
#include "particle/particle_emitter.h"
#include "platform/gfx/null/null_device.h"
#include "platform/headless_window_system.h"
#include "platform/window_system.h"
#include "resource/model_manager.h"
#include "resource/shader_manager.h"
#include "resource/sound_manager.h"
#include "resource/texture_manager.h"
#include "support/source_tree.h"
#include "view/camera.h"
#include "view/pointer.h"

class HeadlessScene : public ::testing::Test {
 protected:
  void SetUp() override {
    previousDir_ = std::filesystem::current_path();
    std::filesystem::current_path(SourceDir());
    window_ = system_.CreateWindow("TEST", 1280, 720);
    ASSERT_EQ(Start(), S_OK);
    // The pointer would add the editor's effect every 150 frames; only pointer tests want that.
    Manager()->GetEditor()->EmissionInterval = 0;
  }
  void TearDown() override {
    Manager()->Uninit();
    std::filesystem::current_path(previousDir_);
  }

  // The program's start without the sound output, which only the tests that listen open
  // (StartSoundOutput): opening and closing the audio device is most of what a start costs.
  HRESULT Start() { return Manager()->Init(window_.get(), &system_, {.soundOutput = false}); }
  void StartSoundOutput() { ASSERT_EQ(Manager()->GetSoundManager()->Init(window_.get()), S_OK); }

  static CManager* Manager() { return CManager::GetInstance(); }
  static gfx::NullDevice* Device() {
    return static_cast<gfx::NullDevice*>(Manager()->GetRenderer()->GetDevice());
  }
  static EffectTable& Table() { return *Manager()->GetEffectTable(); }

  void Frame(int count = 1) {
    for (int i = 0; i < count; ++i) {
      Manager()->Update();
      Manager()->Draw();
    }
  }
  // One frame, returning the draws that satisfy the predicate.
  template <typename Predicate>
  std::vector<gfx::RecordedDraw> RecordFrameWhere(Predicate wanted) {
    Device()->ClearRecord();
    Device()->SetRecording(true);
    Frame();
    Device()->SetRecording(false);
    std::vector<gfx::RecordedDraw> found;
    for (const auto& draw : Device()->Draws())
      if (wanted(draw)) found.push_back(draw);
    return found;
  }
  // The draws made with the texture (only particles use "FLARE" here).
  std::vector<gfx::RecordedDraw> RecordFrame(const gfx::Texture* texture) {
    return RecordFrameWhere([texture](const gfx::RecordedDraw& draw) { return draw.texture == texture; });
  }

  // Every object the registry holds, on every level.
  static std::vector<CObject*> Registry() {
    std::vector<CObject*> objects;
    for (int priority = 0; priority < CObject::OBJECT_PRIORITY_MAX; ++priority)
      for (CObject* o = CObject::Head(priority); o; o = o->Next()) objects.push_back(o);
    return objects;
  }

  platform::HeadlessWindowSystem system_;
  std::unique_ptr<platform::Window> window_;
  std::filesystem::path previousDir_;
};

inline void ExpectNear(const D3DXVECTOR3& actual, const D3DXVECTOR3& expected, float tolerance = 1e-5f) {
  EXPECT_NEAR(actual.x, expected.x, tolerance);
  EXPECT_NEAR(actual.y, expected.y, tolerance);
  EXPECT_NEAR(actual.z, expected.z, tolerance);
}
