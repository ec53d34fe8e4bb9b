// The frame rules both kinds of particle share: the rules on their own, and a billboard and
// a mesh particle made from the same shared values stepping them alike, to the last bit.

#include "particle/particle_motion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "particle/mesh_particle.h"
#include "support/headless_scene.h"

namespace {

CommonParams Rules(int popTime, int delay, int fallDelay, float weight) {
  CommonParams c;
  c.PopTime = popTime;
  c.DelayStartTime = delay;
  c.FallDelay = fallDelay;
  c.Weight = weight;
  return c;
}

TEST(ParticleMotionTest, WaitsItsDelayThenFallsFromTheFallDelayUntilItsLifeRunsOut) {
  ParticleMotion motion(Rules(3, 2, 1, 0.25f));
  D3DXVECTOR3 velocity(0.0f, 1.0f, 0.0f);
  for (int frame = 1; frame <= 2; ++frame) {
    EXPECT_FALSE(motion.BeginFrame()) << frame;
    EXPECT_TRUE(motion.Waiting());
  }
  EXPECT_EQ(motion.Life(), 3) << "frozen while waiting";
  const float expectedY[] = {1.0f, 0.75f, 0.5f};  // no pull in the first active frame
  for (int active = 0; active < 3; ++active) {
    SCOPED_TRACE(active);
    ASSERT_TRUE(motion.BeginFrame());
    EXPECT_FALSE(motion.Waiting());
    motion.Fall(velocity);
    EXPECT_EQ(velocity.y, expectedY[active]);
    EXPECT_EQ(motion.EndFrame(), active == 2) << "true in the frame the life runs out, only";
  }
  EXPECT_EQ(motion.Age(), 5);
  EXPECT_EQ(motion.ActiveFrames(), 3);
  EXPECT_EQ(motion.Life(), 0);
  motion.BeginFrame();
  EXPECT_FALSE(motion.EndFrame()) << "a life past zero runs out no more";
}

TEST(ParticleMotionTest, FadeCoversItsShareAndSwitchesOffNegativeGroups) {
  CommonParams c = Rules(4, 0, 0, 0.0f);
  c.ColorAttenuation = 0.5f;  // a slowness of 2: half the way each frame
  c.DestColor = {1.0f, 1.0f, 1.0f, -1.0f};
  D3DXCOLOR color(0.0f, 0.5f, 1.0f, 0.25f);
  ParticleMotion(c).Fade(color);
  EXPECT_EQ(color, D3DXCOLOR(0.5f, 0.75f, 1.0f, 0.25f));
  c.DestColor = {-1.0f, 0.0f, 0.0f, 0.0f};
  c.ColorAttenuation = 0.0f;  // no slowness: at once
  ParticleMotion(c).Fade(color);
  EXPECT_EQ(color, D3DXCOLOR(0.5f, 0.75f, 1.0f, 0.0f));
  c.DestColor = {0.0f, 0.0f, 0.0f, 1.0f};
  c.ColorAttenuation = std::nanf("");  // no slowness either
  ParticleMotion(c).Fade(color);
  EXPECT_EQ(color, D3DXCOLOR(0.0f, 0.0f, 0.0f, 1.0f));
}

// Whatever the fade computes with, each channel moves by the single-precision quotient of
// the way left and the slowness, to the bit: over magnitudes from the subnormal to the huge.
TEST(ParticleMotionTest, FadeMovesByTheQuotientToTheBit) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> mantissa(-2.0f, 2.0f);
  std::uniform_int_distribution<int> exponent(-140, 100);
  const auto any = [&] { return std::ldexp(mantissa(random), exponent(random)); };
  int checked = 0;
  for (int i = 0; i < 20000; ++i) {
    CommonParams c = Rules(1 + i % 5000, 0, 0, 0.0f);
    c.ColorAttenuation = std::fabs(any());
    c.DestColor = {std::fabs(any()), std::fabs(any()), std::fabs(any()), std::fabs(any())};
    D3DXCOLOR color(any(), any(), any(), any());
    const float slowness = static_cast<float>(c.PopTime) * c.ColorAttenuation;
    if (!(slowness > 0.0f)) continue;
    const D3DXCOLOR& d = c.DestColor;
    const D3DXCOLOR expected(color.r + (d.r - color.r) / slowness, color.g + (d.g - color.g) / slowness,
                             color.b + (d.b - color.b) / slowness, color.a + (d.a - color.a) / slowness);
    ParticleMotion(c).Fade(color);
    ASSERT_EQ(std::memcmp(&color, &expected, sizeof color), 0) << i;
    ++checked;
  }
  EXPECT_GT(checked, 19000);
}

TEST(ParticleMotionTest, SwirlPushesByTheAngleAndRadiusThenTurnsTheAngle) {
  CommonParams c;
  c.RotateActive = true;
  c.RotateAngle = 90.0f;
  c.RotateRadius = 0.01f;  // times the angle: 0.9
  c.RandomRotateMin = c.RandomRotateMax = 15.0f;
  EXPECT_TRUE(ParticleMotion(c).Swirls());
  RangeRandom random;
  const ParticleMotion::Swirl push = ParticleMotion::TurnSwirl(c, random);
  EXPECT_NEAR(push.x, 0.9f, 1e-6f);
  EXPECT_NEAR(push.z, 0.0f, 1e-6f);
  EXPECT_EQ(c.RotateAngle, 105.0f);
}

// ---- both kinds alike ------------------------------------------------------------------------

class SharedMotionTest : public HeadlessScene {
 protected:
  static CommonParams Common() {
    CommonParams c;
    c.Position = {1.0f, 2.0f, 3.0f};
    c.Velocity = {0.5f, 0.25f, -0.75f};
    c.Scale = {2.0f, 3.0f, 4.0f};
    c.Scaling = {0.1f, 0.2f, 0.3f};
    c.Color = {0.2f, 0.4f, 0.6f, 0.8f};
    c.DestColor = {1.0f, 0.3f, 0.0f, 0.1f};
    c.ColorAttenuation = 0.7f;
    c.PopTime = 9;
    c.DelayStartTime = 2;
    c.FallDelay = 3;
    c.Weight = 0.05f;
    return c;
  }
  static CParticle* Billboard(const CommonParams& c) {
    BillboardParams b;
    static_cast<CommonParams&>(b) = c;
    return CParticle::Create(b, "FLARE", nullptr, nullptr);
  }
  static CMeshParticle* Mesh(const CommonParams& c) {
    MeshParams m;
    static_cast<CommonParams&>(m) = c;
    m.ModelTag = "CUBE";
    return CMeshParticle::Create(m, nullptr);
  }
};

// Through the delay, the frames before the fall, the fall and past the end of the life, the
// two kinds hold the same position, velocity, size, colour and counters after every update.
TEST_F(SharedMotionTest, BillboardAndMeshStepTheSharedRulesToTheSameBits) {
  const CommonParams c = Common();
  CParticle* billboard = Billboard(c);
  CMeshParticle* mesh = Mesh(c);
  for (int update = 1; update <= 13; ++update) {
    SCOPED_TRACE(update);
    billboard->Update();
    mesh->Update();
    const MeshParams& m = mesh->GetParams();
    EXPECT_EQ(billboard->GetPos(), m.Position);
    EXPECT_EQ(billboard->GetSize(), m.Scale);
    EXPECT_EQ(billboard->GetColor(), m.Color);
    EXPECT_EQ(billboard->GetAge(), mesh->GetAge());
    EXPECT_EQ(billboard->GetActiveFrames(), mesh->GetActiveFrames());
    EXPECT_EQ(billboard->GetLife(), mesh->GetLife());
    // A billboard waiting has taken no velocity yet; once moving, both have the same.
    if (update > c.DelayStartTime) {
      EXPECT_EQ(billboard->GetMove(), m.Velocity);
    }
  }
  EXPECT_EQ(mesh->GetLife(), -2);
  EXPECT_LT(mesh->GetParams().Velocity.y, c.Velocity.y) << "the fall has begun";
}

// The swirl is the one shared rule the kinds use differently: a billboard's velocity is the
// definition's plus the push, a mesh's gathers the pushes. With the definition's x and z at
// zero, the billboard shows each push as it is, which the mesh must have added.
TEST_F(SharedMotionTest, BothKindsTurnTheSameSwirl) {
  CommonParams c = Common();
  c.Velocity = {0.0f, 0.25f, 0.0f};
  c.RotateActive = true;
  c.RotateAngle = 30.0f;
  c.RotateRadius = 0.02f;
  c.RandomRotateMin = c.RandomRotateMax = 7.0f;
  CParticle* billboard = Billboard(c);
  CMeshParticle* mesh = Mesh(c);
  D3DXVECTOR3 gathered = mesh->GetParams().Velocity;
  for (int update = 1; update <= 8; ++update) {
    SCOPED_TRACE(update);
    billboard->Update();
    mesh->Update();
    EXPECT_EQ(billboard->GetParams().RotateAngle, mesh->GetParams().RotateAngle);
    if (update <= c.DelayStartTime) continue;
    gathered.x += billboard->GetMove().x;
    gathered.z += billboard->GetMove().z;
    EXPECT_EQ(mesh->GetParams().Velocity.x, gathered.x);
    EXPECT_EQ(mesh->GetParams().Velocity.z, gathered.z);
    EXPECT_EQ(billboard->GetMove().y, mesh->GetParams().Velocity.y);
  }
  EXPECT_EQ(mesh->GetParams().RotateAngle, 30.0f + 6 * 7.0f) << "turned in the active frames alone";
  EXPECT_NE(billboard->GetMove().x, 0.0f);
}

}  // namespace
