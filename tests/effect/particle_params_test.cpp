#include "effect/particle_params.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <utility>
#include <vector>

#include "editor/editor.h"
#include "effect/random_range.h"

namespace {

TEST(RandomRangeTest, OneSeedGivesOneSequenceAndUnseededRunsDiffer) {
  RangeRandom a, b, c;
  a.Seed(7);
  b.Seed(7);
  c.Seed(8);
  std::vector<float> first, second, other;
  for (int i = 0; i < 64; ++i) {
    first.push_back(a.Range(1.0f, 0.0f));
    second.push_back(b.Range(1.0f, 0.0f));
    other.push_back(c.Range(1.0f, 0.0f));
  }
  EXPECT_EQ(first, second);
  EXPECT_NE(first, other);
  // Seeded again, it starts over; from the system, it goes its own way.
  a.Seed(7);
  EXPECT_EQ(a.Range(1.0f, 0.0f), first[0]);
  RangeRandom d, e;
  std::vector<float> fromD, fromE;
  for (int i = 0; i < 16; ++i) fromD.push_back(d.Range(1.0f, 0.0f)), fromE.push_back(e.Range(1.0f, 0.0f));
  EXPECT_NE(fromD, fromE);
}

TEST(RandomRangeTest, EqualBoundsGiveTheBoundAndEitherOrderStaysBetween) {
  RangeRandom random;
  for (float x : {0.0f, 1.5f, -3.25f, 1.0e6f}) EXPECT_EQ(random.Range(x, x), x);
  for (auto [a, b] : {std::pair{1.0f, 0.0f}, std::pair{0.0f, 1.0f}}) {
    SCOPED_TRACE(a);
    float low = 1.0f, high = 0.0f;
    int outside = 0;
    for (int i = 0; i < 20000; ++i) {
      const float v = random.Range(a, b);
      if (v < 0.0f || v > 1.0f) ++outside;
      low = std::min(low, v);
      high = std::max(high, v);
    }
    EXPECT_EQ(outside, 0);
    // Uniform draws: 20000 of them come close to both ends (missing by 1% has odds of e^-200).
    EXPECT_LT(low, 0.01f);
    EXPECT_GT(high, 0.99f);
  }
}

TEST(ParticleParamsTest, DefaultIsZeroExceptBothElasticities) {
  const ParticleParams p;
  for (PhysicsParams physics : {p.Billboard.Physics, p.Emission.Physics}) {
    EXPECT_EQ(physics.ElasticityCoefficient, 2.0f);
    physics.ElasticityCoefficient = 0.0f;
    // Floats and ints only, no padding: the rest must be zero bytes.
    const std::array<std::byte, sizeof(PhysicsParams)> zeros{};
    EXPECT_EQ(std::memcmp(&physics, zeros.data(), sizeof physics), 0);
  }
  const BillboardParams& b = p.Billboard;
  EXPECT_TRUE(b.Color == D3DXCOLOR() && b.DestColor == D3DXCOLOR() && b.Scale == D3DXVECTOR3());
  EXPECT_EQ(b.PopTime + b.DelayStartTime + b.FallDelay + b.AnimCountU + b.RandomCreate + b.LockPosition, 0);
  EXPECT_EQ(b.VelocityAttenuation + b.ColorAttenuation + b.Weight + b.Altitude + b.CreateRange, 0.0f);
  EXPECT_FALSE(b.UseRandom || b.UseAnimation || b.AnimLoop || b.UsePhysics || b.RotateActive);
  EXPECT_TRUE(p.Mesh.Scale == D3DXVECTOR3() && p.Mesh.Color == D3DXCOLOR() && p.Mesh.PopTime == 0);
  const EmissionParams& e = p.Emission;
  EXPECT_EQ(e.Quantity + e.Behavior + e.ParticleType + e.Index + e.AddSeparateDelay, 0);
  EXPECT_EQ(e.Radius, 0.0f);
  EXPECT_TRUE(b.PlotPoints.empty() && e.SoundTracks.empty() && e.TextureTag.empty());
}

TEST(ParticleParamsTest, CopiesShareNoStringsOrLists) {
  ParticleParams original;
  original.Emission.TextureTag = "FLARE";
  original.Billboard.PlotPoints = {{{1.0f, 2.0f, 3.0f, 4.0f}, 5}};
  original.Emission.SoundTracks = {{"A", 0}};
  const ParticleParams before = original;

  ParticleParams copy = original;
  copy.Emission.TextureTag[0] = 'X';
  copy.Billboard.PlotPoints[0].Value[0] = 9.0f;
  copy.Billboard.PlotPoints.push_back({});
  copy.Emission.SoundTracks[0].TrackSound[0] = 'B';
  EXPECT_EQ(original.Emission.TextureTag, "FLARE");
  EXPECT_EQ(original.Billboard.PlotPoints, before.Billboard.PlotPoints);
  EXPECT_EQ(original.Emission.SoundTracks[0].TrackSound, "A");
  EXPECT_TRUE(original == before);
}

// The fields both kinds have live in one base record, but each kind keeps its own values: a
// definition starts with a billboard life of 50 frames and a mesh life of 100, and an edit of
// one never shows in the other.
TEST(ParticleParamsTest, BillboardAndMeshKeepTheirOwnCommonValues) {
  ParticleParams p = CEditor::BeginDefinition();
  EXPECT_EQ(p.Billboard.PopTime, 50);
  EXPECT_EQ(p.Mesh.PopTime, 100);
  const ParticleParams before = p;
  p.Billboard.Scale = {2.0f, 3.0f, 4.0f};
  p.Billboard.Trail = !p.Billboard.Trail;
  EXPECT_EQ(p.Mesh, before.Mesh);
  EXPECT_NE(p.Billboard, before.Billboard);  // equality sees the base record's fields
  CommonParams& mesh = p.Mesh;
  mesh.ColorAttenuation = 0.25f;
  EXPECT_EQ(p.Mesh.ColorAttenuation, 0.25f);
  EXPECT_EQ(p.Billboard.ColorAttenuation, before.Billboard.ColorAttenuation);
}

}  // namespace
