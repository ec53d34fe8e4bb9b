// Particle physics: where the grid files and looks, which boxes meet, what a collision
// does to a velocity, and that no particle is handed out, or read as a partner, once it
// moved away, was dropped or its emitter ended.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <span>
#include <string>
#include <vector>

#include "particle/physics_grid.h"
#include "support/headless_scene.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

TEST(PhysicsGridTest, FilingClampsAndQueryingLooksHalfACellOnOrNowhere) {
  struct Case {
    float coordinate;
    int filed, queried;
  };
  const Case cases[] = {{-30.0f, 0, 0},  {200.0f, 0, 1},   {249.0f, 0, 1},    {250.0f, 1, 1},
                        {-374.0f, 0, 0}, {-376.0f, 0, -1}, {4874.0f, 19, 19}, {4876.0f, 19, -1},
                        {1e30f, 19, -1}, {-1e30f, 0, -1},  {kInf, 19, -1},    {kNaN, 0, -1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.coordinate);
    EXPECT_EQ(PhysicsGrid::FilingIndex(c.coordinate), c.filed);
    EXPECT_EQ(PhysicsGrid::QueryIndex(c.coordinate), c.queried);
  }
}

TEST(PhysicsResponseTest, EachTypeGivesItsVelocity) {
  const D3DXVECTOR3 v(1.0f, 3.0f, -2.0f), w(0.5f, -1.0f, 4.0f);
  PhysicsParams physics;
  physics.PhysicsType = PHYSICS_NONE;
  EXPECT_EQ(PhysicsResponse(physics, v, w), v);

  physics.PhysicsType = PHYSICS_AIR;
  physics.DragCoefficient = physics.VectorFactor = 1.0f;
  EXPECT_EQ(PhysicsResponse(physics, v, w), v * 2.0f - w);
  physics.DragCoefficient = -0.5f;  // halfway towards the partner
  EXPECT_EQ(PhysicsResponse(physics, v, w), (v + w) * 0.5f);

  // A bounce along a zero normal stops the particle; each bounce halves the next one's factor.
  physics.PhysicsType = PHYSICS_BOUNCE;
  physics.BounceFactor = 1.0f;
  EXPECT_EQ(PhysicsResponse(physics, v, w), D3DXVECTOR3());
  EXPECT_EQ(physics.BounceFactor, 0.5f);
  physics.BounceNormal = {0.0f, 1.0f, 0.0f};  // d = 3, E = 2: y = (3 - 2) x 3 x 0.5
  EXPECT_EQ(PhysicsResponse(physics, v, w), D3DXVECTOR3(0.0f, 1.5f, 0.0f));
  EXPECT_EQ(physics.BounceFactor, 0.25f);

  physics.PhysicsType = 7;
  EXPECT_EQ(PhysicsResponse(physics, v, w), D3DXVECTOR3());
}

class PhysicsTest : public HeadlessScene {
 protected:
  static ParticleParams Definition(int quantity, bool usePhysics, int type = PHYSICS_AIR, int popTime = 50) {
    ParticleParams d;
    d.Billboard.Scale = {10.0f, 10.0f, 0.0f};
    d.Billboard.PopTime = popTime;
    d.Billboard.Position = {60.0f, 60.0f, 60.0f};
    d.Emission.Quantity = quantity;
    d.Emission.TextureTag = "FLARE";
    d.Emission.UsePhysics = usePhysics;
    d.Emission.Physics.PhysicsType = type;
    d.Emission.Physics.DragCoefficient = d.Emission.Physics.VectorFactor = 1.0f;
    return d;
  }
  // An emitter whose first definition only makes the grid the rest are filed in.
  static CParticleEmitter* Emit(std::vector<ParticleParams> definitions) {
    definitions.insert(definitions.begin(), Definition(0, true));
    Table()["PHYSICS"] = std::move(definitions);
    return CParticleEmitter::Create("PHYSICS");
  }
};

TEST_F(PhysicsTest, ParticlesAreFiledClampedAndFoundHalfACellOn) {
  ParticleParams d = Definition(3, true);
  CParticleEmitter* emitter = Emit({d});
  const auto& p = emitter->GetParticles();
  PhysicsGrid* grid = p[0]->GetGrid();
  ASSERT_NE(grid, nullptr);
  const D3DXVECTOR3 at[] = {{-30.0f, 0.0f, 0.0f}, {200.0f, 0.0f, 0.0f}, {kNaN, 1e30f, -kInf}};
  for (int i = 0; i < 3; ++i) p[i]->SetPos(at[i]);
  for (CParticle* particle : p) grid->Refile(particle->GetGridId());
  EXPECT_EQ(grid->CellOf(p[0]->GetGridId()), 0);
  EXPECT_EQ(grid->CellOf(p[1]->GetGridId()), 0);
  EXPECT_EQ(grid->CellOf(p[2]->GetGridId()), 19 * PhysicsGrid::kCellsPerAxis);  // (0, 19, 0)
  auto found = [](std::span<CParticle* const> cell, const CParticle* particle) {
    return std::find(cell.begin(), cell.end(), particle) != cell.end();
  };
  EXPECT_TRUE(found(grid->Query(at[0]), p[0]));
  EXPECT_FALSE(found(grid->Query(at[1]), p[1])) << "a query at x = 200 looks in cell 1";
  EXPECT_TRUE(grid->Query(at[2]).empty());
  EXPECT_EQ(grid->Filed(), 3u);
}

// Boxes of 20 either way: 30 apart on one axis they meet and become each other's partners,
// 41 apart each meets only itself. Under PHYSICS_AIR with both factors 1 the velocity
// becomes 2v - w, w the partner's velocity as it last took it.
TEST_F(PhysicsTest, BoxesThirtyApartMeetAndFortyOneApartDoNot) {
  for (float apart : {30.0f, 41.0f}) {
    SCOPED_TRACE(apart);
    ParticleParams d = Definition(2, true);
    CParticleEmitter* emitter = Emit({d});
    CParticle* a = emitter->GetParticles()[0];
    CParticle* b = emitter->GetParticles()[1];
    a->SetPos({50.0f, 50.0f, 50.0f});
    b->SetPos({50.0f + apart, 50.0f, 50.0f});
    Frame();
    if (apart == 30.0f) {
      EXPECT_EQ(a->GetPartner(), b);
      EXPECT_EQ(b->GetPartner(), a);
      EXPECT_TRUE(a->IsCollisionPending()) << "marked again by b's test, after its own response";
      EXPECT_FALSE(b->IsCollisionPending());
    } else {
      EXPECT_EQ(a->GetPartner(), a);
      EXPECT_EQ(b->GetPartner(), b);
      EXPECT_FALSE(a->IsCollisionPending() || b->IsCollisionPending());
    }
    emitter->Uninit();
    Frame();
  }
}

TEST_F(PhysicsTest, AirGivesTwiceTheVelocityLessThePartnersAndALoneParticleKeepsItsOwn) {
  ParticleParams d = Definition(2, true);
  CParticleEmitter* emitter = Emit({d});
  CParticle* a = emitter->GetParticles()[0];
  CParticle* b = emitter->GetParticles()[1];
  const D3DXVECTOR3 va(1.0f, 0.0f, 0.0f), vb(0.0f, 2.0f, 0.0f);
  a->SetMove(va);
  b->SetMove(vb);
  Frame();
  // a answers first, when b has taken no velocity yet; b then answers a's.
  ExpectNear(a->GetMove(), va * 2.0f);
  ExpectNear(b->GetMove(), vb * 2.0f - va);

  for (int type : {PHYSICS_NONE, PHYSICS_AIR, PHYSICS_BOUNCE}) {
    SCOPED_TRACE(type);
    CParticle* lone = Emit({Definition(1, true, type)})->GetParticles()[0];
    lone->SetMove(va);
    Frame();
    EXPECT_EQ(lone->GetPartner(), lone);
    // A bounce, along the normal no definition sets, stops it.
    ExpectNear(lone->GetMove(), type == PHYSICS_BOUNCE ? D3DXVECTOR3() : va);
  }
}

TEST_F(PhysicsTest, ParticlesSpawnedBeforeTheGridNeverCollide) {
  ParticleParams first = Definition(2, true), second = Definition(2, true);
  Table()["EARLY"] = {first, second};
  CParticleEmitter* emitter = CParticleEmitter::Create("EARLY");
  ASSERT_EQ(emitter->GetGrids().size(), 2u);
  const auto& p = emitter->GetParticles();
  for (CParticle* particle : p) particle->SetMove({0.5f, 0.0f, 0.0f});
  Frame(3);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(p[i]->GetGrid(), nullptr);
    EXPECT_EQ(p[i]->GetPartner(), nullptr);
    EXPECT_FALSE(p[i]->IsCollisionPending()) << "at the same point as the later ones, unseen by them";
    ExpectNear(p[i]->GetMove(), {0.5f, 0.0f, 0.0f});
  }
  EXPECT_EQ(p[2]->GetGrid(), emitter->GetGrids()[0].get());
  EXPECT_EQ(p[2]->GetGrid()->Filed(), 2u);
}

TEST_F(PhysicsTest, AParticleCrossingACellIsListedOnceInItsNewCell) {
  ParticleParams d = Definition(1, true, PHYSICS_NONE);
  d.Billboard.Position = {230.0f, 60.0f, 60.0f};
  d.Billboard.Velocity = {15.0f, 0.0f, 0.0f};
  CParticle* p = Emit({d})->GetParticles()[0];
  PhysicsGrid* grid = p->GetGrid();
  Frame(3);  // x = 245, 260, 275
  EXPECT_GT(p->GetPos().x, 250.0f);
  EXPECT_EQ(grid->CellOf(p->GetGridId()), 1 * PhysicsGrid::kCellsPerAxis * PhysicsGrid::kCellsPerAxis);
  EXPECT_EQ(grid->Listings(p), 1u);
  EXPECT_EQ(grid->Filed(), 1u);
}

// Particles filed without physics of their own (a definition without it, after one with it)
// are met by a later physics particle, which dies first: once dropped it is in no cell and
// nobody's partner, so their pending collision finds no partner to read.
TEST_F(PhysicsTest, ADroppedParticleIsInNoCellAndNobodysPartner) {
  CParticleEmitter* emitter = Emit({Definition(2, false, PHYSICS_NONE), Definition(1, true, PHYSICS_AIR, 2)});
  const std::vector<CParticle*> p = emitter->GetParticles();
  CParticle* dropped = p[2];
  PhysicsGrid* grid = dropped->GetGrid();
  ASSERT_TRUE(grid && p[0]->GetGrid() == grid && p[1]->GetGrid() == grid);
  Frame(2);
  for (CParticle* other : {p[0], p[1]})
    EXPECT_TRUE(other->GetPartner() == dropped && other->IsCollisionPending());
  ASSERT_EQ(dropped->GetLife(), 0);
  emitter->Update();  // drops it, as the next frame's sweep does first
  EXPECT_EQ(grid->Listings(dropped), 0u);
  EXPECT_EQ(grid->Filed(), 2u);
  EXPECT_EQ(dropped->GetGrid(), nullptr);
  for (CParticle* other : {p[0], p[1]}) EXPECT_EQ(other->GetPartner(), nullptr);
  Frame(3);  // deleted; the others update on without reading it
  EXPECT_EQ(emitter->GetParticles().size(), 2u);
  EXPECT_TRUE(p[0]->IsCollisionPending() && p[0]->GetPartner() == nullptr);
}

TEST_F(PhysicsTest, AnEmitterThatEndsFreesEveryGridAfterDetachingItsParticles) {
  const std::size_t before = Registry().size();
  // Three grids: the first unused, the second holding the 2nd definition, the third the 3rd.
  CParticleEmitter* emitter = Emit({Definition(2, true), Definition(2, true, PHYSICS_AIR, 3)});
  ASSERT_EQ(emitter->GetGrids().size(), 3u);
  const std::vector<CParticle*> p = emitter->GetParticles();
  EXPECT_EQ(p[0]->GetGrid(), emitter->GetGrids()[0].get());
  EXPECT_EQ(p[2]->GetGrid(), emitter->GetGrids()[1].get());
  Frame(2);
  emitter->Uninit();
  EXPECT_TRUE(emitter->GetGrids().empty());
  for (CParticle* particle : p)
    EXPECT_TRUE(particle->GetGrid() == nullptr && particle->GetPartner() == nullptr);
  Frame();  // the particles' last updates and purges reach no grid
  EXPECT_EQ(Registry().size(), before);

  // Ending by itself: the last lives run out together, and the particles the registry still
  // updates after the emitter in that sweep find no grid.
  Emit({Definition(3, true, PHYSICS_AIR, 2)});
  Frame(4);
  EXPECT_EQ(Registry().size(), before);
}

}  // namespace
