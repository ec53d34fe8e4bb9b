#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>

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
#include "platform/gfx/null/null_device.h"
#include "platform/headless_window_system.h"
#include "platform/message_sink.h"
#include "scene/object_x.h"
#include "support/headless_scene.h"

namespace {

// A headless program run from the repository root, so the sample catalogs and models load.
class ViewTest : public HeadlessScene {
 protected:
  void SetUp() override {
    HeadlessScene::SetUp();
    EXPECT_TRUE(messages_.Messages().empty()) << "the sample data loads cleanly";
  }

  static const D3DXVECTOR3& Rot() { return Manager()->GetCamera()->GetRot(); }
  void Mouse(int x, int y, int wheel, int heldButton = -1) {
    platform::DIMOUSESTATE2 state{x, y, wheel, {}};
    if (heldButton >= 0) state.rgbButtons[heldButton] = 0x80;
    system_.SetMouse(state);
  }
  // The draws of one recorded frame made with the given world matrix.
  std::vector<gfx::RecordedDraw> DrawsWithWorld(const D3DXMATRIX& world) {
    return RecordFrameWhere([&world](const gfx::RecordedDraw& draw) { return draw.world == world; });
  }

  platform::ScopedMessageRecorder messages_;
};


TEST_F(ViewTest, MouseButtonsHaveTriggerAndReleaseEdges) {
  CInputMouse* mouse = Manager()->GetMouse();
  for (int button : {CInputMouse::kLeft, CInputMouse::kRight, CInputMouse::kMiddle}) {
    SCOPED_TRACE(button);
    Mouse(0, 0, 0, button);
    Frame();
    EXPECT_TRUE(mouse->GetPress(button) && mouse->GetTrigger(button) && !mouse->GetRelease(button));
    EXPECT_FALSE(mouse->GetTrigger((button + 1) % 3) || mouse->GetPress((button + 2) % 3));
    Frame();
    EXPECT_TRUE(mouse->GetPress(button) && !mouse->GetTrigger(button));
    Mouse(0, 0, 0);
    Frame();
    EXPECT_TRUE(!mouse->GetPress(button) && mouse->GetRelease(button));
    Frame();
    EXPECT_FALSE(mouse->GetRelease(button));
  }
}

TEST_F(ViewTest, KeyTriggersOnceAndAFailedReadKeepsHeldStatesButSpendsEdges) {
  CInputKeyboard* keyboard = Manager()->GetKeyboard();
  system_.SetKey(DIK_Z, true);
  Frame();
  EXPECT_TRUE(keyboard->GetPress(DIK_Z) && keyboard->GetTrigger(DIK_Z));
  Frame();
  EXPECT_TRUE(keyboard->GetPress(DIK_Z) && !keyboard->GetTrigger(DIK_Z)) << "held: pressed, no new edge";
  system_.SetKey(DIK_Z, false);
  Frame();
  EXPECT_FALSE(keyboard->GetPress(DIK_Z) || keyboard->GetTrigger(DIK_Z));

  system_.SetKey(DIK_Z, true);
  Mouse(0, 0, 0, CInputMouse::kRight);
  Frame();
  system_.SetFocus(false);
  system_.SetKey(DIK_Z, false);
  Mouse(0, 0, 0);
  Frame();
  EXPECT_TRUE(keyboard->GetPress(DIK_Z) && !keyboard->GetTrigger(DIK_Z));
  EXPECT_TRUE(Manager()->GetMouse()->GetPress(CInputMouse::kRight) &&
              !Manager()->GetMouse()->GetTrigger(CInputMouse::kRight));
  system_.SetFocus(true);
  Frame();
  EXPECT_FALSE(keyboard->GetPress(DIK_Z));
  EXPECT_TRUE(Manager()->GetMouse()->GetRelease(CInputMouse::kRight));
}

TEST_F(ViewTest, InTheBackgroundNothingRepeatsTheLastFramesWheelOrTrigger) {
  system_.SetKey(DIK_F2, true);
  Mouse(0, 0, 120);
  Frame();
  const float eyeZ = Manager()->GetCamera()->GetEye().z;
  ASSERT_TRUE(Manager()->IsWireframe());
  system_.SetFocus(false);
  Frame();
  Frame();
  EXPECT_FLOAT_EQ(Manager()->GetCamera()->GetEye().z, eyeZ);
  EXPECT_TRUE(Manager()->IsWireframe());
}

TEST_F(ViewTest, ReleasedDragKeepsTurningAndSlowsDown) {
  Mouse(100, 0, 0, CInputMouse::kLeft);
  Frame();
  EXPECT_NEAR(Rot().y, 100 * 0.005f, 1e-5f);
  EXPECT_NEAR(CCamera::DragVelocity().x, 85.0f, 1e-3f);
  Mouse(100, 0, 0);  // motion without the button does not turn
  float step = 0.5f, yaw = 0.5f;
  for (int frame = 0; frame < 6; ++frame) {
    Frame();
    step *= 0.85f;
    yaw += step;
    EXPECT_NEAR(Rot().y, yaw, 1e-4f) << frame;
  }
  EXPECT_EQ(Rot().x, 0.0f);
}

TEST_F(ViewTest, YawWrapsIntoMinusPiToPiAndPitchDoesNot) {
  Mouse(700, 700, 0, CInputMouse::kLeft);
  Frame();
  EXPECT_NEAR(Rot().y, 3.5f - 2.0f * D3DX_PI, 1e-4f);
  EXPECT_NEAR(Rot().x, 3.5f, 1e-4f) << "pitch may turn the view upside down";
  Mouse(-700, 0, 0, CInputMouse::kLeft);
  Frame(2);  // 3.5 - 3.5 - 3.5: below -pi, so it comes back from the top
  EXPECT_NEAR(Rot().y, 2.0f * D3DX_PI - 3.5f, 1e-4f);
  EXPECT_NEAR(Rot().x, 3.5f, 1e-4f);
}

TEST_F(ViewTest, KeysAndWheelTurnAndDollyTheCamera) {
  struct Case {
    std::uint8_t key;  // 0: none
    int wheel;
    float yaw, eyeY, eyeZ;  // change per frame
  };
  const Case cases[] = {{DIK_Q, 0, -0.005f, 0, 0}, {DIK_E, 0, 0.005f, 0, 0}, {DIK_T, 0, 0, -4, -12},
                        {DIK_G, 0, 0, 4, 12},      {0, 120, 0.0f, -60, -60}, {0, -40, 0.0f, 20, 20}};
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.key));
    const float yaw = Rot().y;
    const D3DXVECTOR3 eye = Manager()->GetCamera()->GetEye();
    system_.SetKey(c.key, c.key != 0);
    Mouse(0, 0, c.wheel);
    Frame(3);
    system_.SetKey(c.key, false);
    EXPECT_NEAR(Rot().y - yaw, 3 * c.yaw, 1e-5f);
    ExpectNear(Manager()->GetCamera()->GetEye(), eye + D3DXVECTOR3(0, 3 * c.eyeY, 3 * c.eyeZ), 1e-3f);
  }
}

TEST(PointerMovementTest, FirstMatchingRowDecidesTheStep) {
  constexpr float kPi = D3DX_PI;
  struct Row {
    const char* keys;  // held among w, a, s, d, r, f
    float heading;     // relative to the yaw; NAN for a vertical step
    float lift;
  };
  const Row rows[] = {{"w", 0, 0},
                      {"wd", kPi / 4, 0},
                      {"wa", -kPi / 4, 0},
                      {"sd", 3 * kPi / 4, 0},
                      {"sa", -3 * kPi / 4, 0},
                      {"s", kPi, 0},
                      {"d", kPi / 2, 0},
                      {"a", -kPi / 2, 0},
                      {"wad", kPi / 4, 0},
                      {"ws", 0, 0},
                      {"sad", 3 * kPi / 4, 0},
                      {"wr", 0, 0},
                      {"df", kPi / 2, 0},
                      {"r", NAN, 1.5f},
                      {"f", NAN, -1.5f},
                      {"rf", NAN, 1.5f},
                      {"", NAN, 0}};
  for (float yaw : {0.0f, 0.7f, -2.0f}) {
    for (const Row& row : rows) {
      SCOPED_TRACE(std::string(row.keys) + " at yaw " + std::to_string(yaw));
      auto held = [&](char key) { return std::strchr(row.keys, key) != nullptr; };
      const CPointer::Step step =
          CPointer::Movement(held('w'), held('a'), held('s'), held('d'), held('r'), held('f'), yaw, 1.0f);
      const bool flat = !std::isnan(row.heading);
      EXPECT_NEAR(step.dx, flat ? -std::sin(yaw + row.heading) : 0.0f, 1e-5f);
      EXPECT_NEAR(step.dz, flat ? -std::cos(yaw + row.heading) : 0.0f, 1e-5f);
      EXPECT_EQ(step.dy, row.lift);
    }
  }
  // Diagonals are no faster than straight steps; backward at yaw 0 is toward +z, at the given speed.
  const CPointer::Step diagonal = CPointer::Movement(true, false, false, true, false, false, 0.0f, 1.0f);
  EXPECT_NEAR(std::hypot(diagonal.dx, diagonal.dz), 1.0f, 1e-5f);
  const CPointer::Step back = CPointer::Movement(false, false, true, false, false, false, 0.0f, 2.0f);
  EXPECT_NEAR(back.dx, 0.0f, 1e-5f);
  EXPECT_NEAR(back.dz, 2.0f, 1e-5f);
}

TEST_F(ViewTest, CameraStartsBehindThePointerAndFollowsItsWalk) {
  Frame();
  ExpectNear(Manager()->GetCamera()->GetWorldEye(), {0.0f, 110.0f, 300.0f}, 1e-3f);
  ExpectNear(Manager()->GetCamera()->GetWorldTarget(), {0.0f, 10.0f, 0.0f}, 1e-3f);
  system_.SetKey(DIK_W, true);
  Frame(10);  // forward at yaw 0 is toward -z, one unit a frame
  ExpectNear(Manager()->GetPointer()->GetPos(), {0.0f, 10.0f, -10.0f}, 1e-3f);
  ExpectNear(Manager()->GetCamera()->GetWorldTarget(), {0.0f, 10.0f, -10.0f}, 1e-3f);
  ExpectNear(Manager()->GetCamera()->GetWorldEye(), {0.0f, 110.0f, 290.0f}, 1e-3f);
}

TEST_F(ViewTest, PointerHidesItselfWithoutTheRegistryFlag) {
  // The editor hides the pointer from its first frame and applies its choice every frame.
  CPointer* pointer = Manager()->GetPointer();
  D3DXMATRIX world;
  D3DXMatrixTranslation(&world, 0.0f, 10.0f, 0.0f);
  EXPECT_TRUE(DrawsWithWorld(world).empty());
  EXPECT_TRUE(Manager()->GetEditor()->PointerHidden);
  EXPECT_TRUE(!pointer->IsVisible() && !pointer->IsHidden());
  Manager()->GetEditor()->PointerHidden = false;
  EXPECT_FALSE(DrawsWithWorld(world).empty());
  EXPECT_TRUE(pointer->IsVisible() && !pointer->IsHidden());
}

TEST_F(ViewTest, ObjectWithAnUnknownModelTakesPartButDrawsNothing) {
  auto drawsPerFrame = [this] {
    const std::uint64_t before = Device()->DrawCount();
    Frame();
    return Device()->DrawCount() - before;
  };
  const std::uint64_t scene = drawsPerFrame();
  CObjectX* object = CObjectX::Create("NO_SUCH_MODEL", D3DXVECTOR3(1.0f, 2.0f, 3.0f));
  object->SetMove(D3DXVECTOR3(1.0f, 0.0f, 0.0f));
  EXPECT_EQ(drawsPerFrame(), scene);
  ExpectNear(object->GetPos(), {2.0f, 2.0f, 3.0f}, 1e-3f);
}

TEST_F(ViewTest, FloorIsDrawnFlatAndWideWithDepthLess) {
  D3DXMATRIX world;
  D3DXMatrixScaling(&world, 100.0f, 0.0f, 100.0f);
  const auto draws = DrawsWithWorld(world);
  ASSERT_EQ(draws.size(), 1u) << "the sample plane has one material";
  EXPECT_EQ(draws[0].renderStates[D3DRS_ZFUNC], DWORD{D3DCMP_LESS});
  EXPECT_EQ(draws[0].renderStates[D3DRS_ZWRITEENABLE], DWORD{TRUE});
  EXPECT_EQ(draws[0].effect, nullptr);
}

TEST_F(ViewTest, MultiMaterialModelDrawsEverySubsetWithTheFirstTinted) {
  gfx::D3DXMATERIAL* materials = Manager()->GetModelManager()->GetMaterials("CUBE")->GetBufferPointer();
  const D3DCOLORVALUE second = materials[1].MatD3D.Diffuse;
  CObjectX* cube = CObjectX::Create("CUBE", D3DXVECTOR3(5.0f, 0.0f, 0.0f));
  cube->SetColor(D3DXCOLOR(0.1f, 0.2f, 0.3f, 0.4f));
  ExpectNear(cube->GetScale(), {1.0f, 1.0f, 1.0f}, 1e-3f);  // the floored extent of the unit cube

  D3DXMATRIX world;
  D3DXMatrixTranslation(&world, 5.0f, 0.0f, 0.0f);
  const auto draws = DrawsWithWorld(world);
  ASSERT_EQ(draws.size(), 2u);
  EXPECT_NE(draws[0].startVertex, draws[1].startVertex);
  EXPECT_EQ(draws[0].vertexCount + draws[1].vertexCount, 36u) << "twelve triangles between them";
  const D3DCOLORVALUE first = materials[0].MatD3D.Diffuse;
  EXPECT_TRUE(first.r == 0.1f && first.g == 0.2f && first.b == 0.3f && first.a == 0.4f);
  EXPECT_TRUE(std::memcmp(&materials[1].MatD3D.Diffuse, &second, sizeof second) == 0)
      << "only the first material takes the colour";
}

}  // namespace
