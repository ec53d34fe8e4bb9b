#include <gtest/gtest.h>

#include "resource/sound_manager.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

#include "particle/mesh_particle.h"
#include "platform/message_sink.h"
#include "scene/object_pool.h"
#include "scene/shared_state.h"
#include "support/headless_scene.h"

namespace {

class EmitterTest : public HeadlessScene {
 protected:
  static ParticleParams Definition(int quantity, int popTime = 50, float scale = 10.0f) {
    ParticleParams d;
    d.Billboard.Scale = {scale, scale, 0.0f};
    d.Billboard.Color = d.Billboard.DestColor = {1.0f, 1.0f, 1.0f, 1.0f};
    d.Billboard.PopTime = popTime;
    d.Emission.Quantity = quantity;
    d.Emission.TextureTag = "FLARE";
    return d;
  }
  static ParticleParams MeshDefinition(int quantity, int popTime = 50) {
    ParticleParams d;
    d.Mesh.Scale = {1.0f, 1.0f, 1.0f};
    d.Mesh.Color = d.Mesh.DestColor = {1.0f, 1.0f, 1.0f, 1.0f};
    d.Mesh.PopTime = popTime;
    d.Emission.ParticleType = Object_Mesh;
    d.Emission.Quantity = quantity;
    d.Emission.ModelTag = "CUBE";
    d.Emission.TextureTag = "FLARE";
    return d;
  }
  static CParticleEmitter* Emit(const std::string& tag, std::vector<ParticleParams> definitions) {
    Table()[tag] = std::move(definitions);
    return CParticleEmitter::Create(tag);
  }
};

TEST_F(EmitterTest, EachDefinitionSpawnsItsQuantityFromItsOwnParameters) {
  struct Case {
    std::vector<ParticleParams> definitions;
    std::vector<float> scales;   // the x scale of every billboard particle, in order
    std::vector<int> meshLives;  // the life of every mesh particle, in order
  };
  // Later definitions are told apart by their scale or their lifetime.
  const Case cases[] = {
      {{Definition(3), MeshDefinition(2)}, {10, 10, 10}, {50, 50}},
      {{Definition(0), Definition(2, 50, 20)}, {20, 20}, {}},
      {{Definition(1), MeshDefinition(1, 7), Definition(2, 50, 20), MeshDefinition(0), MeshDefinition(2, 9)},
       {10, 20, 20},
       {7, 9, 9}},
      {{MeshDefinition(2'000'000'000, 5), MeshDefinition(2, 9)}, {}, {9, 9}}};  // above the ceiling: none
  for (const Case& c : cases) {
    SCOPED_TRACE(c.definitions.size());
    CParticleEmitter* emitter = Emit("MIX", c.definitions);
    Table()["MIX"].clear();  // the emitter works from its own copy
    EXPECT_EQ(emitter->GetEmissionDefinitions().size(), c.definitions.size());
    std::vector<float> scales;
    for (const CParticle* p : emitter->GetParticles()) {
      scales.push_back(p->GetSize().x);
      EXPECT_EQ(p->GetEmitter(), emitter);
    }
    EXPECT_EQ(scales, c.scales);
    std::vector<int> lives;
    for (const CMeshParticle* p : emitter->GetMeshParticles()) {
      lives.push_back(p->GetLife());
      EXPECT_EQ(p->GetEmitter(), emitter);
    }
    EXPECT_EQ(lives, c.meshLives);
  }
}

TEST_F(EmitterTest, CircleSpreadsEvenlyAndSphereStartsHorizontalWithoutDistortion) {
  constexpr float w = 2.0f;
  ParticleParams circle = Definition(4);
  circle.Emission.Behavior = Behavior_Circle;
  circle.Emission.Radius = 360.0f;
  circle.Billboard.Velocity = {5.0f, 0.5f, 5.0f};  // only y counts
  circle.Billboard.VelocityAttenuation = w;
  const auto& ring = Emit("CIRCLE", {circle})->GetParticles();
  ASSERT_EQ(ring.size(), 4u);
  // A quarter turn apart, starting toward -z.
  const D3DXVECTOR3 expected[] = {{0, 1, -w}, {-w, 1, 0}, {0, 1, w}, {w, 1, 0}};
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    ExpectNear(ring[i]->GetMove(), expected[i]);
    ExpectNear(ring[i]->GetParams().Velocity, expected[i]);
  }

  ParticleParams sphere = Definition(1);
  sphere.Emission.Behavior = Behavior_Sphere;
  sphere.Emission.Radius = 3.0f;
  sphere.Billboard.VelocityAttenuation = w;
  const auto& single = Emit("SPHERE", {sphere})->GetParticles();
  ASSERT_EQ(single.size(), 1u);
  ExpectNear(single[0]->GetMove(), {3.0f * w, 0.0f, 0.0f});
}

TEST_F(EmitterTest, SetPosPlacesByOffsetOrOnTheCircleWithLockedAxes) {
  struct Case {
    int randomCreate;
    int lock;
    D3DXVECTOR3 expectedAtOrigin;  // the emitter at (0, 0, 0); y = 7 is the altitude
  };
  const D3DXVECTOR3 offset(1.0f, 2.0f, 3.0f);
  const Case cases[] = {{Default, Lock_None, offset}, {Random_Circle, Lock_XZ, {1.0f, 7.0f, 3.0f}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.randomCreate);
    ParticleParams d = Definition(3);
    d.Billboard.RandomCreate = c.randomCreate;
    d.Billboard.LockPosition = c.lock;
    d.Billboard.PosOffset = offset;
    d.Billboard.Altitude = 7.0f;
    d.Billboard.CreateRange = 1.0f;
    CParticleEmitter* emitter = Emit("PLACE", {d});
    for (const D3DXVECTOR3& at : {D3DXVECTOR3(10, 20, 30), D3DXVECTOR3(-4, 0, 8)}) {
      emitter->SetPos(at);
      const D3DXVECTOR3 moved(at.x, c.randomCreate == Default ? at.y : 0.0f, at.z);
      for (CParticle* p : emitter->GetParticles()) ExpectNear(p->GetPos(), c.expectedAtOrigin + moved);
    }
  }
}

TEST_F(EmitterTest, CirclePlacementStaysWithinItsRangeOnEveryLock) {
  PlacementRandom reference;
  reference.Seed(1);
  for (int expected : {41, 18467, 6334, 26500, 19169}) EXPECT_EQ(reference.Next(), expected);

  constexpr float kRange = 0.25f;  // a radius of 90
  const D3DXVECTOR3 at(5.0f, 6.0f, 7.0f);
  for (int lock = Lock_None; lock <= Lock_YZ; ++lock) {
    SCOPED_TRACE(lock);
    ParticleParams d = Definition(200);
    d.Billboard.RandomCreate = Random_Circle;
    d.Billboard.LockPosition = lock;
    d.Billboard.CreateRange = kRange;
    d.Billboard.Altitude = 3.0f;
    CParticleEmitter* emitter = Emit("RING", {d});
    emitter->SetPos(at);
    float farthest = 0.0f;
    for (CParticle* p : emitter->GetParticles()) {
      const D3DXVECTOR3 pos = p->GetPos();
      const bool lockX = lock == Lock_X || lock == Lock_XY || lock == Lock_XZ;
      const bool lockY = lock == Lock_Y || lock == Lock_XY || lock == Lock_YZ;
      const bool lockZ = lock == Lock_Z || lock == Lock_XZ || lock == Lock_YZ;
      const float x = lockX ? 0.0f : pos.x, z = lockZ ? 0.0f : pos.z;
      EXPECT_LE(std::sqrt(x * x + z * z), kRange * 360.0f + 1e-3f);
      EXPECT_FLOAT_EQ(pos.y, lockY ? at.y : 3.0f);
      EXPECT_FLOAT_EQ(pos.x, lockX ? at.x : pos.x);
      EXPECT_FLOAT_EQ(pos.z, lockZ ? at.z : pos.z);
      farthest = std::max(farthest, std::sqrt(x * x + z * z));
    }
    if (lock == Lock_None || lock == Lock_Y) {
      EXPECT_GT(farthest, kRange * 360.0f * 0.8f) << "the disc is filled";
    }
  }
}

TEST_F(EmitterTest, DefinitionAboveTheQuantityCeilingSpawnsNothingAndIsNoticedOnce) {
  platform::GetNotices().Clear();
  ParticleParams huge = Definition(2'000'000'000);
  ParticleParams after = Definition(2, 50, 20);
  for (int emission = 0; emission < 3; ++emission) {
    CParticleEmitter* emitter = Emit("HUGE", {huge, after});
    ASSERT_EQ(emitter->GetParticles().size(), 2u) << "the next definition still has its turn";
    EXPECT_EQ(emitter->GetParticles()[0]->GetSize().x, 20.0f);
  }
  ASSERT_EQ(platform::GetNotices().Recent().size(), 1u);
  EXPECT_NE(platform::GetNotices().Recent()[0].find("2000000000"), std::string::npos);
}

// ---- mesh particles ------------------------------------------------------------------------------

// The tags and the shader come from the emission; a sphere of meshes is that of billboards
// distorted by exactly 1.
TEST_F(EmitterTest, MeshesTakeTheEmissionsTagsAndSpreadAsBillboardsOfDistortionOne) {
  ParticleParams mesh = MeshDefinition(5), billboard = Definition(5);
  for (ParticleParams* d : {&mesh, &billboard}) d->Emission.Behavior = Behavior_Sphere;
  mesh.Emission.Radius = billboard.Emission.Radius = 3.0f;
  mesh.Mesh.VelocityAttenuation = billboard.Billboard.VelocityAttenuation = 1.0f;
  billboard.Billboard.DistortionMax = billboard.Billboard.DistortionMin = 1.0f;
  mesh.Emission.MaskTextureTag = "MASK";
  mesh.Emission.UseShader = true;
  CParticleEmitter* emitter = Emit("SPHERES", {billboard, mesh});
  const auto& meshes = emitter->GetMeshParticles();
  ASSERT_EQ(meshes.size(), 5u);
  EXPECT_GT(std::fabs(meshes[1]->GetParams().Velocity.z), 0.5f)
      << "undistorted, all would lie in the x-y plane";
  for (std::size_t i = 0; i < meshes.size(); ++i) {
    const MeshParams& m = meshes[i]->GetParams();
    ExpectNear(m.Velocity, emitter->GetParticles()[i]->GetParams().Velocity);
    EXPECT_TRUE(m.ModelTag == "CUBE" && m.TextureTag == "FLARE" && m.MaskTextureTag == "MASK" && m.UseShader);
  }
}

// Billboards draw their two numbers first, then every mesh particle draws two, whether it
// takes the circle's point or stays at the emitter's position plus its offset.
TEST_F(EmitterTest, PlacementDrawsTwiceForEveryParticleBillboardsFirstThenMeshes) {
  ParticleParams billboard = Definition(2), atOffset = MeshDefinition(1), onCircle = MeshDefinition(2);
  billboard.Billboard.RandomCreate = Random_Circle;
  billboard.Billboard.CreateRange = 0.5f;
  for (ParticleParams* d : {&atOffset, &onCircle}) {
    d->Mesh.PosOffset = {1.0f, 2.0f, 3.0f};
    d->Mesh.CreateRange = 0.25f;
    d->Mesh.Altitude = 7.0f;
  }
  onCircle.Mesh.CreateRandomPos = true;
  CParticleEmitter* emitter = Emit("PLACE_MIXED", {atOffset, billboard, onCircle});
  Shared().placement.Seed(0);
  emitter->SetPos({10.0f, 20.0f, 30.0f});

  PlacementRandom reference;
  reference.Seed(0);
  auto circle = [&reference](float range, float altitude) {
    const double a = reference.Next() / 32767.0 * 2.0 * std::numbers::pi;
    const double r = std::sqrt(reference.Next() / 32767.0) * range * 360.0;
    return D3DXVECTOR3(static_cast<float>(std::cos(a) * r), altitude, static_cast<float>(std::sin(a) * r));
  };
  for (CParticle* p : emitter->GetParticles()) ExpectNear(p->GetPos(), circle(0.5f, 0.0f), 1e-3f);
  const auto& meshes = emitter->GetMeshParticles();  // the offset's one, then the circle's two
  circle(0.25f, 7.0f);
  ExpectNear(meshes[0]->GetPos(), {11.0f, 22.0f, 33.0f});
  ExpectNear(meshes[1]->GetPos(), circle(0.25f, 7.0f), 1e-3f);
  ExpectNear(meshes[2]->GetPos(), circle(0.25f, 7.0f), 1e-3f);
}

// As billboards do, each leaves the list the frame after its life runs out; the emitter
// lasts while either list holds one.
TEST_F(EmitterTest, DropsMeshParticlesTheFrameAfterTheirLifeAndEndsWhenBothListsAreEmpty) {
  const std::size_t before = Registry().size();
  CParticleEmitter* emitter = Emit("LIVES", {MeshDefinition(2, 0), Definition(1, 2), MeshDefinition(1, 4)});
  std::vector<std::pair<std::size_t, std::size_t>> listed;  // billboards, meshes after each frame
  for (int frame = 1; frame <= 4; ++frame) {
    Frame();
    listed.emplace_back(emitter->GetParticles().size(), emitter->GetMeshParticles().size());
  }
  EXPECT_EQ(listed, (std::vector<std::pair<std::size_t, std::size_t>>{{1, 1}, {1, 1}, {0, 1}, {0, 1}}));
  EXPECT_FALSE(emitter->IsDeath());
  emitter->Update();
  EXPECT_TRUE(emitter->IsDeath() && emitter->GetMeshParticles().empty());
  Frame();
  EXPECT_EQ(Registry().size(), before);
}

TEST_F(EmitterTest, MeshParticleUninitIsSafeTwiceAndBeforeOrAfterItsEmitters) {
  const std::size_t before = Registry().size();
  CParticleEmitter* emitter = Emit("END", {MeshDefinition(3), Definition(1)});
  const std::vector<CMeshParticle*> meshes = emitter->GetMeshParticles();
  meshes[0]->Uninit();
  meshes[0]->Uninit();
  EXPECT_TRUE(meshes[0]->IsDeath() && meshes[0]->GetEmitter() == nullptr);
  EXPECT_EQ(emitter->GetMeshParticles(), (std::vector<CMeshParticle*>{meshes[1], meshes[2]}));
  emitter->Uninit();
  for (CMeshParticle* p : meshes) {
    EXPECT_TRUE(p->IsDeath() && p->GetEmitter() == nullptr);
    p->Uninit();  // after its emitter ended
  }
  Frame();
  EXPECT_EQ(Registry().size(), before);

  // At exit the registry ends everything, emitters with live mesh particles among it.
  Emit("END", {MeshDefinition(3), Definition(1)});
  Manager()->Uninit();
  EXPECT_EQ(ObjectPool::LiveObjects(), 0u);
  ASSERT_EQ(Start(), S_OK);
}

TEST_F(EmitterTest, EffectWithoutParticlesEndsInItsFirstUpdate) {
  Table()["EMPTY"] = {};
  for (const char* tag : {"EMPTY", "UNKNOWN"}) {
    SCOPED_TRACE(tag);
    const std::size_t before = Registry().size();
    CParticleEmitter* emitter = CParticleEmitter::Create(tag);
    ASSERT_EQ(Table().count(tag), 1u) << "an unknown tag is added";
    EXPECT_TRUE(Table()[tag].empty());
    EXPECT_TRUE(emitter->GetParticles().empty());
    emitter->SetPos({1.0f, 2.0f, 3.0f});
    emitter->SetPos({4.0f, 5.0f, 6.0f});
    EXPECT_EQ(emitter->GetPos(), D3DXVECTOR3(4.0f, 5.0f, 6.0f));
    EXPECT_FALSE(emitter->IsDeath());
    emitter->Update();
    EXPECT_TRUE(emitter->IsDeath());
    Frame();
    EXPECT_EQ(Registry().size(), before);
  }
}

TEST_F(EmitterTest, EndsInTheUpdateThatSeesItsLastLifeRunOutAndEverythingIsPurged) {
  const std::size_t before = Registry().size();
  CParticleEmitter* emitter = Emit("SHORT", {Definition(2, 1)});
  const std::vector<CParticle*> particles = emitter->GetParticles();
  ASSERT_EQ(Registry().size(), before + 3);
  emitter->Update();
  EXPECT_FALSE(emitter->IsDeath()) << "lives of 1 not yet spent";
  for (CParticle* p : particles) p->Update();
  emitter->Update();
  EXPECT_TRUE(emitter->IsDeath());
  EXPECT_TRUE(emitter->GetParticles().empty());
  for (CParticle* p : particles) EXPECT_TRUE(p->IsDeath() && p->GetEmitter() == nullptr);
  Frame(2);
  EXPECT_EQ(Registry().size(), before);
}

// Lives run out at different frames: a PopTime of 0 goes in the first update, a start delay
// holds the life back, and each particle leaves the list in the frame after its life ends.
TEST_F(EmitterTest, DropsEachParticleTheFrameAfterItsLifeRunsOut) {
  ParticleParams delayed = Definition(3, 5);
  delayed.Billboard.DelayStartTime = 2;
  CParticleEmitter* emitter = Emit("STAGGERED", {Definition(2, 0), Definition(1, 3), delayed});
  ASSERT_EQ(emitter->GetParticles().size(), 6u);
  std::vector<std::size_t> listed;
  for (int frame = 1; frame <= 7; ++frame) {
    Frame();
    listed.push_back(emitter->GetParticles().size());
  }
  EXPECT_EQ(listed, (std::vector<std::size_t>{4, 4, 4, 3, 3, 3, 3}));
  EXPECT_FALSE(emitter->IsDeath());
  emitter->Update();
  EXPECT_TRUE(emitter->IsDeath()) << "the last three lives ran out together";
}

TEST_F(EmitterTest, PlaysTheFirstDueTrackOfTheFirstDefinitionOnce) {
  struct Case {
    std::vector<SoundTrack> first, second;
    int updates;
    std::string played;  // empty: nothing yet
  };
  const Case cases[] = {{{{"A", 0}, {"B", 0}}, {}, 1, "A"},
                        {{{"B", 3}, {"A", 0}}, {}, 6, "A"},
                        {{{"LATE", 5}}, {}, 4, ""},
                        {{{"LATE", 5}}, {}, 5, "LATE"},
                        {{}, {{"C", 0}}, 5, ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.played << " after " << c.updates);
    ParticleParams first = Definition(1, 100), second = Definition(1, 100);
    first.Emission.SoundTracks = c.first;
    second.Emission.SoundTracks = c.second;
    CParticleEmitter* emitter = Emit("SOUND", {first, second});
    for (int i = 0; i < c.updates; ++i) emitter->Update();
    EXPECT_EQ(emitter->GetPlayedSound(), c.played);
    EXPECT_EQ(emitter->IsSoundPending(), c.played.empty());
    EXPECT_FALSE(emitter->IsDeath());
  }
}

TEST_F(EmitterTest, TheTrackIsHeardThroughTheSoundManager) {
  StartSoundOutput();
  ParticleParams definition = Definition(1, 100);
  definition.Emission.SoundTracks = {{"TONE_440", 0}};
  CParticleEmitter* emitter = Emit("SOUND", {definition});
  ASSERT_FALSE(Manager()->GetSoundManager()->IsPlaying("TONE_440"));
  emitter->Update();
  EXPECT_TRUE(Manager()->GetSoundManager()->IsPlaying("TONE_440"));
}

TEST_F(EmitterTest, ParticleWhoseAnimationEndsFirstIsDroppedWhileTheRestPlayOn) {
  ParticleParams animated = Definition(2, 100);
  animated.Billboard.UseAnimation = true;
  animated.Billboard.AnimCountU = 2;
  animated.Billboard.AnimCountV = 1;
  animated.Billboard.AnimSpeed = 1;
  const std::size_t before = Registry().size();
  CParticleEmitter* emitter = Emit("ANIM", {animated, Definition(1, 40)});
  ASSERT_EQ(emitter->GetParticles().size(), 3u);
  // One row of two cells: the sheet runs out in update 16 (15 waiting, one step, the wrap).
  Frame(15);
  EXPECT_EQ(emitter->GetParticles().size(), 3u);
  Frame(5);
  ASSERT_EQ(Registry().size(), before + 2) << "the emitter and its plain particle";
  ASSERT_EQ(emitter->GetParticles().size(), 1u);
  EXPECT_EQ(emitter->GetParticles()[0]->GetLife(), 20);
  Frame(25);  // the plain particle's 40 frames, and one for the emitter to notice
  EXPECT_EQ(Registry().size(), before);
}

// ---- the pointer emitting the editor's effect ----------------------------------------------------

using PointerEmissionTest = EmitterTest;

TEST_F(PointerEmissionTest, BeginEffectPlaysAtThePointerEvery150FramesAndIsPurged) {
  Manager()->GetEditor()->EmissionInterval = CEditor::kDefaultEmissionInterval;
  CPointer* pointer = Manager()->GetPointer();
  Frame(149);
  EXPECT_EQ(pointer->GetLastEmitter(), nullptr);
  const std::size_t before = Registry().size();
  Frame();
  CParticleEmitter* emitter = pointer->GetLastEmitter();
  ASSERT_NE(emitter, nullptr);
  ASSERT_EQ(emitter->GetParticles().size(), 5u);
  for (CParticle* p : emitter->GetParticles()) {
    ExpectNear(p->GetPos(), {0.0f, 10.0f, 0.0f});
    ExpectNear(p->GetSize(), {10.0f, 10.0f, 0.0f});
  }
  EXPECT_EQ(Registry().size(), before + 6);
  Frame(51 + 3);  // a life of 50 frames, and the emitter's look
  EXPECT_EQ(Registry().size(), before);
  EXPECT_EQ(pointer->GetLastEmitter(), nullptr) << "ended and deleted: the pointer's id names nobody";
}

TEST_F(PointerEmissionTest, ZeroIntervalNeverEmitsAndANegativeOneCountsItsSize) {
  CPointer* pointer = Manager()->GetPointer();
  Frame(300);
  EXPECT_EQ(pointer->GetLastEmitter(), nullptr);

  // Afresh, with the pointer walked off the origin first: the effect follows it.
  Manager()->Uninit();
  ASSERT_EQ(Start(), S_OK);
  Manager()->GetEditor()->EmissionInterval = -60;
  pointer = Manager()->GetPointer();
  system_.SetKey(DIK_D, true);
  Frame(10);  // right at yaw 0 is toward -x
  system_.SetKey(DIK_D, false);
  Frame(49);
  EXPECT_EQ(pointer->GetLastEmitter(), nullptr);
  Frame();
  ASSERT_NE(pointer->GetLastEmitter(), nullptr);
  ASSERT_EQ(pointer->GetLastEmitter()->GetParticles().size(), 5u);
  for (CParticle* p : pointer->GetLastEmitter()->GetParticles())
    ExpectNear(p->GetPos(), {-10.0f, 10.0f, 0.0f});
}

}  // namespace
