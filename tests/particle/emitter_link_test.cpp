// Particles reach their emitter through its id in the table of playing emitters: an id
// whose emitter ended names nobody, also once another emitter took its slot, and an emitter
// learns of lives run out and of particles ending on their own without touching any of them.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "particle/mesh_particle.h"
#include "scene/shared_state.h"
#include "support/headless_scene.h"

namespace {

class EmitterLinkTest : public HeadlessScene {
 protected:
  static ParticleParams Billboards(int quantity, int popTime, bool usePhysics = false) {
    ParticleParams d;
    d.Billboard.Scale = {10.0f, 10.0f, 0.0f};
    d.Billboard.PopTime = popTime;
    d.Emission.Quantity = quantity;
    d.Emission.TextureTag = "FLARE";
    d.Emission.UsePhysics = usePhysics;
    return d;
  }
  static ParticleParams Meshes(int quantity, int popTime) {
    ParticleParams d;
    d.Mesh.Scale = {1.0f, 1.0f, 1.0f};
    d.Mesh.PopTime = popTime;
    d.Emission.ParticleType = Object_Mesh;
    d.Emission.Quantity = quantity;
    d.Emission.ModelTag = "CUBE";
    return d;
  }
  static CParticleEmitter* Emit(const std::string& tag, std::vector<ParticleParams> definitions) {
    Table()[tag] = std::move(definitions);
    return CParticleEmitter::Create(tag);
  }
};

TEST_F(EmitterLinkTest, AClosedIdNamesNobodyEvenWhenItsSlotHoldsAnotherEmitter) {
  CParticleEmitter* first = Emit("FIRST", {});
  CParticleEmitter* second = Emit("SECOND", {});
  EmitterSlots slots;
  const EmitterSlots::Id a = slots.Open(first);
  EXPECT_EQ(slots.Resolve(a), first);
  EXPECT_FALSE(slots.BeginSweep(a)) << "no life ran out yet";
  EXPECT_EQ(slots.NoteExpired(a), 0u);
  EXPECT_FALSE(slots.HasSwept(a, 0));
  EXPECT_TRUE(slots.BeginSweep(a));
  EXPECT_TRUE(slots.HasSwept(a, 0));
  EXPECT_FALSE(slots.BeginSweep(a)) << "the count started over";

  slots.Close(a);
  const EmitterSlots::Id b = slots.Open(second);
  ASSERT_EQ(b.slot, a.slot) << "the freed slot is taken again";
  EXPECT_EQ(slots.Resolve(a), nullptr);
  EXPECT_EQ(slots.Resolve(b), second);
  slots.NoteExpired(a);
  EXPECT_FALSE(slots.BeginSweep(b)) << "a note through the old id counts for nobody";
  slots.Close(a);
  EXPECT_EQ(slots.Resolve(b), second) << "closing the old id again leaves the new emitter";
  EXPECT_EQ(slots.OpenCount(), 1u);
}

// An emitter ends before its particles: they are marked dead but are still updated, and
// ended, in the same frame; none of it may reach the emitter or the grids it freed.
TEST_F(EmitterLinkTest, ParticlesOutlivingTheirEmitterReachNeitherItNorItsGrids) {
  const std::size_t before = Registry().size();
  CParticleEmitter* emitter = Emit("GONE", {Billboards(0, 1, true), Billboards(2, 2, true), Meshes(1, 2)});
  const std::vector<CParticle*> billboards = emitter->GetParticles();
  const std::vector<CMeshParticle*> meshes = emitter->GetMeshParticles();
  ASSERT_EQ(billboards.size(), 2u);
  ASSERT_NE(billboards[0]->GetGrid(), nullptr);
  emitter->Uninit();
  for (CParticle* p : billboards) {
    EXPECT_TRUE(p->IsDeath());
    EXPECT_EQ(p->GetEmitter(), nullptr);
    EXPECT_EQ(p->GetGrid(), nullptr);
    EXPECT_EQ(p->GetPartner(), nullptr);
    for (int i = 0; i < 3; ++i) p->Update();  // lives run out with nobody to tell
    p->Uninit();
  }
  for (CMeshParticle* p : meshes) {
    EXPECT_TRUE(p->IsDeath() && p->GetEmitter() == nullptr);
    for (int i = 0; i < 3; ++i) p->Update();
  }
  Frame();  // the emitter is deleted before its particles, whose ends follow in the same purge
  EXPECT_EQ(Registry().size(), before);
}

TEST_F(EmitterLinkTest, AParticleOfAnEndedEmitterNeverReachesTheNextOneInItsSlot) {
  CParticleEmitter* ended = Emit("ENDED", {Billboards(0, 1, true), Billboards(1, 1, true), Meshes(1, 1)});
  const EmitterSlots::Id endedId = ended->GetId();
  CParticle* billboard = ended->GetParticles()[0];
  CMeshParticle* mesh = ended->GetMeshParticles()[0];
  ended->Uninit();

  CParticleEmitter* next = Emit("NEXT", {Billboards(0, 50, true), Billboards(2, 50, true), Meshes(1, 50)});
  ASSERT_EQ(next->GetId().slot, endedId.slot) << "the new emitter takes the slot";
  EXPECT_EQ(billboard->GetEmitter(), nullptr);
  EXPECT_EQ(mesh->GetEmitter(), nullptr);
  EXPECT_EQ(billboard->GetGrid(), nullptr) << "not the new emitter's grid, nor the freed one";
  billboard->Update();  // both lives run out
  mesh->Update();
  ASSERT_TRUE(billboard->GetLife() == 0 && mesh->GetLife() == 0);
  EXPECT_FALSE(Shared().emitters.BeginSweep(next->GetId())) << "their lives count for nobody";
  billboard->Uninit();
  mesh->Uninit();
  EXPECT_EQ(next->GetParticles().size(), 2u);
  EXPECT_EQ(next->GetMeshParticles().size(), 1u);
  for (CParticle* p : next->GetParticles()) EXPECT_EQ(p->GetEmitter(), next);
  EXPECT_EQ(next->GetGrids().size(), 2u);
  EXPECT_EQ(next->GetGrids()[0]->Filed(), 2u);
}

// A life that ran out is dropped at the emitter's next update; a particle ending on its own
// before that still takes itself off the list, and one ending after it has nothing to take.
TEST_F(EmitterLinkTest, AParticleEndingBetweenItsLastLifeAndTheSweepStillLeavesTheList) {
  CParticleEmitter* emitter =
      Emit("BETWEEN", {Billboards(1, 1), Billboards(1, 1), Billboards(1, 100), Meshes(1, 1), Meshes(1, 100)});
  const std::vector<CParticle*> p = emitter->GetParticles();
  const std::vector<CMeshParticle*> m = emitter->GetMeshParticles();
  for (CParticle* particle : p) particle->Update();
  for (CMeshParticle* particle : m) particle->Update();
  ASSERT_EQ(p[0]->GetLife(), 0);
  p[0]->Uninit();  // before the sweep: still listed until now
  m[0]->Uninit();
  EXPECT_EQ(emitter->GetParticles(), (std::vector<CParticle*>{p[1], p[2]}));
  EXPECT_EQ(emitter->GetMeshParticles(), (std::vector<CMeshParticle*>{m[1]}));
  emitter->Update();  // drops p[1]
  EXPECT_TRUE(p[1]->IsDeath());
  EXPECT_EQ(emitter->GetParticles(), (std::vector<CParticle*>{p[2]}));
  EXPECT_EQ(p[1]->GetEmitter(), emitter) << "the emitter still plays";
  p[1]->Uninit();
  EXPECT_EQ(emitter->GetParticles(), (std::vector<CParticle*>{p[2]}));
  EXPECT_FALSE(emitter->IsDeath());
  Frame();
  EXPECT_EQ(emitter->GetParticles(), (std::vector<CParticle*>{p[2]}));
  EXPECT_EQ(emitter->GetMeshParticles(), (std::vector<CMeshParticle*>{m[1]}));
}

}  // namespace
