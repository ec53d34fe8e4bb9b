// Trails and collisions: one full trail's update, 400 flares with full trails updated and
// drawn on the Null and the GL device, 150 physics particles in one cell, and what a
// collision grid adds to an emitter's creation.

#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/manager.h"
#include "app/renderer.h"
#include "editor/editor.h"
#include "particle/particle.h"
#include "particle/particle_emitter.h"
#include "particle/trail.h"
#include "platform/headless_window_system.h"
#include "platform/sdl_window_system.h"
#include "platform/window_system.h"

#include "bench_support.h"
#include "raster_limit.h"

namespace {

using Scene = BenchScene;

CParticleEmitter* Emit(const std::string& tag, std::vector<ParticleParams> definitions) {
  (*CManager::GetInstance()->GetEffectTable())[tag] = std::move(definitions);
  CParticleEmitter* emitter = CParticleEmitter::Create(tag);
  emitter->SetPos({0.0f, 10.0f, 0.0f});
  return emitter;
}

// Target: at most 2 us for a full trail's frame: the parent's matrix and colours handed
// over, and the update that moves and fades its 1,022 vertices.
void BM_UpdateFullTrail(benchmark::State& state) {
  platform::HeadlessWindowSystem system;
  Scene scene(system);
  if (!scene.Ok()) {
    state.SkipWithError("start-up failed");
    return;
  }
  D3DXMATRIX parent;
  D3DXMatrixIdentity(&parent);
  CTrail* trail = CTrail::Create({}, parent, "");
  const CTrail::Settings settings{{0.2f, 0.3f, 1.0f, 1.0f}, {1.0f, 1.0f, 1.0f, 1.0f}, 2.0f, false};
  float y = 0.0f;
  for (int i = 0; i < CTrail::kMaxCount; ++i) {
    parent.m[3][1] = y += 0.1f;
    trail->Set(parent, settings);
    trail->Update();
  }
  for (auto _ : state) {
    parent.m[3][1] = y += 0.1f;
    trail->Set(parent, settings);
    trail->Update();
  }
  state.counters["us_per_update"] =
      benchmark::Counter(1e-6, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_UpdateFullTrail);

// Target: 400 flares with full trails updated and drawn in at most 3 ms a frame on the
// Null device: the registry's sweep and the scene's draw, particles included.
void BM_FullTrailsFrameNull(benchmark::State& state) {
  platform::HeadlessWindowSystem system;
  Scene scene(system);
  if (!scene.Ok()) {
    state.SkipWithError("start-up failed");
    return;
  }
  const int count = static_cast<int>(state.range(0));
  Emit("Trails", {TrailedFlare(count)});
  CRenderer* renderer = CManager::GetInstance()->GetRenderer();
  for (int i = 0; i < CTrail::kMaxCount / 2 + 2; ++i) CObject::UpdateAll();  // every trail full
  for (auto _ : state) {
    CObject::UpdateAll();
    renderer->Draw();
  }
  state.counters["frame_ms"] =
      benchmark::Counter(1e-3, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_FullTrailsFrameNull)->Arg(400)->Unit(benchmark::kMillisecond);

// Target: the same frame on the GL device in at most 3 ms of this thread's CPU, the
// vertices of 400 trails rewritten every frame included. Beside it, frame by frame, the
// raster limit of the same picture (RasterLimitFrame): the renderer's front end (vertex
// processing, triangle setup) runs on this thread for the prebuilt triangles too.
void BM_FullTrailsFrameGl(benchmark::State& state) {
  std::string error;
  auto system = platform::SdlWindowSystem::Create(&error);
  if (!system) {
    state.SkipWithError(("no display: " + error).c_str());
    return;
  }
  Scene scene(*system);
  if (!scene.Ok()) {
    state.SkipWithError("start-up failed");
    return;
  }
  const int count = static_cast<int>(state.range(0));
  CParticleEmitter* emitter = Emit("Trails", {TrailedFlare(count)});
  CRenderer* renderer = CManager::GetInstance()->GetRenderer();
  for (int i = 0; i < CTrail::kMaxCount / 2 + 2; ++i) CObject::UpdateAll();
  renderer->Draw();
  std::vector<CTrail*> trails;
  for (CParticle* particle : emitter->GetParticles())
    if (particle->GetTrail()) trails.push_back(particle->GetTrail());
  RasterLimitFrame limit(emitter->GetParticles(), trails, RasterLimitFrame::kSceneOnly);
  double update = 0.0, draw = 0.0, limitDraw = 0.0;
  for (auto _ : state) {
    const double before = ThreadCpuSeconds();
    CObject::UpdateAll();
    const double between = ThreadCpuSeconds();
    renderer->Draw();
    const double drawn = ThreadCpuSeconds();
    limit.Draw();
    update += between - before;
    draw += drawn - between;
    limitDraw += ThreadCpuSeconds() - drawn;
  }
  const double frames = static_cast<double>(state.iterations());
  state.counters["cpu_ms_per_frame"] = (update + draw) / frames * 1e3;
  // The two halves: the scene's update, and the draw with the renderer's work on this thread.
  state.counters["update_cpu_ms"] = update / frames * 1e3;
  state.counters["draw_cpu_ms"] = draw / frames * 1e3;
  state.counters["limit_draw_cpu_ms"] = limitDraw / frames * 1e3;
}
BENCHMARK(BM_FullTrailsFrameGl)->Arg(400)->Unit(benchmark::kMillisecond)->UseRealTime();

// Target: 150 physics particles in one cell, every box meeting every other, tested and
// answered in at most 150 us a frame (the registry's sweep over them).
void BM_CollideInOneCell(benchmark::State& state) {
  platform::HeadlessWindowSystem system;
  Scene scene(system);
  if (!scene.Ok()) {
    state.SkipWithError("start-up failed");
    return;
  }
  ParticleParams gridMaker = CEditor::BeginDefinition();
  gridMaker.Emission.Quantity = 0;
  gridMaker.Emission.UsePhysics = true;
  ParticleParams colliding = CEditor::BeginDefinition();
  colliding.Emission.Quantity = static_cast<int>(state.range(0));
  colliding.Emission.UsePhysics = true;
  colliding.Emission.Physics.PhysicsType = PHYSICS_AIR;
  colliding.Emission.Physics.DragCoefficient = -0.5f;
  colliding.Emission.Physics.VectorFactor = 1.0f;
  colliding.Billboard.Velocity = {};
  colliding.Billboard.PopTime = 1 << 30;
  CParticleEmitter* emitter = Emit("Crowd", {gridMaker, colliding});
  CObject::UpdateAll();
  if (emitter->GetParticles().empty() || !emitter->GetParticles()[0]->GetGrid()) {
    state.SkipWithError("no grid");
    return;
  }
  for (auto _ : state) CObject::UpdateAll();
  state.counters["us_per_frame"] =
      benchmark::Counter(1e-6, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_CollideInOneCell)->Arg(150)->Unit(benchmark::kMicrosecond);

// Target: a collision grid adds at most 100 us to an emitter's creation: emitters of 10
// particles made with and without one, alternately, and the difference of their times.
void BM_EmitterGridCreation(benchmark::State& state) {
  platform::HeadlessWindowSystem system;
  Scene scene(system);
  if (!scene.Ok()) {
    state.SkipWithError("start-up failed");
    return;
  }
  ParticleParams plain = CEditor::BeginDefinition();
  plain.Emission.Quantity = 10;
  ParticleParams physics = plain;
  physics.Emission.UsePhysics = true;
  EffectTable& table = *CManager::GetInstance()->GetEffectTable();
  table["Plain"] = {plain};
  table["Physics"] = {physics};
  using Clock = std::chrono::steady_clock;
  Clock::duration with{}, without{};
  for (auto _ : state) {
    for (const char* tag : {"Plain", "Physics"}) {
      const auto start = Clock::now();
      CParticleEmitter* emitter = CParticleEmitter::Create(tag);
      (tag[1] == 'h' ? with : without) += Clock::now() - start;
      emitter->Uninit();
      CObject::UpdateAll();
    }
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["us_added_by_grid"] = std::chrono::duration<double, std::micro>(with - without).count() / n;
}
BENCHMARK(BM_EmitterGridCreation)->Unit(benchmark::kMicrosecond);

}  // namespace
