// A long headless run of an effect with trails and collisions, emitted again and again:
// what the scene holds, and the memory, stay bounded.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>

#include "platform/sanitizer_support.h"

#if defined(PE_ADDRESS_SANITIZER)
// The sanitizer's own count of live heap bytes (GCC ships no header declaring it).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

#include "scene/object_pool.h"
#include "support/headless_scene.h"

namespace {

std::size_t HeapInUse() {
#if defined(PE_ADDRESS_SANITIZER)
  return __sanitizer_get_current_allocated_bytes();
#else
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
#endif
}

using LongRunTest = HeadlessScene;

TEST_F(LongRunTest, TenThousandFramesOfTrailsAndCollisionsStayBounded) {
  // Rising flares with trails; the second definition collides in the first one's grid.
  ParticleParams flare;
  flare.Billboard.Scale = {5.0f, 5.0f, 0.0f};
  flare.Billboard.Color = flare.Billboard.DestColor = {1.0f, 0.8f, 0.4f, 1.0f};
  flare.Billboard.Velocity = {0.0f, 1.0f, 0.0f};
  flare.Billboard.PopTime = 45;
  flare.Billboard.Trail = true;
  flare.Billboard.TrailWidth = 2.0f;
  flare.Emission.Quantity = 8;
  flare.Emission.Behavior = Behavior_Circle;
  flare.Emission.Radius = 360.0f;
  flare.Billboard.VelocityAttenuation = 0.5f;
  flare.Emission.TextureTag = "FLARE";
  flare.Emission.UsePhysics = true;
  ParticleParams bouncing = flare;
  bouncing.Emission.Physics.PhysicsType = PHYSICS_AIR;
  bouncing.Emission.Physics.DragCoefficient = -0.1f;
  bouncing.Emission.Physics.VectorFactor = 1.0f;
  ParticleParams mesh;
  mesh.Emission.ParticleType = Object_Mesh;
  mesh.Emission.ModelTag = "CUBE";
  mesh.Emission.Quantity = 2;
  mesh.Mesh.Scale = {1.0f, 1.0f, 1.0f};
  mesh.Mesh.Velocity = {0.5f, 0.5f, 0.0f};
  mesh.Mesh.PopTime = 60;
  mesh.Mesh.Trail = true;
  Table()["SOAK"] = {flare, bouncing, mesh};

  constexpr int kFrames = 10'000, kInterval = 30;
  const std::size_t base = ObjectPool::LiveObjects();
  const std::size_t partsBase = ObjectPool::LiveObjects(ObjectPool::Arena::kApart);
  std::size_t mostObjects = 0, mostLive = 0, heapAtWarm = 0, heapMost = 0;
  for (int frame = 0; frame < kFrames; ++frame) {
    if (frame % kInterval == 0) CParticleEmitter::Create("SOAK")->SetPos({100.0f, 10.0f, 100.0f});
    Frame();
    if (frame == 1000) heapAtWarm = HeapInUse();
    if (frame >= 1000) {
      mostObjects = std::max(mostObjects, Registry().size());
      mostLive = std::max(mostLive, ObjectPool::LiveObjects());
      heapMost = std::max(heapMost, HeapInUse());
    }
  }
  // At most three emissions overlap: each holds an emitter and 18 particles with a trail each.
  EXPECT_LE(mostLive, base + 3 * 37);
  EXPECT_LE(mostObjects, mostLive);
  // A trail left behind by its particle would keep 36 KB each: 300 emissions leave 5,400.
  EXPECT_LT(heapMost - heapAtWarm, 2u << 20);
  Frame(100);  // the last emission dies out
  EXPECT_EQ(ObjectPool::LiveObjects(), base);
  EXPECT_EQ(ObjectPool::LiveObjects(ObjectPool::Arena::kApart), partsBase) << "what particles keep apart";
}

}  // namespace
