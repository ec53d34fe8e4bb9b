#include "app/manager.h"
#include "view/pointer.h"
#include "view/camera.h"
#include "resource/texture_manager.h"
#include "resource/shader_manager.h"
#include "resource/model_manager.h"
#include "platform/window_system.h"
#include "input/input.h"
#include "editor/editor.h"
#include "app/renderer.h"
#include "app/light.h"
#include "app/child_window.h"

#include <gtest/gtest.h>

#include "scene/shared_state.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "app/application.h"
#include "effectfile/particle_json.h"
#include "platform/gfx/null/null_device.h"
#include "platform/headless_window_system.h"
#include "platform/message_sink.h"
#include "support/scoped_audio_driver.h"
#include "support/temp_folder.h"

namespace {

class ManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    mainWindow_ = system_.CreateWindow("TEST", 1280, 720);
    ASSERT_EQ(Start(), S_OK);
  }
  void TearDown() override {
    if (initialised_) CManager::GetInstance()->Uninit();
  }

  // No test here listens: the start leaves out the sound output, most of what it costs.
  HRESULT Start() {
    return CManager::GetInstance()->Init(mainWindow_.get(), &system_, {.soundOutput = false});
  }
  void Frame() {
    CManager::GetInstance()->Update();
    CManager::GetInstance()->Draw();
  }
  DWORD FillMode() {
    DWORD mode = 0;
    CManager::GetInstance()->GetRenderer()->GetDevice()->GetRenderState(D3DRS_FILLMODE, &mode);
    return mode;
  }

  platform::HeadlessWindowSystem system_;
  std::unique_ptr<platform::Window> mainWindow_;
  bool initialised_ = true;
};

TEST_F(ManagerTest, F2TogglesWireframeOnlyOnItsTrigger) {
  EXPECT_EQ(FillMode(), D3DFILL_SOLID);
  system_.SetKey(DIK_F2, true);
  Frame();
  EXPECT_EQ(FillMode(), D3DFILL_WIREFRAME);
  for (int i = 0; i < 5; ++i) Frame();  // held: no flicker
  EXPECT_EQ(FillMode(), D3DFILL_WIREFRAME);
  system_.SetKey(DIK_F2, false);
  Frame();
  system_.SetKey(DIK_F2, true);
  Frame();
  EXPECT_EQ(FillMode(), D3DFILL_SOLID);
  EXPECT_FALSE(CManager::GetInstance()->IsWireframe());
}

TEST_F(ManagerTest, KeyPressedWhileTheSceneWindowIsInTheBackgroundIsNotSeen) {
  system_.SetFocus(false);
  system_.SetKey(DIK_F2, true);
  Frame();
  EXPECT_EQ(FillMode(), D3DFILL_SOLID);
  system_.SetFocus(true);
  Frame();
  EXPECT_EQ(FillMode(), D3DFILL_WIREFRAME);
}

TEST_F(ManagerTest, EveryFrameClearsAndPresentsBothWindowsInBlack) {
  auto* scene = static_cast<gfx::NullDevice*>(CManager::GetInstance()->GetRenderer()->GetDevice());
  auto* editor = static_cast<gfx::NullDevice*>(CManager::GetInstance()->GetChildWindow()->GetDevice());
  for (int i = 0; i < 3; ++i) Frame();
  EXPECT_EQ(scene->PresentCount(), 3u);
  EXPECT_EQ(editor->PresentCount(), 3u);
  EXPECT_EQ(scene->ClearCount(), 3u);
  EXPECT_EQ(scene->LastClearColor(), 0u);
  EXPECT_EQ(editor->LastClearColor(), 0u);
  EXPECT_EQ(scene->BackBufferWidth(), 1280u);
  EXPECT_EQ(editor->BackBufferWidth(), 700u);
  EXPECT_EQ(editor->BackBufferHeight(), 1000u);
  EXPECT_EQ(CManager::GetInstance()->GetChildWindow()->GetWindow()->Title(), "Child");
}

TEST_F(ManagerTest, RendererSetsTheProgramsFixedStatesAndTheLight) {
  gfx::Device* device = CManager::GetInstance()->GetRenderer()->GetDevice();
  auto state = [&](D3DRENDERSTATETYPE s) {
    DWORD v = 0;
    device->GetRenderState(s, &v);
    return v;
  };
  EXPECT_EQ(state(D3DRS_CULLMODE), D3DCULL_NONE);
  EXPECT_EQ(state(D3DRS_ALPHABLENDENABLE), TRUE);
  EXPECT_EQ(state(D3DRS_SRCBLEND), D3DBLEND_SRCALPHA);
  EXPECT_EQ(state(D3DRS_DESTBLEND), D3DBLEND_INVSRCALPHA);
  DWORD value = 0;
  device->GetSamplerState(0, D3DSAMP_MIPFILTER, &value);
  EXPECT_EQ(value, D3DTEXF_LINEAR);
  device->GetTextureStageState(0, D3DTSS_ALPHAOP, &value);
  EXPECT_EQ(value, D3DTOP_MODULATE);

  D3DLIGHT9 light{};
  BOOL enabled = FALSE;
  device->GetLight(0, &light);
  device->GetLightEnable(0, &enabled);
  EXPECT_TRUE(enabled);
  EXPECT_EQ(light.Type, D3DLIGHT_DIRECTIONAL);
  EXPECT_NEAR(light.Direction.x, -0.4472f, 1e-4f);
  EXPECT_NEAR(light.Direction.y, -0.8944f, 1e-4f);
  EXPECT_NEAR(light.Direction.z, 0.0f, 1e-4f);
  EXPECT_EQ(light.Diffuse.r, 1.0f);
  EXPECT_EQ(light.Ambient.r, 0.0f);
}

TEST_F(ManagerTest, UninitReleasesEverythingAndAFreshInstanceFollows) {
  CManager* first = CManager::GetInstance();
  first->Uninit();
  initialised_ = false;
  CManager* fresh = CManager::GetInstance();
  EXPECT_EQ(fresh->GetRenderer(), nullptr);
  EXPECT_EQ(fresh->GetChildWindow(), nullptr);
  EXPECT_EQ(fresh->GetKeyboard(), nullptr);
  EXPECT_EQ(fresh->GetMouse(), nullptr);
  EXPECT_EQ(fresh->GetLight(), nullptr);
  fresh->Uninit();
}

TEST_F(ManagerTest, EveryStartDrawsTheSamePlacementSequence) {
  Shared().placement.Next();
  Shared().emissionCounter = 7;
  CManager::GetInstance()->Uninit();
  ASSERT_EQ(Start(), S_OK);
  // The classic 15-bit sequence seeded with 0.
  for (int expected : {38, 7719, 21238, 2437, 8855}) EXPECT_EQ(Shared().placement.Next(), expected);
  EXPECT_EQ(Shared().emissionCounter, 0);
}

TEST(ManagerInitTest, FailingDeviceStopsInitAndTheProgramExitsWithAMessage) {
  platform::HeadlessWindowSystem system;
  system.FailDevices(true);
  auto window = system.CreateWindow("TEST", 1280, 720);
  EXPECT_EQ(CManager::GetInstance()->Init(window.get(), &system), -1);
  EXPECT_EQ(CManager::GetInstance()->GetChildWindow(), nullptr) << "later members stay null";
  CManager::GetInstance()->Uninit();

  // A second window that cannot be made stops Init after the renderer, before the input devices.
  system.FailDevices(false);
  system.FailWindows(true);
  EXPECT_EQ(CManager::GetInstance()->Init(window.get(), &system), -1);
  EXPECT_NE(CManager::GetInstance()->GetRenderer(), nullptr);
  EXPECT_EQ(CManager::GetInstance()->GetKeyboard(), nullptr);
  CManager::GetInstance()->Uninit();
  system.FailWindows(false);
  system.FailDevices(true);

  platform::ScopedMessageRecorder messages;
  platform::SteadyClock clock;
  EXPECT_NE(RunApplication(CommandLine{}, system, clock), 0);
  ASSERT_EQ(messages.Messages().size(), 1u);
  EXPECT_EQ(messages.Messages()[0].caption, "警告！");
}

TEST(ManagerRunTest, HeadlessRunStopsAfterTheRequestedFrames) {
  platform::HeadlessWindowSystem system;
  platform::SteadyClock clock;
  CommandLine options;
  options.frames = 3;
  EXPECT_EQ(RunApplication(options, system, clock), 0);
  EXPECT_EQ(CManager::GetInstance()->GetRenderer(), nullptr) << "shut down after the loop";
  CManager::GetInstance()->Uninit();
}

TEST(ManagerRunTest, DocumentThatCannotBeReadFailsTheRunAfterItsFrames) {
  platform::HeadlessWindowSystem system;
  platform::SteadyClock clock;
  CommandLine options;
  options.frames = 2;
  const TempFolder folder;
  EffectTable effects;
  effects["Rain"] = {CEditor::BeginDefinition()};
  options.document = folder.Path("rain.json");
  std::ofstream(options.document) << ParticleJsonText(effects);
  {
    platform::ScopedMessageRecorder messages;
    EXPECT_EQ(RunApplication(options, system, clock), 0);
    EXPECT_TRUE(messages.Messages().empty());
  }
  // Documents are told apart by content: JSON under a text document's name reads as JSON.
  options.document = folder.Path("rain.txt");
  std::ofstream(options.document) << ParticleJsonText(effects);
  EXPECT_EQ(RunApplication(options, system, clock), 0);
  // An unreadable number, and texts that are no document at all.
  options.document = folder.Path("broken.txt");
  for (const std::string& text : {std::string("Tag : Rain\nIndex : 0\nPopTime : soon\n"), std::string()}) {
    SCOPED_TRACE(text);
    std::ofstream(options.document, std::ios::trunc) << text;
    platform::ScopedMessageRecorder messages;
    EXPECT_EQ(RunApplication(options, system, clock), 1);
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_EQ(messages.Messages()[0].text.rfind(options.document, 0), 0u) << messages.Messages()[0].text;
  }
}

TEST(ManagerInitTest, WithoutSoundOutputTheEditorRunsSilentAndSaysSoOnce) {
  ScopedAudioDriver broken("no-such-driver");
  platform::GetNotices().Clear();
  platform::HeadlessWindowSystem system;
  platform::SteadyClock clock;
  platform::ScopedMessageRecorder messages;
  CommandLine options;
  options.frames = 3;
  EXPECT_EQ(RunApplication(options, system, clock), 0);
  ASSERT_EQ(messages.Messages().size(), 1u) << "one box, for the failed step";
  EXPECT_EQ(messages.Messages()[0].text.rfind("XAudio2オブジェクトの作成に失敗！", 0), 0u);
  const auto& notices = platform::GetNotices().Recent();
  ASSERT_EQ(std::count_if(notices.begin(), notices.end(),
                          [](const std::string& n) { return n.rfind("sound is off: ", 0) == 0; }),
            1);
  EXPECT_NE(notices.back().find("no-such-driver"), std::string::npos) << "the reason: " << notices.back();
  platform::GetNotices().Clear();
}

}  // namespace
