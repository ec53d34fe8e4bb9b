// Trails on the Null device: how the strip grows, moves, takes its colours and fades, the
// states its draw sets and puts back, and how it follows and ends with its particle.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "particle/mesh_particle.h"
#include "particle/trail.h"
#include "support/headless_scene.h"

namespace {

using Vertex = gfx::SceneVertex;

std::vector<Vertex> Vertices(const CTrail* trail) {
  const auto bytes = trail->GetVertexBuffer()->Bytes();
  std::vector<Vertex> v(bytes.size() / sizeof(Vertex));
  std::memcpy(v.data(), bytes.data(), v.size() * sizeof(Vertex));
  return v;
}
D3DXVECTOR3 Position(const Vertex& v) {
  return {v.x, v.y, v.z};
}
DWORD RedOf(const Vertex& v) {
  return (v.color >> 16) & 0xFF;
}

D3DXMATRIX At(float x, float y, float z) {
  D3DXMATRIX m;
  D3DXMatrixTranslation(&m, x, y, z);
  return m;
}

class TrailTest : public HeadlessScene {
 protected:
  static CTrail* Make() {
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    return CTrail::Create({}, identity, "FLARE");
  }
  // The trail's draws alone.
  static std::vector<gfx::RecordedDraw> RecordDraw(CTrail* trail) {
    gfx::NullDevice* device = Device();
    device->ClearRecord();
    device->SetRecording(true);
    device->BeginScene();
    trail->Draw();
    device->EndScene();
    device->SetRecording(false);
    return device->Draws();
  }
  static constexpr D3DXCOLOR kWhite{1.0f, 1.0f, 1.0f, 1.0f};
  static constexpr D3DXCOLOR kBlack{0.0f, 0.0f, 0.0f, 1.0f};
};

// ---- the strip ------------------------------------------------------------------------------------

// The strip draws from its head up to the last vertex whose alpha still passes the test
// (215: 40 updates after a head of alpha 255), and never its last, fresh pair. A new head
// colour rewrites the head pair at once, so the last white head is the one of update 599.
TEST_F(TrailTest, GrowsByAPairUpToItsCountAndDrawsWhatTheAlphaTestCanPass) {
  CTrail* trail = Make();
  struct Step {
    int updates;  // in total
    int count;
    UINT vertices;  // drawn, 0 for no draw
    float headAlpha = 1.0f;
  };
  const Step steps[] = {{0, 0, 0},           {1, 2, 0},       {2, 4, 0},
                        {3, 6, 4},           {4, 8, 6},       {60, 120, 84},
                        {511, 1022, 84},     {600, 1022, 84}, {639, 1022, 84, 0.5f},
                        {640, 1022, 0, 0.5f}};
  int done = 0;
  for (const Step& s : steps) {
    SCOPED_TRACE(s.updates);
    for (; done < s.updates; ++done) {
      trail->Set(At(static_cast<float>(done + 1), 0.0f, 0.0f),
                 {kBlack, {1.0f, 1.0f, 1.0f, s.headAlpha}, 1.0f, false});
      trail->Update();
    }
    EXPECT_EQ(trail->GetCount(), s.count);
    const auto draws = RecordDraw(trail);
    ASSERT_EQ(draws.size(), s.vertices ? 1u : 0u);
    if (draws.empty()) continue;
    EXPECT_EQ(draws[0].type, D3DPT_TRIANGLESTRIP);
    EXPECT_EQ(draws[0].startVertex, 0u);
    EXPECT_EQ(draws[0].vertexCount, s.vertices);
  }
  // The head is the newest position, each older pair one update further back; past the
  // counted vertices the buffer keeps its fill. Once full, the texture runs along it all.
  const auto v = Vertices(trail);
  for (int j : {1, 3, 41, 81}) EXPECT_EQ(v[j].x, static_cast<float>(640 - j / 2)) << j;
  for (int j : {1022, 1023}) EXPECT_EQ(Position(v[j]), D3DXVECTOR3()) << j;
  EXPECT_FLOAT_EQ(v[1021].u, 1.0f);
  EXPECT_TRUE(v[1020].v == 0.0f && v[1021].v == 1.0f);
}

TEST_F(TrailTest, FirstTrianglesJoinTheLastTwoHeadsAndWidthGivesThemArea) {
  for (float width : {0.0f, 2.0f}) {
    SCOPED_TRACE(width);
    CTrail* trail = Make();
    for (int i = 1; i <= 3; ++i) {
      trail->Set(At(10.0f * i, 5.0f, 0.0f), {kBlack, kWhite, width, false});
      trail->Update();
    }
    const auto v = Vertices(trail);
    // Strip vertices 0..3: the sides of heads 3 and 2.
    const D3DXVECTOR3 expected[] = {{30, 5 + width, 0}, {30, 5, 0}, {20, 5 + width, 0}, {20, 5, 0}};
    for (int j = 0; j < 4; ++j) EXPECT_EQ(Position(v[j]), expected[j]) << j;
    // Twice the area of the first triangle.
    const D3DXVECTOR3 a = Position(v[1]) - Position(v[0]), b = Position(v[2]) - Position(v[0]);
    D3DXVECTOR3 cross;
    D3DXVec3Cross(&cross, &a, &b);
    EXPECT_EQ(D3DXVec3Length(&cross), width * 10.0f);
  }
}

// The ramp runs three times as fast as its length: with head white and ramp black the
// colour is black from a third of the way on; from black towards a grey it overshoots it.
// Thirty updates in, the whole strip still shows; its last update walked 58 vertices.
TEST_F(TrailTest, RampReachesItsColourAThirdOfTheWayAndOvershootsIt) {
  struct Case {
    D3DXCOLOR head, ramp;
    DWORD redAt57;
  };
  const Case cases[] = {{kWhite, kBlack, 0}, {kBlack, {0.25f, 0.25f, 0.25f, 1.0f}, 188}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.redAt57);
    CTrail* trail = Make();
    for (int i = 0; i < 30; ++i) {
      trail->Set(At(0.0f, static_cast<float>(i), 0.0f), {c.ramp, c.head, 1.0f, false});
      trail->Update();
    }
    ASSERT_EQ(trail->GetCount(), 60);
    EXPECT_TRUE(trail->GetHeadColor() == c.head && trail->GetRampColor() == c.ramp);
    const auto draws = RecordDraw(trail);
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].vertexCount, 58u) << "all but the fresh pair";
    const auto v = Vertices(trail);
    for (int j = 2; j < 58; ++j) {
      const float u = static_cast<float>(j) / 58.0f;
      const float red = c.head.r + (c.ramp.r - c.head.r) * u * 3.0f;
      const DWORD expected = red >= 1.0f ? 255 : red <= 0.0f ? 0 : static_cast<DWORD>(red * 255.0f + 0.5f);
      ASSERT_EQ(RedOf(v[j]), expected) << j;
    }
    EXPECT_EQ(RedOf(v[57]), c.redAt57);
    if (c.head == kWhite) {
      const auto firstBlack =
          std::find_if(v.begin(), v.begin() + 58, [](const Vertex& x) { return RedOf(x) == 0; });
      EXPECT_EQ(firstBlack - v.begin(), 58 / 3 + 1) << "black a third of the way along";
    }
    // The head in the head colour; its second vertex barely visible.
    EXPECT_EQ(v[1].color, D3DXColorToD3DCOLOR(c.head));
    EXPECT_EQ(v[0].color, (D3DXColorToD3DCOLOR(c.head) & 0x00FFFFFFu) | 26u << 24);
  }
}

// The whole strip as it would be if every vertex moved back by a pair, lost one alpha step
// and took its ramp colour on every update: what the trail draws must be exactly that.
class WholeStrip {
 public:
  WholeStrip() : v_(CTrail::kVertices, Vertex{0, 0, 0, 0, 1, 0, 0, 0, 1}) {}
  void Set(const D3DXMATRIX& parent, const CTrail::Settings& s) {
    parent_ = parent, width_ = s.width, head_ = s.second, ramp_ = s.first;
    v_[1].color = D3DXColorToD3DCOLOR(head_);
    v_[0].color = Rgb(head_) | 26u << 24;
  }
  void Update() {
    const int grown = std::min(count_ + 2, CTrail::kMaxCount);
    for (int j = count_ - 1; j >= 2; --j) {
      std::memcpy(&v_[j].x, &v_[j - 2].x, 3 * sizeof(float));
      const DWORD alpha = Pack(static_cast<float>(v_[j - 2].color >> 24) / 255.0f - 0.005f);
      const float u = static_cast<float>(j) / static_cast<float>(count_);
      auto along = [u](float a, float b) { return a + (b - a) * u * 3.0f; };
      v_[j].color =
          alpha << 24 | Rgb({along(head_.r, ramp_.r), along(head_.g, ramp_.g), along(head_.b, ramp_.b), 0});
    }
    D3DXVECTOR3 point, side(0.0f, width_, 0.0f);
    D3DXVec3TransformCoord(&point, &side, &parent_);
    v_[0].x = point.x, v_[0].y = point.y, v_[0].z = point.z;
    v_[1].x = parent_.m[3][0], v_[1].y = parent_.m[3][1], v_[1].z = parent_.m[3][2];
    v_[1].color = D3DXColorToD3DCOLOR(head_);
    v_[0].color = Rgb(head_) | 26u << 24;
    if (grown != count_)
      for (int j = 0; j < grown; ++j) v_[j].u = static_cast<float>(j) / static_cast<float>(grown - 1);
    for (int j = 0; j < grown; ++j) v_[j].v = (j & 1) ? 1.0f : 0.0f;
    count_ = grown;
  }
  const Vertex& operator[](int j) const { return v_[static_cast<std::size_t>(j)]; }

 private:
  static DWORD Pack(float f) {
    return f >= 1.0f ? 255 : !(f > 0.0f) ? 0 : static_cast<DWORD>(f * 255.0f + 0.5f);
  }
  static DWORD Rgb(const D3DXCOLOR& c) { return Pack(c.r) << 16 | Pack(c.g) << 8 | Pack(c.b); }
  std::vector<Vertex> v_;
  D3DXMATRIX parent_;
  D3DXCOLOR head_{0, 0, 0, 0}, ramp_{0, 0, 0, 0};
  float width_ = 0.0f;
  int count_ = 0;
};

// Colours that change every update while the strip grows and after it is full; a head
// too faint to show, then a bright one with another ramp held still (the visible part
// grows back over vertices last coloured for the old ramp); then fading heads again.
TEST_F(TrailTest, WhatIsDrawnIsTheWholeStripMovedFadedAndRecolouredEveryUpdate) {
  CTrail* trail = Make();
  WholeStrip whole;
  std::size_t drawnSome = 0;
  for (int i = 0; i < 1400; ++i) {
    const float phase = static_cast<float>(i % 170) / 170.0f;
    D3DXCOLOR head = i % 400 < 200 ? kWhite : D3DXCOLOR(1.0f, phase, 0.2f, 1.0f - phase);
    D3DXCOLOR ramp{0.1f, 0.9f * phase, 0.4f, 1.0f};
    if (i >= 600 && i < 700) head = {1.0f, 1.0f, 1.0f, 0.5f}, ramp = {0.1f, 0.9f, 0.4f, 1.0f};
    if (i >= 700 && i < 900) head = kWhite, ramp = {0.8f, 0.1f, 0.4f, 1.0f};
    const CTrail::Settings settings{ramp, head, 1.5f, false};
    const D3DXMATRIX parent = At(static_cast<float>(i), 3.0f * phase, 0.0f);
    trail->Set(parent, settings);
    whole.Set(parent, settings);
    // A new head colour reaches the head vertices at once, before the update moves them.
    ASSERT_EQ(Vertices(trail)[1].color, whole[1].color) << "update " << i;
    trail->Update();
    whole.Update();
    const auto draws = RecordDraw(trail);
    if (draws.empty()) continue;
    ++drawnSome;
    const auto v = Vertices(trail);
    for (int j = 0; j < static_cast<int>(draws[0].vertexCount); ++j) {
      ASSERT_EQ(Position(v[j]), Position(whole[j])) << "update " << i << ", vertex " << j;
      ASSERT_EQ(v[j].color, whole[j].color) << "update " << i << ", vertex " << j;
      ASSERT_EQ(v[j].u, whole[j].u) << "update " << i << ", vertex " << j;
      ASSERT_EQ(v[j].v, whole[j].v) << "update " << i << ", vertex " << j;
    }
  }
  EXPECT_GT(drawnSome, 1000u);
}

TEST_F(TrailTest, DrawSetsAdditiveUnlitStatesAndPutsThemBack) {
  gfx::NullDevice* device = Device();
  // Culling and the alpha reference and function are put back as found.
  const std::pair<D3DRENDERSTATETYPE, DWORD> found[] = {
      {D3DRS_CULLMODE, D3DCULL_CW}, {D3DRS_ALPHAREF, 7}, {D3DRS_ALPHAFUNC, D3DCMP_NOTEQUAL}};
  for (auto [state, value] : found) device->SetRenderState(state, value);
  for (bool useTexture : {false, true}) {
    SCOPED_TRACE(useTexture);
    CTrail* trail = Make();
    ASSERT_NE(trail->GetTexture(), nullptr);
    for (int i = 0; i < 4; ++i) {
      trail->Set(At(0.0f, static_cast<float>(i), 0.0f), {kBlack, kWhite, 1.0f, useTexture});
      trail->Update();
    }
    const auto draws = RecordDraw(trail);
    ASSERT_EQ(draws.size(), 1u);
    const gfx::RecordedDraw& d = draws[0];
    struct State {
      D3DRENDERSTATETYPE state;
      DWORD during, after;
    };
    const State states[] = {{D3DRS_SRCBLEND, D3DBLEND_SRCALPHA, D3DBLEND_SRCALPHA},
                            {D3DRS_DESTBLEND, D3DBLEND_ONE, D3DBLEND_INVSRCALPHA},
                            {D3DRS_BLENDOP, D3DBLENDOP_ADD, D3DBLENDOP_ADD},
                            {D3DRS_ZFUNC, D3DCMP_LESSEQUAL, D3DCMP_LESSEQUAL},
                            {D3DRS_ZWRITEENABLE, FALSE, TRUE},
                            {D3DRS_ALPHATESTENABLE, TRUE, FALSE},
                            {D3DRS_ALPHAREF, 215, 7},
                            {D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL, D3DCMP_NOTEQUAL},
                            {D3DRS_LIGHTING, FALSE, TRUE},
                            {D3DRS_CULLMODE, D3DCULL_NONE, D3DCULL_CW}};
    for (const State& s : states) {
      DWORD now = 0;
      device->GetRenderState(s.state, &now);
      EXPECT_EQ(d.renderStates[s.state], s.during) << s.state;
      EXPECT_EQ(now, s.after) << s.state;
    }
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    EXPECT_EQ(d.world, identity) << "the vertices are in world space";
    EXPECT_EQ(d.buffer, trail->GetVertexBuffer());
    EXPECT_EQ(d.layout, gfx::VertexLayout::FromFVF(gfx::kSceneVertexFvf));
    EXPECT_EQ(d.texture, useTexture ? trail->GetTexture() : nullptr);
    EXPECT_EQ(device->GetTexture(0), nullptr);
  }
}

// ---- following a particle -------------------------------------------------------------------------

TEST_F(TrailTest, WaitsHiddenWithItsParticleAndStartsWhereTheParticleIs) {
  BillboardParams b;
  b.Scale = {10.0f, 10.0f, 0.0f};
  b.PopTime = 50;
  b.DelayStartTime = 2;
  b.Position = {100.0f, 50.0f, 30.0f};
  b.Velocity = {1.0f, 0.0f, 0.0f};
  b.Trail = true;
  b.TrailWidth = 2.0f;
  b.Color = {1.0f, 0.0f, 0.0f, 1.0f};
  b.DestColor = {0.0f, 0.0f, 1.0f, 1.0f};
  b.BeginTrailColor = {0.0f, 1.0f, 0.0f, 1.0f};
  b.EndTrailColor = {1.0f, 1.0f, 0.0f, 1.0f};
  for (bool separate : {false, true}) {
    SCOPED_TRACE(separate);
    b.SeparateTrailColors = separate;
    CParticle* p = CParticle::Create(b, "FLARE", nullptr, nullptr);
    CTrail* trail = p->GetTrail();
    ASSERT_NE(trail, nullptr);
    Frame(2);
    EXPECT_TRUE(trail->IsStopped() && trail->IsHidden());
    EXPECT_EQ(trail->GetCount(), 0);
    Frame();  // the first active update, before the particle ever drew
    EXPECT_FALSE(trail->IsStopped() || trail->IsHidden());
    ASSERT_EQ(trail->GetCount(), 2);
    const auto v = Vertices(trail);
    const D3DXVECTOR3 moved = b.Position + b.Velocity, side = Position(v[0]) - moved;
    EXPECT_EQ(Position(v[1]), moved);
    EXPECT_NEAR(D3DXVec3Length(&side), 2.0f, 1e-4f);
    Frame(3);
    const auto later = Vertices(trail);
    for (int j = 0; j < trail->GetCount() - 2; ++j) {
      const D3DXVECTOR3 at = Position(later[j]);
      EXPECT_GT(D3DXVec3Length(&at), 90.0f) << "no vertex near the origin: " << j;
    }
    // The head in the second colour, the ramp towards the first.
    EXPECT_EQ(trail->GetHeadColor(), separate ? b.EndTrailColor : b.DestColor);
    EXPECT_EQ(trail->GetRampColor(), separate ? b.BeginTrailColor : b.Color);
    EXPECT_FLOAT_EQ(trail->GetWidth(), 2.0f);
    p->SetDeath();
  }
}

TEST_F(TrailTest, TrailLeavesTheRegistryInTheFrameItsParticleIsDropped) {
  ParticleParams billboard;
  billboard.Billboard.Scale = {10.0f, 10.0f, 0.0f};
  billboard.Billboard.PopTime = 3;
  billboard.Billboard.Trail = true;
  billboard.Emission.Quantity = 2;
  billboard.Emission.TextureTag = "FLARE";
  ParticleParams mesh;
  mesh.Emission.ParticleType = Object_Mesh;
  mesh.Emission.ModelTag = "CUBE";
  mesh.Emission.Quantity = 1;
  mesh.Mesh.Scale = {1.0f, 1.0f, 1.0f};
  mesh.Mesh.PopTime = 5;
  mesh.Mesh.Trail = true;
  mesh.Mesh.Position = {5.0f, 6.0f, 7.0f};
  Table()["TRAILS"] = {billboard, mesh};
  const std::size_t before = Registry().size();
  CParticleEmitter* emitter = CParticleEmitter::Create("TRAILS");
  ASSERT_EQ(Registry().size(), before + 7) << "the emitter, three particles and their trails";
  CTrail* meshTrail = emitter->GetMeshParticles()[0]->GetTrail();
  ASSERT_NE(meshTrail, nullptr);
  std::vector<std::size_t> counts;
  for (int frame = 1; frame <= 6; ++frame) {
    Frame();
    counts.push_back(Registry().size() - before);
    // The mesh's trail starts where the mesh is, not from a world no draw has set yet.
    if (frame == 1) {
      EXPECT_EQ(Position(Vertices(meshTrail)[1]), mesh.Mesh.Position);
    }
  }
  // Lives of 3 and 5: each particle goes with its trail in the frame after its life ran out.
  EXPECT_EQ(counts, (std::vector<std::size_t>{7, 7, 7, 3, 3, 0}));
}

}  // namespace
