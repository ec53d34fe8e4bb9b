// CPU cost of one small quad on the GL device with the per-particle state dance: set the
// particle's states, draw, restore the renderer's; with the device batching (the second
// argument 1: the dance leaves the state as it was, so every quad joins one draw) and
// without (0: a GL draw per quad). Runs under Xvfb (make bench).

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "platform/gfx/gl/gl_device.h"
#include "platform/sdl_window_system.h"

namespace {

using Vertex = gfx::SceneVertex;
constexpr DWORD kFvf = gfx::kSceneVertexFvf;

// Targets: at most 0.3 us of CPU per draw batched, 2 us unbatched.
void BM_GlQuadsWithStateSetAndRestore(benchmark::State& state) {
  std::string error;
  auto system = platform::SdlWindowSystem::Create(&error);
  if (!system) {
    state.SkipWithError(("no display: " + error).c_str());
    return;
  }
  auto window = system->CreateWindow("TEST", 1280, 720);
  window->Show();
  auto device = window->CreateDevice(&error);
  if (!device) {
    state.SkipWithError(error.c_str());
    return;
  }
  static_cast<gfx::GlDevice*>(device.get())->SetBatching(state.range(1) != 0);
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
  device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);

  const std::vector<std::uint8_t> white(16 * 16 * 4, 255);
  auto texture = device->CreateTexture(16, 16, white);
  const auto count = state.range(0);
  std::vector<std::unique_ptr<gfx::VertexBuffer>> quads;
  std::vector<D3DXMATRIX> worlds;
  for (int64_t i = 0; i < count; ++i) {
    auto buffer = device->CreateVertexBuffer(4 * sizeof(Vertex), D3DUSAGE_WRITEONLY, kFvf, D3DPOOL_MANAGED);
    void* data = nullptr;
    buffer->Lock(0, 0, &data, 0);
    const float s = 0.015f;  // about 20 pixels
    const Vertex v[4] = {{-s, s, 0.5f, 0, 1, 0, 0xffffffff, 0, 0},
                         {s, s, 0.5f, 0, 1, 0, 0xffffffff, 1, 0},
                         {-s, -s, 0.5f, 0, 1, 0, 0xffffffff, 0, 1},
                         {s, -s, 0.5f, 0, 1, 0, 0xffffffff, 1, 1}};
    std::memcpy(data, v, sizeof v);
    buffer->Unlock();
    quads.push_back(std::move(buffer));
    D3DXMATRIX world;
    D3DXMatrixTranslation(&world, (i % 97) / 48.5f - 1.0f, (i % 89) / 44.5f - 1.0f, 0.0f);
    worlds.push_back(world);
  }

  for (auto _ : state) {
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    device->BeginScene();
    for (int64_t i = 0; i < count; ++i) {
      device->SetRenderState(D3DRS_LIGHTING, FALSE);
      device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESS);
      device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
      device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
      device->SetRenderState(D3DRS_ALPHAREF, 0);
      device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
      device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
      device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
      device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
      device->SetTransform(D3DTS_WORLD, &worlds[static_cast<size_t>(i)]);
      device->SetStreamSource(0, quads[static_cast<size_t>(i)].get(), 0, sizeof(Vertex));
      device->SetFVF(kFvf);
      device->SetTexture(0, texture.get());
      device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2);
      device->SetTexture(0, nullptr);
      device->SetRenderState(D3DRS_LIGHTING, TRUE);
      device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
      device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
      device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
      device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
      device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
      device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    }
    device->EndScene();
    device->Present(nullptr, nullptr, nullptr, nullptr);
  }
  state.SetItemsProcessed(state.iterations() * count);
  state.counters["cpu_us_per_draw"] =
      benchmark::Counter(static_cast<double>(count) * 1e-6,
                         benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  // Draws GL received a frame: 1 batched, the quad count unbatched.
  state.counters["gl_draws_per_frame"] =
      static_cast<double>(static_cast<gfx::GlDevice*>(device.get())->GlDrawCount()) /
      static_cast<double>(state.iterations());
  quads.clear();
  texture.reset();
  device.reset();
}
BENCHMARK(BM_GlQuadsWithStateSetAndRestore)
    ->ArgsProduct({{1000, 10000}, {1, 0}})
    ->Unit(benchmark::kMillisecond);

}  // namespace
