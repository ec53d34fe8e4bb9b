// Mesh particles on the Null device: their motion, their two ways of drawing and the states
// each leaves as it found them, the texture offset they share, and models or effects that
// are not there.

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "particle/mesh_particle.h"
#include "platform/message_sink.h"
#include "scene/shared_state.h"
#include "support/headless_scene.h"

namespace {

// ---- the shared texture offset ----------------------------------------------------------------

TEST(UVScrollTest, StartsAtZeroOneAndSmallOffsetsStayExact) {
  UVScroll scroll;
  scroll.Advance(0.02f, 0.0f);
  EXPECT_EQ(scroll.U(), 0.02f);
  EXPECT_EQ(scroll.V(), 1.0f);
  scroll.Advance(-0.05f, -0.5f);
  EXPECT_EQ(scroll.U(), 0.02f - 0.05f);
  EXPECT_EQ(scroll.V(), 0.5f);
  scroll.Reset();
  EXPECT_EQ(scroll.U(), 0.0f);
  EXPECT_EQ(scroll.V(), 1.0f);
}

TEST(UVScrollTest, LongSessionsKeepEveryMovementAndShowTheSamePicture) {
  // 200,000 draws: the exact sums reach 2,740 and -620 repeats. Only the fraction shows.
  UVScroll scroll;
  double u = 0.0, v = 1.0;
  constexpr float du = 0.0137f, dv = -0.0031f;
  for (int i = 0; i < 200'000; ++i) {
    scroll.Advance(du, dv);
    u += du;
    v += dv;
    ASSERT_LT(std::fabs(scroll.U()), UVScroll::kRepeatLimit) << i;
    ASSERT_LT(std::fabs(scroll.V()), UVScroll::kRepeatLimit) << i;
  }
  // How far apart two offsets show the texture: the distance to the nearest whole repeat.
  auto apart = [](double a, double b) { return std::fabs(std::remainder(a - b, 1.0)); };
  EXPECT_LT(apart(scroll.U(), u), 0.01);
  EXPECT_LT(apart(scroll.V(), v), 0.01);
}

TEST(UVScrollTest, NonFiniteMovementStartsThatComponentOver) {
  UVScroll scroll;
  scroll.Advance(0.25f, 0.25f);
  scroll.Advance(std::numeric_limits<float>::infinity(), 0.0f);
  EXPECT_EQ(scroll.U(), 0.0f);
  EXPECT_EQ(scroll.V(), 1.25f);
  scroll.Advance(0.0f, std::numeric_limits<float>::quiet_NaN());
  EXPECT_EQ(scroll.V(), 1.0f);
  scroll.Advance(0.02f, 0.0f);
  EXPECT_EQ(scroll.U(), 0.02f);
}

// ---- fixture ------------------------------------------------------------------------------------

// Every render state and the material, to tell what a draw left behind.
struct DeviceStates {
  std::array<DWORD, kRenderStateCount> render{};
  D3DMATERIAL9 material{};
};

class MeshParticleTest : public HeadlessScene {
 protected:
  static MeshParams Base() {
    MeshParams m;
    m.ModelTag = "CUBE";  // two subsets
    m.Scale = {1.0f, 1.0f, 1.0f};
    m.Color = m.DestColor = {1.0f, 1.0f, 1.0f, 1.0f};
    m.PopTime = 50;
    m.ColorAttenuation = 0.5f;
    m.UseTexture = true;
    m.TextureTag = "FLARE";
    m.MaskTextureTag = "MASK";
    return m;
  }
  static CMeshParticle* Spawn(const MeshParams& m) { return CMeshParticle::Create(m, nullptr); }
  static void Update(CMeshParticle* p, int count = 1) {
    for (int i = 0; i < count; ++i) p->Update();
  }
  // The particle's draws alone, in a scene of their own.
  static std::vector<gfx::RecordedDraw> RecordDraw(CMeshParticle* p) {
    gfx::NullDevice* device = Device();
    device->ClearRecord();
    device->SetRecording(true);
    device->BeginScene();
    p->Draw();
    device->EndScene();
    device->SetRecording(false);
    return device->Draws();
  }
  static gfx::Effect* UVAnimation() { return Manager()->GetShaderManager()->GetEffect("UVAnimation"); }
  static const std::vector<float>& Values(const char* parameter) {
    const auto* found =
        static_cast<const gfx::Effect::Parameter*>(UVAnimation()->GetParameterByName(nullptr, parameter));
    return found->values;
  }
  static gfx::Texture* Texture(const std::string& label) {
    return Manager()->GetTextureManager()->GetTexture(false, label);
  }

  // The program's usual states between draws, with an alpha test reference and function and
  // a material that no draw sets, so leaving them changed shows.
  static DeviceStates Settle() {
    gfx::Device* device = Device();
    device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
    device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    device->SetRenderState(D3DRS_ALPHAREF, 7);
    device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_NOTEQUAL);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
    D3DMATERIAL9 material{};
    material.Diffuse = {0.1f, 0.2f, 0.3f, 0.4f};
    material.Emissive = {0.5f, 0.6f, 0.7f, 0.8f};
    device->SetMaterial(&material);
    device->SetTexture(0, nullptr);
    device->SetTexture(1, nullptr);
    return Capture();
  }
  static DeviceStates Capture() {
    DeviceStates states;
    for (DWORD i = 0; i < kRenderStateCount; ++i)
      Device()->GetRenderState(D3DRENDERSTATETYPE(i), &states.render[i]);
    Device()->GetMaterial(&states.material);
    return states;
  }
  static void ExpectUnchanged(const DeviceStates& before) {
    const DeviceStates after = Capture();
    for (DWORD i = 0; i < kRenderStateCount; ++i)
      EXPECT_EQ(after.render[i], before.render[i]) << "render state " << i;
    EXPECT_EQ(std::memcmp(&after.material, &before.material, sizeof(D3DMATERIAL9)), 0) << "the material";
    EXPECT_EQ(Device()->GetTexture(0), nullptr);
    EXPECT_EQ(Device()->GetTexture(1), nullptr);
  }
};

void ExpectColor(const D3DCOLORVALUE& actual, const D3DXCOLOR& expected, float tolerance = 1e-6f) {
  EXPECT_NEAR(actual.r, expected.r, tolerance);
  EXPECT_NEAR(actual.g, expected.g, tolerance);
  EXPECT_NEAR(actual.b, expected.b, tolerance);
  EXPECT_NEAR(actual.a, expected.a, tolerance);
}

// ---- creation -----------------------------------------------------------------------------------

TEST_F(MeshParticleTest, InitLoadsTexturesOnlyWhenAskedAndDrawsColourAndWeightFromTheirRanges) {
  MeshParams m = Base();
  m.Color = {0.9f, 0.8f, 0.7f, 0.75f};
  m.RandomColorMin = m.RandomColorMax = 0.5f;
  m.Weight = 2.0f;
  m.RandomValueMin = m.RandomValueMax = 0.3f;
  m.UseMaskTexture = false;  // the mask goes with the texture whatever this says
  const CMeshParticle* plain = Spawn(m);
  EXPECT_EQ(plain->GetParams().Color, m.Color);
  EXPECT_EQ(plain->GetParams().Weight, 2.0f);
  EXPECT_EQ(plain->GetTexture(), Texture("FLARE"));
  EXPECT_EQ(plain->GetMaskTexture(), Texture("MASK"));
  ASSERT_NE(plain->GetMaskTexture(), nullptr) << "the sample MASK texture";
  EXPECT_EQ(plain->GetLife(), 50);
  ASSERT_EQ(plain->GetModels().size(), 1u);
  EXPECT_EQ(plain->GetModels()[0].Mesh, Manager()->GetModelManager()->GetMesh("CUBE"));
  EXPECT_TRUE(plain->GetEffectName().empty());

  m.RandomColor = true;
  m.UseRandom = true;
  m.UseTexture = false;
  m.UseShader = true;
  const CMeshParticle* drawn = Spawn(m);
  EXPECT_EQ(drawn->GetParams().Color, D3DXCOLOR(0.5f, 0.5f, 0.5f, 0.75f));
  EXPECT_FLOAT_EQ(drawn->GetParams().Weight, 0.3f);
  EXPECT_EQ(drawn->GetTexture(), nullptr);
  EXPECT_EQ(drawn->GetMaskTexture(), nullptr);
  EXPECT_EQ(drawn->GetEffectName(), "UVAnimation");
}

// ---- motion -------------------------------------------------------------------------------------

TEST_F(MeshParticleTest, WaitsItsStartDelayThenMovesGrowsTurnsAndFallsFromTheFallDelay) {
  MeshParams m = Base();
  m.DelayStartTime = 2;
  m.Position = {1.0f, 2.0f, 3.0f};
  m.Velocity = {1.0f, 0.0f, 0.0f};
  m.Scaling = {0.5f, 0.25f, 0.0f};
  m.RotateValue = 0.5f;
  m.Weight = 0.25f;
  m.FallDelay = 1;
  m.PopTime = 10;
  CMeshParticle* p = Spawn(m);
  for (int update = 1; update <= 2; ++update) {
    Update(p);
    EXPECT_EQ(p->GetParams().Position, m.Position);
    EXPECT_EQ(p->GetParams().Scale, m.Scale);
    EXPECT_EQ(p->GetLife(), 10);
    EXPECT_TRUE(RecordDraw(p).empty()) << "hidden while waiting";
  }
  struct Step {
    D3DXVECTOR3 position;
    float velocityY;
    int life;
  };
  // Velocity moves the particle before the weight pulls it: the fall shows a frame later.
  const Step steps[] = {{{2, 2, 3}, 0.0f, 9}, {{3, 2, 3}, -0.25f, 8}, {{4, 1.75f, 3}, -0.5f, 7}};
  for (const Step& step : steps) {
    Update(p);
    SCOPED_TRACE(p->GetActiveFrames());
    ExpectNear(p->GetParams().Position, step.position);
    EXPECT_FLOAT_EQ(p->GetParams().Velocity.y, step.velocityY);
    EXPECT_EQ(p->GetLife(), step.life);
  }
  ExpectNear(p->GetParams().Scale, {2.5f, 1.75f, 1.0f});
  EXPECT_FLOAT_EQ(p->GetParams().Rotation.y, 1.5f);
  EXPECT_EQ(RecordDraw(p).size(), 2u) << "both subsets of the cube";
}

TEST_F(MeshParticleTest, YawWrapsByOneTurnOnceItPassesPi) {
  struct Case {
    float yaw, spin, expected;
  };
  const Case cases[] = {{3.0f, 0.5f, 3.5f - 6.2831855f},
                        {-3.0f, -0.5f, -3.5f + 6.2831855f},
                        {3.0f, 0.14f, 3.14f},
                        {10.0f, 0.0f, 10.0f - 6.2831855f}};  // one turn a frame at most
  for (const Case& c : cases) {
    SCOPED_TRACE(c.yaw + c.spin);
    MeshParams m = Base();
    m.Rotation.y = c.yaw;
    m.RotateValue = c.spin;
    CMeshParticle* p = Spawn(m);
    Update(p);
    EXPECT_FLOAT_EQ(p->GetParams().Rotation.y, c.expected);
  }
}

TEST_F(MeshParticleTest, SwirlAddsToTheVelocityItHasAndTheAngleStepsByItsRange) {
  MeshParams m = Base();
  m.RotateActive = true;
  m.RotateAngle = 90.0f;
  m.RotateRadius = 0.01f;
  m.RandomRotateMin = m.RandomRotateMax = 90.0f;
  CMeshParticle* p = Spawn(m);
  // At 90 degrees the swirl pushes along x by 0.01 x 90; at 180 it pushes along -z by 1.8,
  // and the x it gained stays.
  Update(p);
  ExpectNear(p->GetParams().Velocity, {0.9f, 0.0f, 0.0f});
  ExpectNear(p->GetParams().Position, {});
  EXPECT_FLOAT_EQ(p->GetParams().RotateAngle, 180.0f);
  Update(p);
  ExpectNear(p->GetParams().Velocity, {0.9f, 0.0f, -1.8f});
  ExpectNear(p->GetParams().Position, {0.9f, 0.0f, 0.0f});
}

TEST_F(MeshParticleTest, ColourCoversItsShareOfTheWayAndWithoutSlownessArrivesAtOnce) {
  const D3DXCOLOR start(0.2f, 0.6f, 1.0f, 0.5f);
  struct Case {
    D3DXCOLOR dest;
    int popTime;
    float attenuation;
    D3DXCOLOR afterOne;
  };
  const Case cases[] = {
      {{1.0f, 1.0f, 1.0f, -1.0f}, 10, 1.0f, {0.28f, 0.64f, 1.0f, 0.5f}},  // a tenth; alpha off
      {{1.0f, -1.0f, 1.0f, 0.0f}, 10, 1.0f, {0.2f, 0.6f, 1.0f, 0.45f}},   // one negative: colour off
      {{0.0f, 0.0f, 0.0f, 0.0f}, 10, 0.0f, {0.0f, 0.0f, 0.0f, 0.0f}},     // no slowness: at once
      {{0.3f, 0.3f, 0.3f, 0.3f}, 0, 1.0f, {0.3f, 0.3f, 0.3f, 0.3f}},
      {{0.3f, 0.3f, 0.3f, 0.3f}, 10, -0.5f, {0.3f, 0.3f, 0.3f, 0.3f}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.popTime << " x " << c.attenuation << " toward " << c.dest.r);
    MeshParams m = Base();
    m.Color = start;
    m.DestColor = c.dest;
    m.PopTime = c.popTime;
    m.ColorAttenuation = c.attenuation;
    CMeshParticle* p = Spawn(m);
    Update(p, 1);
    ExpectColor(p->GetParams().Color, c.afterOne);
    Update(p, 3);
    EXPECT_FALSE(std::isnan(p->GetParams().Color.r) || std::isnan(p->GetParams().Color.a));
  }
}

// ---- drawing ------------------------------------------------------------------------------------

TEST_F(MeshParticleTest, FixedPathScalesAboutTheCentreTheEffectScalesThePositionToo) {
  Frame();  // the camera's view and projection differ from then on
  const CCamera* camera = Manager()->GetCamera();
  ASSERT_NE(camera->GetView(), camera->GetProjection());
  for (bool useShader : {false, true}) {
    SCOPED_TRACE(useShader ? "effect" : "fixed");
    MeshParams m = Base();
    m.Scale = {2.0f, 2.0f, 2.0f};
    m.Position = {1.0f, 0.0f, 0.0f};
    m.UseShader = useShader;
    CMeshParticle* p = Spawn(m);
    Update(p);
    const auto draws = RecordDraw(p);
    ASSERT_EQ(draws.size(), 2u);
    const D3DXMATRIX& world = draws[0].world;
    EXPECT_FLOAT_EQ(world.m[3][0], useShader ? 2.0f : 1.0f);
    EXPECT_FLOAT_EQ(world.m[0][0], 2.0f);
    EXPECT_EQ(world, p->GetWorld());
    if (!useShader) continue;
    const std::vector<float>& wvp = Values("g_wvp");
    ASSERT_EQ(wvp.size(), 48u);
    const D3DXMATRIX* expected[] = {&world, &camera->GetView(), &camera->GetProjection()};
    for (int i = 0; i < 3; ++i) EXPECT_EQ(std::memcmp(&wvp[i * 16], expected[i]->m, 64), 0) << "matrix " << i;
  }
}

TEST_F(MeshParticleTest, BothPathsDrawEverySubsetColouredAndRestoreEveryStateTheySet) {
  struct During {
    D3DRENDERSTATETYPE state;
    DWORD value;
  };
  struct Case {
    bool useShader;
    std::vector<During> during;
  };
  const Case cases[] = {
      {false,
       {{D3DRS_ZFUNC, D3DCMP_LESS},
        {D3DRS_ZWRITEENABLE, TRUE},
        {D3DRS_ALPHATESTENABLE, TRUE},
        {D3DRS_ALPHAREF, 210},
        {D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL}}},
      {true,
       {{D3DRS_ALPHATESTENABLE, TRUE},
        {D3DRS_ALPHAREF, 0},
        {D3DRS_ALPHAFUNC, D3DCMP_GREATER},
        {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA},
        {D3DRS_DESTBLEND, D3DBLEND_ONE},
        {D3DRS_BLENDOP, D3DBLENDOP_ADD}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.useShader ? "effect" : "fixed");
    MeshParams m = Base();
    m.Color = {0.5f, 0.25f, 1.0f, 0.8f};
    m.DestColor = m.Color;
    m.Emissive = 0.5f;
    m.UseShader = c.useShader;
    CMeshParticle* p = Spawn(m);
    Update(p);
    const DeviceStates before = Settle();
    const auto draws = RecordDraw(p);
    ASSERT_EQ(draws.size(), 2u);
    for (const gfx::RecordedDraw& d : draws) {
      for (const During& s : c.during)
        EXPECT_EQ(d.renderStates[s.state], s.value) << "render state " << s.state;
      EXPECT_EQ(d.texture, Texture("FLARE"));
      EXPECT_EQ(d.effect, c.useShader ? UVAnimation() : nullptr);
      ExpectColor(d.material.Diffuse, m.Color);
      ExpectColor(d.material.Emissive, {0.25f, 0.125f, 0.5f, 0.4f});
    }
    ExpectUnchanged(before);
    // The catalog's material keeps no glow for the model's other users.
    ExpectColor(p->GetModels()[0].Materials->GetBufferPointer()->MatD3D.Emissive, {0.0f, 0.0f, 0.0f, 1.0f});
    if (c.useShader) {
      EXPECT_EQ(Values("g_diffuse"), (std::vector<float>{0.5f, 0.25f, 1.0f, 0.8f}));
    }
  }
}

TEST_F(MeshParticleTest, WithoutTexturesTheFixedPathDrawsUntexturedAndTheEffectIsToldThereIsNoMask) {
  struct Case {
    bool useTexture;
    std::string mask;
    float hasMask;
  };
  const Case cases[] = {{false, "MASK", 0.0f}, {true, "MASK", 1.0f}, {true, "NO_SUCH_TEXTURE", 0.0f}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.useTexture << " " << c.mask);
    MeshParams m = Base();
    m.UseTexture = c.useTexture;
    m.MaskTextureTag = c.mask;
    CMeshParticle* fixed = Spawn(m);
    m.UseShader = true;
    CMeshParticle* effect = Spawn(m);
    Update(fixed);
    Update(effect);
    const gfx::Texture* expected = c.useTexture ? Texture("FLARE") : nullptr;
    for (const gfx::RecordedDraw& d : RecordDraw(fixed)) EXPECT_EQ(d.texture, expected);
    for (const gfx::RecordedDraw& d : RecordDraw(effect)) EXPECT_EQ(d.texture, expected);
    EXPECT_EQ(Values("g_hasMaskTexture"), std::vector<float>{c.hasMask});
  }
}

TEST_F(MeshParticleTest, EveryEffectDrawAdvancesTheOneSharedTextureOffset) {
  EXPECT_EQ(Shared().meshUV.U(), 0.0f);
  EXPECT_EQ(Shared().meshUV.V(), 1.0f);
  MeshParams m = Base();
  m.UVMovement = {0.01f, 0.0f};
  m.UseShader = true;
  Spawn(m);
  Spawn(m);
  m.UseShader = false;
  m.UVMovement = {0.5f, 0.5f};
  Spawn(m);  // drawn without the effect: it scrolls nothing
  for (float expected : {0.02f, 0.04f, 0.06f}) {
    Frame();
    EXPECT_NEAR(Shared().meshUV.U(), expected, 1e-6f);
    EXPECT_EQ(Shared().meshUV.V(), 1.0f);
    EXPECT_EQ(Values("g_animationUV"), (std::vector<float>{Shared().meshUV.U(), 1.0f}));
  }
  Shared().ResetForStart();
  EXPECT_EQ(Shared().meshUV.U(), 0.0f);
  EXPECT_EQ(Shared().meshUV.V(), 1.0f);
}

// ---- what is not there --------------------------------------------------------------------------

TEST_F(MeshParticleTest, UnknownModelDrawsNothingOnEitherPathAndIsNoticedOnce) {
  platform::GetNotices().Clear();
  for (bool useShader : {false, true}) {
    SCOPED_TRACE(useShader ? "effect" : "fixed");
    MeshParams m = Base();
    m.ModelTag = "NO_SUCH_MODEL";
    m.UseShader = useShader;
    CMeshParticle* p = Spawn(m);
    Update(p);
    const DeviceStates before = Settle();
    EXPECT_TRUE(RecordDraw(p).empty());
    ExpectUnchanged(before);
    Frame();  // and inside the registry's frame
  }
  ASSERT_EQ(platform::GetNotices().Recent().size(), 1u);
  EXPECT_NE(platform::GetNotices().Recent()[0].find("NO_SUCH_MODEL"), std::string::npos);
}

TEST_F(MeshParticleTest, MissingOrBrokenEffectDrawsNothingAndTouchesNoState) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("particle-editor-mesh-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  std::ofstream(folder / "broken.effect") << "@technique TechShader\n@vertex\nvoid main() {\n";
  struct Case {
    const char* what;
    std::string entry;  // the catalog's UVAnimation entry
  };
  const std::string effect = "\"Path\": \"Data/SHADER/uv_animation.effect\"";
  const std::string names =
      "\"Technique\": {\"Technique0\": \"TechShader\"}, \"Parameter\": {\"Parameter0\": \"g_wvp\"}";
  const Case cases[] = {
      {"not in the catalog", ""},
      {"no file", R"({"Label": "UVAnimation", "Path": "Data/SHADER/none.effect", )" + names + "}"},
      {"does not compile",
       R"({"Label": "UVAnimation", "Path": ")" + (folder / "broken.effect").string() + "\", " + names + "}"},
      {"no technique named", R"({"Label": "UVAnimation", )" + effect + "}"},
  };
  platform::ScopedMessageRecorder quiet;  // the catalog's load shows its compile errors
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::filesystem::path catalog = folder / "shader.json";
    std::ofstream(catalog) << R"({"SHADER": [)" << c.entry << "]}";
    CShaderManager* shaders = Manager()->GetShaderManager();
    shaders->Uninit();
    shaders->Load(catalog.string());
    MeshParams m = Base();
    m.UseShader = true;
    CMeshParticle* p = Spawn(m);
    Update(p);
    const DeviceStates before = Settle();
    EXPECT_TRUE(RecordDraw(p).empty());
    ExpectUnchanged(before);
    Frame();
  }
  std::filesystem::remove_all(folder);
}

}  // namespace
