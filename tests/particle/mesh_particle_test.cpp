// Mesh particles on the Null device: motion, both ways of drawing and the states each puts
// back, the texture offset they share, and models or effects that are not there.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "particle/mesh_particle.h"
#include "support/headless_scene.h"
#include "support/temp_folder.h"

namespace {

TEST(UVScrollTest, SmallOffsetsStayExactAndLongSessionsKeepTheirPrecision) {
  UVScroll scroll;
  scroll.Advance(0.02f, 0.0f);
  EXPECT_TRUE(scroll.U() == 0.02f && scroll.V() == 1.0f);
  scroll.Advance(std::numeric_limits<float>::infinity(), 0.0f);  // would stick: u starts over
  EXPECT_TRUE(scroll.U() == 0.0f && scroll.V() == 1.0f);
  // 200,000 draws: the exact sums reach 2,740 and -620 repeats, of which only the fraction shows.
  double u = 0.0, v = 1.0;
  for (int i = 0; i < 200'000; ++i) {
    scroll.Advance(0.0137f, -0.0031f);
    u += 0.0137f;
    v -= 0.0031f;
  }
  EXPECT_LT(std::fabs(std::remainder(scroll.U() - u, 1.0)), 0.01);
  EXPECT_LT(std::fabs(std::remainder(scroll.V() - v, 1.0)), 0.01);
}

bool Same(const D3DCOLORVALUE& a, const D3DXCOLOR& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

class MeshParticleTest : public HeadlessScene {
 protected:
  static MeshParams Base(bool useShader = false) {
    MeshParams m;
    m.ModelTag = "CUBE";  // two subsets
    m.Scale = {1.0f, 1.0f, 1.0f};
    m.Color = m.DestColor = {0.5f, 0.25f, 1.0f, 0.8f};
    m.PopTime = 50;
    m.UseTexture = true;
    m.TextureTag = "FLARE";
    m.MaskTextureTag = "MASK";
    m.UseShader = useShader;
    return m;
  }
  // Made and updated once, so it draws.
  static CMeshParticle* Spawn(const MeshParams& m) {
    CMeshParticle* p = CMeshParticle::Create(m, nullptr);
    p->Update();
    return p;
  }
  // The particle's draws alone, from the program's usual states (and an alpha reference,
  // function and material that no draw sets), every one of which must be back afterwards.
  static std::vector<gfx::RecordedDraw> RecordDraw(CMeshParticle* p) {
    gfx::NullDevice* device = Device();
    const std::pair<D3DRENDERSTATETYPE, DWORD> usual[] = {
        {D3DRS_ZFUNC, D3DCMP_LESSEQUAL},         {D3DRS_ZWRITEENABLE, TRUE},
        {D3DRS_ALPHATESTENABLE, FALSE},          {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA},
        {D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA}, {D3DRS_ALPHAREF, 7},
        {D3DRS_ALPHAFUNC, D3DCMP_NOTEQUAL}};
    for (auto [state, value] : usual) device->SetRenderState(state, value);
    D3DMATERIAL9 material{};
    material.Diffuse = {0.1f, 0.2f, 0.3f, 0.4f};
    device->SetMaterial(&material);
    std::array<DWORD, kRenderStateCount> before{}, after{};
    for (DWORD i = 0; i < kRenderStateCount; ++i) device->GetRenderState(D3DRENDERSTATETYPE(i), &before[i]);
    device->ClearRecord();
    device->SetRecording(true);
    device->BeginScene();
    p->Draw();
    device->EndScene();
    device->SetRecording(false);
    for (DWORD i = 0; i < kRenderStateCount; ++i) device->GetRenderState(D3DRENDERSTATETYPE(i), &after[i]);
    EXPECT_EQ(after, before);
    D3DMATERIAL9 now;
    device->GetMaterial(&now);
    EXPECT_EQ(std::memcmp(&now, &material, sizeof now), 0);
    EXPECT_TRUE(device->GetTexture(0) == nullptr && device->GetTexture(1) == nullptr);
    return device->Draws();
  }
  static gfx::Effect* UVAnimation() { return Manager()->GetShaderManager()->GetEffect("UVAnimation"); }
  static const std::vector<float>& Values(const char* name) {
    return static_cast<const gfx::Effect::Parameter*>(UVAnimation()->GetParameterByName(nullptr, name))
        ->values;
  }
  static gfx::Texture* Texture(const char* label) {
    return Manager()->GetTextureManager()->GetTexture(false, label);
  }
};

// ---- creation and motion ------------------------------------------------------------------------

TEST_F(MeshParticleTest, InitDrawsTheRandomColourAndLoadsTexturesOnlyWhenAsked) {
  MeshParams m = Base();
  m.RandomColor = true;
  m.RandomColorMin = m.RandomColorMax = 0.5f;
  const CMeshParticle* p = CMeshParticle::Create(m, nullptr);
  EXPECT_EQ(p->GetParams().Color, D3DXCOLOR(0.5f, 0.5f, 0.5f, 0.8f));
  EXPECT_TRUE(p->GetTexture() == Texture("FLARE") && p->GetMaskTexture() == Texture("MASK") &&
              p->GetTexture());
  m.UseTexture = false;
  p = CMeshParticle::Create(m, nullptr);
  EXPECT_TRUE(p->GetTexture() == nullptr && p->GetMaskTexture() == nullptr);
}

TEST_F(MeshParticleTest, YawWrapsOnceAndWithoutSlownessTheColourArrivesAtOnce) {
  struct Turn {
    float yaw, spin, expected;
  };
  for (auto [yaw, spin, expected] : {Turn{3.0f, 0.5f, 3.5f - 6.2831855f},
                                     {-3.0f, -0.5f, -3.5f + 6.2831855f},
                                     {10.0f, 0.0f, 10.0f - 6.2831855f}}) {
    MeshParams m = Base();
    m.Rotation.y = yaw;
    m.RotateValue = spin;
    EXPECT_FLOAT_EQ(Spawn(m)->GetParams().Rotation.y, expected) << yaw;
  }
  struct Fade {
    int popTime;
    float attenuation, afterOne;  // from 0.2 toward 1
  };
  for (auto [popTime, attenuation, afterOne] : {Fade{10, 1.0f, 0.28f}, {0, 1.0f, 1.0f}, {10, -0.5f, 1.0f}}) {
    MeshParams m = Base();
    m.Color = {0.2f, 0.2f, 0.2f, 0.2f};
    m.DestColor = {1.0f, 1.0f, 1.0f, 1.0f};
    m.PopTime = popTime;
    m.ColorAttenuation = attenuation;
    const D3DXCOLOR c = Spawn(m)->GetParams().Color;
    EXPECT_TRUE(std::fabs(c.r - afterOne) < 1e-6f && std::fabs(c.a - afterOne) < 1e-6f)
        << popTime * attenuation;
  }
}

TEST_F(MeshParticleTest, SwirlAddsToTheVelocityItHas) {
  MeshParams m = Base();
  m.RotateActive = true;
  m.RotateAngle = 90.0f;
  m.RotateRadius = 0.01f;
  m.RandomRotateMin = m.RandomRotateMax = 90.0f;
  CMeshParticle* p = Spawn(m);  // at 90 degrees: 0.9 along x
  p->Update();                  // at 180: 1.8 along -z, and the x stays
  ExpectNear(p->GetParams().Velocity, {0.9f, 0.0f, -1.8f});
  ExpectNear(p->GetParams().Position, {0.9f, 0.0f, 0.0f});
}

// ---- drawing ------------------------------------------------------------------------------------

TEST_F(MeshParticleTest, EachPathDrawsEverySubsetColouredInItsOwnWorldAndStates) {
  Frame();  // from here the camera's view and projection differ
  // A scaled model is lit as at size 1: the fixed path renormalises the normals the scale shrinks.
  const D3DRENDERSTATETYPE states[] = {D3DRS_ZFUNC,     D3DRS_ALPHATESTENABLE, D3DRS_ALPHAREF,
                                       D3DRS_ALPHAFUNC, D3DRS_DESTBLEND,       D3DRS_NORMALIZENORMALS};
  const std::array<DWORD, 6> during[] = {
      {D3DCMP_LESS, TRUE, 210, D3DCMP_GREATEREQUAL, D3DBLEND_INVSRCALPHA, TRUE},
      {D3DCMP_LESSEQUAL, TRUE, 0, D3DCMP_GREATER, D3DBLEND_ONE, FALSE}};
  for (bool useShader : {false, true}) {
    SCOPED_TRACE(useShader);
    MeshParams m = Base(useShader);
    m.Scale = {2.0f, 2.0f, 2.0f};
    m.Position = {1.0f, 0.0f, 0.0f};
    m.Emissive = 0.5f;
    CMeshParticle* p = Spawn(m);
    const auto draws = RecordDraw(p);
    ASSERT_EQ(draws.size(), 2u);
    for (const gfx::RecordedDraw& d : draws) {
      EXPECT_FLOAT_EQ(d.world.m[3][0],
                      useShader ? 2.0f : 1.0f);  // the effect's world scales the position too
      for (int i = 0; i < 6; ++i) EXPECT_EQ(d.renderStates[states[i]], during[useShader][i]) << states[i];
      EXPECT_EQ(d.texture, Texture("FLARE"));
      EXPECT_EQ(d.effect, useShader ? UVAnimation() : nullptr);
      EXPECT_TRUE(Same(d.material.Diffuse, m.Color) &&
                  Same(d.material.Emissive, {0.25f, 0.125f, 0.5f, 0.4f}));
    }
    // The catalog's material keeps no glow for the model's other users.
    EXPECT_TRUE(
        Same(p->GetModels()[0].Materials->GetBufferPointer()->MatD3D.Emissive, {0.0f, 0.0f, 0.0f, 1.0f}));
    if (!useShader) continue;
    const CCamera* camera = Manager()->GetCamera();
    const D3DXMATRIX wvp[3] = {draws[0].world, camera->GetView(), camera->GetProjection()};
    EXPECT_EQ(std::memcmp(Values("g_wvp").data(), wvp, sizeof wvp), 0);
    EXPECT_EQ(Values("g_diffuse"), (std::vector<float>{0.5f, 0.25f, 1.0f, 0.8f}));
  }
}

TEST_F(MeshParticleTest, WithoutTexturesTheFixedPathDrawsUntexturedAndTheEffectHearsOfNoMask) {
  MeshParams m = Base();
  m.UseTexture = false;
  const auto draws = RecordDraw(Spawn(m));
  ASSERT_EQ(draws.size(), 2u);
  EXPECT_TRUE(draws[0].texture == nullptr && draws[1].texture == nullptr);
  m.UseShader = true;
  struct Mask {
    bool useTexture;
    const char* tag;
    float told;
  };
  for (auto [useTexture, tag, told] :
       {Mask{false, "MASK", 0.0f}, {true, "MASK", 1.0f}, {true, "NO_SUCH", 0.0f}}) {
    m.UseTexture = useTexture;
    m.MaskTextureTag = tag;
    ASSERT_EQ(RecordDraw(Spawn(m)).size(), 2u);
    EXPECT_EQ(Values("g_hasMaskTexture"), std::vector<float>{told}) << tag;
  }
}

TEST_F(MeshParticleTest, EveryEffectDrawAdvancesTheOneSharedTextureOffset) {
  MeshParams m = Base(true);
  m.UVMovement = {0.01f, 0.0f};
  Spawn(m);
  Spawn(m);
  m.UseShader = false;
  m.UVMovement = {0.5f, 0.5f};
  Spawn(m);  // drawn without the effect, it scrolls nothing
  for (float expected : {0.02f, 0.04f}) {
    Frame();
    EXPECT_NEAR(Shared().meshUV.U(), expected, 1e-6f);
    EXPECT_EQ(Values("g_animationUV"), (std::vector<float>{Shared().meshUV.U(), 1.0f}));
  }
  Shared().ResetForStart();
  EXPECT_TRUE(Shared().meshUV.U() == 0.0f && Shared().meshUV.V() == 1.0f);
}

TEST_F(MeshParticleTest, UnknownModelOrMissingEffectDrawsNothingAndLeavesEveryState) {
  for (bool useShader : {false, true}) {
    MeshParams m = Base(useShader);
    m.ModelTag = "NO_SUCH_MODEL";
    EXPECT_TRUE(RecordDraw(Spawn(m)).empty());
  }
  // A catalog whose effect has no technique named, then none at all.
  const TempFolder folder;
  const std::string catalog = folder.Write(
      "shader.json", R"({"SHADER": [{"Label": "UVAnimation", "Path": "Data/SHADER/uv_animation.effect"}]})");
  CShaderManager* shaders = Manager()->GetShaderManager();
  shaders->Uninit();
  shaders->Load(catalog);
  for (bool loaded : {true, false}) {
    ASSERT_EQ(UVAnimation() != nullptr, loaded);
    EXPECT_TRUE(RecordDraw(Spawn(Base(true))).empty());
    Frame();
    shaders->Uninit();
  }
}

}  // namespace
