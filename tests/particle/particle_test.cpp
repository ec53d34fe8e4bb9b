#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <utility>

#include "support/headless_scene.h"
#include "effect/particle_params.h"
#include "scene/billboard.h"

namespace {

// ---- billboards ---------------------------------------------------------------------------------

using BillboardTest = HeadlessScene;

void ExpectRect(const CBillboard& b, float left, float top) {
  const CBillboard::TexRect r = b.GetTexUV();
  EXPECT_FLOAT_EQ(r.left, left);
  EXPECT_FLOAT_EQ(r.top, top);
  EXPECT_FLOAT_EQ(r.right, left + 0.25f);
  EXPECT_FLOAT_EQ(r.bottom, top + 0.25f);
}

TEST_F(BillboardTest, FourByFourSheetWaitsThenStepsAndEndsOrLoops) {
  // The rectangle after the given update: the first step comes in update 15 at column 2 of row
  // 1; the column reaches 4 (u = 1) before each row change; update 28 wraps the rows.
  struct Step {
    int update;
    float left, top;
  };
  const Step steps[] = {{14, 0.0f, 0.25f}, {15, 0.5f, 0.25f}, {16, 0.75f, 0.25f},
                        {17, 1.0f, 0.25f}, {18, 0.0f, 0.5f},  {22, 1.0f, 0.5f},
                        {23, 0.0f, 0.75f}, {27, 1.0f, 0.75f}, {28, 1.0f, 0.75f}};
  for (bool loop : {false, true}) {
    SCOPED_TRACE(loop ? "looping" : "once");
    auto* b = new CBillboard();
    b->Init();
    b->SetAnimation(4, 4, 1, loop);
    ExpectRect(*b, 0.0f, 0.25f);
    int done = 0;
    for (const Step& step : steps) {
      SCOPED_TRACE(step.update);
      while (done < step.update) {
        EXPECT_FALSE(b->IsDeath()) << "alive before update " << done + 1;
        b->Update();
        ++done;
      }
      ExpectRect(*b, step.left, step.top);
    }
    EXPECT_EQ(b->IsDeath(), !loop);
    if (loop) {
      b->Update();  // update 29: the first row shows for the first time
      ExpectRect(*b, 0.25f, 0.0f);
      for (int i = 0; i < 100; ++i) b->Update();
      EXPECT_FALSE(b->IsDeath());
    }
    b->SetDeath();
  }
}

TEST_F(BillboardTest, UprightHoldsOnlyWhileSpinning) {
  auto* b = new CBillboard();
  b->SetUpright(true);
  b->Update();
  EXPECT_FALSE(b->IsUpright());
  b->SetSpin(0.25f);
  b->SetUpright(true);
  b->Update();
  b->Update();
  EXPECT_TRUE(b->IsUpright());
  EXPECT_FLOAT_EQ(b->GetRot().z, 0.5f);
}

TEST_F(BillboardTest, ColourPacksAsArgbBytesClampedAndRounded) {
  struct Case {
    D3DXCOLOR color;
    D3DCOLOR packed;
  };
  const Case cases[] = {{{0.0f, 0.0f, 0.0f, 0.0f}, 0x00000000u},
                        {{1.0f, 1.0f, 1.0f, 1.0f}, 0xFFFFFFFFu},
                        {{0.5f, 0.0f, 1.0f, 0.5f}, 0x808000FFu},         // 127.5 + 0.5 -> 128
                        {{0.25f, 2.0f, -1.0f, 1.0f}, 0xFF40FF00u},       // 63.75 + 0.5 -> 64
                        {{0.998f, 0.999f, 0.001f, 0.0f}, 0x00FEFF00u}};  // 254.99 -> 254, 255.245 -> 255
  auto* b = new CBillboard();
  for (const Case& c : cases) {
    b->SetColor(c.color);
    EXPECT_EQ(b->PackedColor(), c.packed) << std::hex << c.packed;
  }
}

// ---- particles ----------------------------------------------------------------------------------

class ParticleTest : public HeadlessScene {
 protected:
  static BillboardParams Base() {
    BillboardParams b;
    b.Scale = {10.0f, 10.0f, 0.0f};
    b.Color = b.DestColor = {1.0f, 1.0f, 1.0f, 1.0f};
    b.PopTime = 50;
    b.ColorAttenuation = 0.5f;
    return b;
  }
  static CParticle* Spawn(const BillboardParams& b) {
    return CParticle::Create(b, "FLARE", nullptr, nullptr);
  }
  static void Update(CParticle* p, int count) {
    for (int i = 0; i < count; ++i) p->Update();
  }
};

TEST_F(ParticleTest, StartDelayFreezesAndHidesItThenFallingStartsNextFrame) {
  BillboardParams b = Base();
  b.DelayStartTime = 3;
  b.Position = {1.0f, 2.0f, 3.0f};
  b.Weight = 0.5f;
  CParticle* p = Spawn(b);
  ASSERT_NE(p->GetTexture(), nullptr) << "the sample FLARE texture";
  for (int update = 1; update <= 3; ++update) {
    SCOPED_TRACE(update);
    EXPECT_TRUE(RecordFrame(p->GetTexture()).empty());
    EXPECT_EQ(p->GetPos(), b.Position);
    EXPECT_EQ(p->GetLife(), 50);
    EXPECT_EQ(p->GetMove(), D3DXVECTOR3());
    EXPECT_EQ(p->GetWorld(), D3DXMATRIX()) << "never placed for a draw";
  }
  const auto draws = RecordFrame(p->GetTexture());  // update 4, the first active one
  ASSERT_EQ(draws.size(), 1u);
  // The world goes to the effect, not to the device: the particle keeps the one it drew with.
  const D3DXMATRIX& world = p->GetWorld();
  EXPECT_TRUE(world.m[3][0] == 1.0f && world.m[3][1] == 2.0f && world.m[3][2] == 3.0f &&
              world.m[3][3] == 1.0f);
  EXPECT_EQ(p->GetLife(), 49);
  EXPECT_EQ(p->GetPos(), b.Position);
  EXPECT_FLOAT_EQ(p->GetMove().y, -0.5f);
  Frame();
  EXPECT_FLOAT_EQ(p->GetPos().y, 1.5f);
  EXPECT_EQ(p->GetLife(), 48);
}

TEST_F(ParticleTest, WeightPullsDownFromTheFallDelayOn) {
  struct Case {
    int fallDelay;
    std::array<float, 4> velocityY;  // after active updates 1..4
  };
  const Case cases[] = {{0, {-0.1f, -0.2f, -0.3f, -0.4f}}, {2, {0.0f, 0.0f, -0.1f, -0.2f}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fallDelay);
    BillboardParams b = Base();
    b.Weight = 0.1f;
    b.FallDelay = c.fallDelay;
    CParticle* p = Spawn(b);
    for (float expected : c.velocityY) {
      p->Update();
      EXPECT_NEAR(p->GetMove().y, expected, 1e-6f);
    }
  }
}

TEST_F(ParticleTest, ColourCoversItsShareOfTheWayToTheDestination) {
  const D3DXCOLOR start(0.2f, 0.6f, 1.0f, 0.5f);
  struct Case {
    D3DXCOLOR dest;
    int popTime;
    float attenuation;
    D3DXCOLOR afterOne;
  };
  const Case cases[] = {
      {{1.0f, 1.0f, 1.0f, -1.0f}, 10, 1.0f, {0.28f, 0.64f, 1.0f, 0.5f}},   // a tenth; alpha off
      {{-1.0f, -1.0f, -1.0f, 0.0f}, 10, 1.0f, {0.2f, 0.6f, 1.0f, 0.45f}},  // colour off, alpha fades
      {{1.0f, 1.0f, 1.0f, 1.0f}, 10, 0.5f, {0.36f, 0.68f, 1.0f, 0.6f}},    // a fifth
      {{0.0f, 0.0f, 0.0f, 0.0f}, 10, 0.0f, {0.0f, 0.0f, 0.0f, 0.0f}},      // no slowness: at once
      {{0.3f, 0.3f, 0.3f, 0.3f}, 0, 1.0f, {0.3f, 0.3f, 0.3f, 0.3f}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.popTime << " x " << c.attenuation << " toward " << c.dest.r);
    BillboardParams b = Base();
    b.Color = start;
    b.DestColor = c.dest;
    b.PopTime = c.popTime;
    b.ColorAttenuation = c.attenuation;
    CParticle* p = Spawn(b);
    p->Update();
    const D3DXCOLOR got = p->GetColor();
    EXPECT_NEAR(got.r, c.afterOne.r, 1e-6f);
    EXPECT_NEAR(got.g, c.afterOne.g, 1e-6f);
    EXPECT_NEAR(got.b, c.afterOne.b, 1e-6f);
    EXPECT_NEAR(got.a, c.afterOne.a, 1e-6f);
    Update(p, 3);
    EXPECT_FALSE(std::isnan(p->GetColor().r) || std::isnan(p->GetColor().a));
  }
}

TEST_F(ParticleTest, RandomVelocityAddsFourTenthsEveryActiveUpdate) {
  struct Case {
    bool useRandom;
    D3DXVECTOR3 randomVelocity;  // as given
    D3DXVECTOR3 expected;        // as kept
  };
  // The ranges are (4, 4, 4) both ways: drawn from, they can only give that.
  const Case cases[] = {{false, {1.0f, 2.0f, -3.0f}, {1.0f, 2.0f, -3.0f}},
                        {true, {1.0f, 2.0f, -3.0f}, {4.0f, 4.0f, 4.0f}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.useRandom);
    BillboardParams b = Base();
    b.Velocity = {0.5f, 0.0f, 0.0f};
    b.RandomVelocity = c.randomVelocity;
    b.RandomVelocityMin = b.RandomVelocityMax = {4.0f, 4.0f, 4.0f};
    b.UseRandom = c.useRandom;
    CParticle* p = Spawn(b);
    EXPECT_EQ(p->GetParams().RandomVelocity, c.expected);
    EXPECT_EQ(p->GetParams().Weight, 0.0f);
    Update(p, 2);
    ExpectNear(p->GetMove(), b.Velocity + c.expected * 0.8f);
  }
}

TEST_F(ParticleTest, DrawsAdditivelyThroughTheEffectAndRestoresTheStates) {
  BillboardParams b = Base();
  b.Color = {0.5f, 0.25f, 1.0f, 1.0f};
  b.ColorAttenuation = 0.0f;
  b.DestColor = b.Color;
  CParticle* p = Spawn(b);
  const auto draws = RecordFrame(p->GetTexture());
  ASSERT_EQ(draws.size(), 1u);
  const gfx::RecordedDraw& d = draws[0];
  ASSERT_NE(d.effect, nullptr);
  EXPECT_EQ(d.effect, Manager()->GetShaderManager()->GetEffect("TEST"));
  // Additive, unlit, depth-tested without writing; the program's usual states come back after.
  struct State {
    D3DRENDERSTATETYPE state;
    DWORD during, after;
  };
  const State states[] = {{D3DRS_LIGHTING, FALSE, TRUE},
                          {D3DRS_ZFUNC, D3DCMP_LESS, D3DCMP_LESSEQUAL},
                          {D3DRS_ZWRITEENABLE, FALSE, TRUE},
                          {D3DRS_ALPHATESTENABLE, TRUE, FALSE},
                          {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA, D3DBLEND_SRCALPHA},
                          {D3DRS_DESTBLEND, D3DBLEND_ONE, D3DBLEND_INVSRCALPHA}};
  gfx::Device* device = Device();
  for (const State& s : states) {
    DWORD now = 0;
    device->GetRenderState(s.state, &now);
    EXPECT_EQ(d.renderStates[s.state], s.during) << s.state;
    EXPECT_EQ(now, s.after) << s.state;
  }
  EXPECT_EQ(d.renderStates[D3DRS_ALPHAFUNC], DWORD{D3DCMP_GREATER});
  EXPECT_EQ(d.renderStates[D3DRS_ALPHAREF], 0u);
  EXPECT_EQ(d.minFilter, DWORD{D3DTEXF_POINT});
  EXPECT_EQ(d.magFilter, DWORD{D3DTEXF_POINT});
  // The quad's corners carry the particle's colour as it is now.
  D3DCOLOR corner = 0;
  std::memcpy(&corner, d.buffer->Bytes().data() + 24, sizeof corner);
  EXPECT_EQ(corner, 0xFF8040FFu);

  for (D3DSAMPLERSTATETYPE filter : {D3DSAMP_MINFILTER, D3DSAMP_MAGFILTER}) {
    DWORD now = 0;
    device->GetSamplerState(0, filter, &now);
    EXPECT_EQ(now, DWORD{D3DTEXF_LINEAR});
  }
}

}  // namespace
