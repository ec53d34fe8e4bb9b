// Particles at scale: the registry's frame over 100,000 live billboard particles after
// churn, drawing 4,000 of them on the GL device beside the raster limit of the same quads,
// and spawning an emitter of 400; drawing
// 400 mesh particles on the GL device both ways, and spawning an emitter of 400 of them.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "app/child_window.h"
#include "app/light.h"
#include "app/manager.h"
#include "app/renderer.h"
#include "editor/editor.h"
#include "input/input.h"
#include "particle/particle.h"
#include "particle/particle_emitter.h"
#include "platform/gfx/gl/gl_device.h"
#include "platform/headless_window_system.h"
#include "platform/sdl_window_system.h"
#include "platform/window_system.h"
#include "resource/model_manager.h"
#include "resource/shader_manager.h"
#include "resource/texture_manager.h"
#include "view/camera.h"
#include "view/pointer.h"

#include "bench_support.h"
#include "raster_limit.h"

namespace {

// The editor's services (sample effects and textures) for one benchmark, and the flare
// definitions the drawing benchmarks play.
class Editor : public BenchScene {
 public:
  using BenchScene::BenchScene;

  static void Define(const std::string& tag, int quantity, int popTime, float halfSize, float spread) {
    ParticleParams p = CEditor::BeginDefinition();
    p.Emission.DataTag = tag;
    p.Emission.Quantity = quantity;
    p.Billboard.PopTime = popTime;
    p.Billboard.Scale = {halfSize, halfSize, 0.0f};
    p.Billboard.Scaling = {0.001f, 0.001f, 0.0f};
    p.Billboard.Velocity = {0.0f, 0.01f, 0.0f};
    p.Billboard.RandomCreate = Random_Circle;
    p.Billboard.CreateRange = spread;
    p.Billboard.Altitude = 10.0f;
    (*CManager::GetInstance()->GetEffectTable())[tag] = {p};
  }
  // Cubes about 20 pixels wide from the start view, over the same circle as the flares. The
  // effect scales a particle's position with its size, so its circle is drawn that much
  // smaller to end up in the same place.
  static void DefineCubes(const std::string& tag, int quantity, bool useShader) {
    constexpr float kSize = 7.2f;
    const float placement = useShader ? 1.0f / kSize : 1.0f;
    ParticleParams p = CEditor::BeginDefinition();
    p.Emission.DataTag = tag;
    p.Emission.ParticleType = Object_Mesh;
    p.Emission.Quantity = quantity;
    p.Emission.ModelTag = "CUBE";
    p.Emission.TextureTag = "FLARE";
    p.Emission.MaskTextureTag = "MASK";
    p.Emission.UseShader = useShader;
    p.Mesh.PopTime = 1 << 30;
    p.Mesh.Scale = {kSize, kSize, kSize};
    p.Mesh.Emissive = 1.0f;  // lit through a scaled world without renormalising, they would be dark
    p.Mesh.RotateValue = 0.01f;
    p.Mesh.UVMovement = {0.001f, 0.0f};
    p.Mesh.UseTexture = true;
    p.Mesh.CreateRandomPos = true;
    p.Mesh.CreateRange = 0.12f * placement;
    p.Mesh.Altitude = 10.0f * placement;
    (*CManager::GetInstance()->GetEffectTable())[tag] = {p};
  }
  static CParticleEmitter* Emit(const std::string& tag) {
    CParticleEmitter* emitter = CParticleEmitter::Create(tag);
    emitter->SetPos({0.0f, 10.0f, 0.0f});
    return emitter;
  }
};

// Target: at most 15 ns per live particle.
void BM_UpdateAllAfterChurn(benchmark::State& state) {
  platform::HeadlessWindowSystem system;
  Editor editor(system);
  if (!editor.Ok()) {
    state.SkipWithError("start-up failed");
    return;
  }
  Editor::Define("Long", 1000, 1 << 30, 5.0f, 0.2f);
  Editor::Define("Short", 1000, 20, 5.0f, 0.2f);
  // Short-lived bursts between the long-lived ones leave the memory as a running editor's is.
  for (int frame = 0; frame < 200; ++frame) {
    Editor::Emit("Short");
    if (frame % 2 == 0) Editor::Emit("Long");
    CObject::UpdateAll();
  }
  for (int frame = 0; frame < 30; ++frame) CObject::UpdateAll();  // the short ones die out
  const double live = 100 * 1000;
  for (auto _ : state) CObject::UpdateAll();
  state.counters["ns_per_particle"] = benchmark::Counter(
      live * 1e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_UpdateAllAfterChurn)->Unit(benchmark::kMillisecond);

// The share of the scene's pixels that a frame lights: particles really on screen light a
// good part of the middle of the picture.
double LitPercent(gfx::Device* device, const std::function<void()>& frame) {
  device->SetPresentCapture(true);
  frame();
  device->SetPresentCapture(false);
  const gfx::Image& image = device->LastPresentedImage();
  std::size_t lit = 0;
  for (std::size_t i = 0; i + 3 < image.rgba.size(); i += 4)
    lit += (image.rgba[i] | image.rgba[i + 1] | image.rgba[i + 2]) != 0;
  return image.rgba.empty() ? 0.0
                            : 100.0 * static_cast<double>(lit) / static_cast<double>(image.rgba.size() / 4);
}

// Targets: at most 0.15 us of CPU per particle above what the raster limit's frame takes
// (RasterLimitFrame: the same quads prebuilt, in one draw), and a frame of 4,000 particles of
// about 20 pixels within 1.3 times that frame's time (one frame of each in turn, so both see
// the same load on the machine). The particles are really on
// screen: from the start view the circle of 43 units around the origin spans about 240
// pixels in the middle of the picture, and 7.2 units are about 20 pixels; lit_percent says
// how much of the picture a frame lights, the same for both frames. A frame is the whole
// CManager::Draw: the scene, and the editor window's clear and present.
void BM_DrawAllFlareParticles(benchmark::State& state) {
  std::string error;
  auto system = platform::SdlWindowSystem::Create(&error);
  if (!system) {
    state.SkipWithError(("no display: " + error).c_str());
    return;
  }
  Editor editor(*system);
  if (!editor.Ok()) {
    state.SkipWithError("start-up failed");
    return;
  }
  const int count = static_cast<int>(state.range(0));
  Editor::Define("Flares", count, 1 << 30, 3.6f,
                 0.12f);  // 3.6 units half-size: about 20 pixels from the start view
  CParticleEmitter* emitter = Editor::Emit("Flares");
  CManager* manager = CManager::GetInstance();
  manager->Update();
  manager->Draw();
  RasterLimitFrame limit(emitter->GetParticles(), {}, RasterLimitFrame::kWithChildWindow);
  gfx::Device* device = manager->GetRenderer()->GetDevice();
  state.counters["lit_percent"] = LitPercent(device, [&] { manager->Draw(); });
  state.counters["limit_lit_percent"] = LitPercent(device, [&] { limit.Draw(); });

  // The frame's time is real time (the software renderer works on other threads); the CPU
  // target is this thread's own time.
  using Clock = std::chrono::steady_clock;
  double cpu = 0.0, limitCpu = 0.0;
  Clock::duration real{}, limitReal{};
  for (auto _ : state) {
    const double cpuBefore = ThreadCpuSeconds();
    const auto before = Clock::now();
    manager->Draw();
    const auto between = Clock::now();
    const double cpuBetween = ThreadCpuSeconds();
    limit.Draw();
    real += between - before;
    limitReal += Clock::now() - between;
    cpu += cpuBetween - cpuBefore;
    limitCpu += ThreadCpuSeconds() - cpuBetween;
  }
  const double frames = static_cast<double>(state.iterations());
  const double frameMs = std::chrono::duration<double, std::milli>(real).count() / frames;
  const double limitMs = std::chrono::duration<double, std::milli>(limitReal).count() / frames;
  state.counters["cpu_us_per_particle"] = cpu / frames * 1e6 / count;
  // What of that the renderer's own front end (vertex processing, triangle setup) takes
  // on this thread even for the prebuilt buffer.
  state.counters["limit_cpu_us_per_particle"] = limitCpu / frames * 1e6 / count;
  // What our code adds to that: the registry's walk, each particle's states and quad, and the
  // batching that merges their draws.
  state.counters["cpu_us_above_limit"] = (cpu - limitCpu) / frames * 1e6 / count;
  state.counters["frame_ms"] = frameMs;
  state.counters["raster_limit_ms"] = limitMs;
  state.counters["frame_to_limit"] = frameMs / limitMs;
}
BENCHMARK(BM_DrawAllFlareParticles)->Arg(4000)->Unit(benchmark::kMillisecond)->UseRealTime();

// Target: an emitter of 400 particles created, placed and initialised in at most 2 ms.
void BM_SpawnEmitterOf400(benchmark::State& state) {
  platform::HeadlessWindowSystem system;
  Editor editor(system);
  if (!editor.Ok()) {
    state.SkipWithError("start-up failed");
    return;
  }
  Editor::Define("Burst", 400, 60, 5.0f, 0.2f);
  for (auto _ : state) {
    CParticleEmitter* emitter = Editor::Emit("Burst");
    state.PauseTiming();
    emitter->Uninit();  // its particles die with it; the next frame's walk deletes them all
    CObject::UpdateAll();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_SpawnEmitterOf400)->Unit(benchmark::kMicrosecond);

// Targets: at most 3 us of CPU per cube with the fixed-function pipeline and 5 us through
// the UV animation effect (a cube is two subsets, so two draws), measured as the flares are:
// the whole CManager::Draw on this thread.
void BM_DrawCubeMeshParticles(benchmark::State& state, bool useShader) {
  std::string error;
  auto system = platform::SdlWindowSystem::Create(&error);
  if (!system) {
    state.SkipWithError(("no display: " + error).c_str());
    return;
  }
  Editor editor(*system);
  if (!editor.Ok()) {
    state.SkipWithError("start-up failed");
    return;
  }
  const int count = static_cast<int>(state.range(0));
  Editor::DefineCubes("Cubes", count, useShader);
  Editor::Emit("Cubes");
  CManager::GetInstance()->Update();  // past the start delay
  CManager::GetInstance()->Draw();
  auto* device = static_cast<gfx::GlDevice*>(CManager::GetInstance()->GetRenderer()->GetDevice());
  const auto drawsBefore = device->GlDrawCount();
  const double cpuBefore = ThreadCpuSeconds();
  for (auto _ : state) CManager::GetInstance()->Draw();
  const double frames = static_cast<double>(state.iterations());
  state.counters["cpu_us_per_particle"] = (ThreadCpuSeconds() - cpuBefore) / frames * 1e6 / count;
  // What GL received of the scene's draws a frame: batching merges the cubes' runs.
  state.counters["gl_draws_per_frame"] = static_cast<double>(device->GlDrawCount() - drawsBefore) / frames;
}
BENCHMARK_CAPTURE(BM_DrawCubeMeshParticles, fixed, false)
    ->Arg(400)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_DrawCubeMeshParticles, effect, true)
    ->Arg(400)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Target: an emitter of 400 mesh particles (through the effect, textured and masked) created,
// placed and initialised in at most 2 ms.
void BM_SpawnMeshEmitterOf400(benchmark::State& state) {
  platform::HeadlessWindowSystem system;
  Editor editor(system);
  if (!editor.Ok()) {
    state.SkipWithError("start-up failed");
    return;
  }
  Editor::DefineCubes("CubeBurst", 400, true);
  for (auto _ : state) {
    CParticleEmitter* emitter = Editor::Emit("CubeBurst");
    state.PauseTiming();
    emitter->Uninit();
    CObject::UpdateAll();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_SpawnMeshEmitterOf400)->Unit(benchmark::kMicrosecond);

}  // namespace
