// The registry's own cost per object: walking the lists, and linking and purging.

#include <benchmark/benchmark.h>

#include <vector>

#include "scene/object.h"

namespace {

class Idle final : public CObject {
 public:
  HRESULT Init() override { return S_OK; }
  void Uninit() override { SetDeath(); }
  void Update() override { ++updates_; }
  void Draw() override {}
  void SetPos(D3DXVECTOR3 pos) override { pos_ = pos; }
  D3DXVECTOR3 GetPos() override { return pos_; }

 private:
  D3DXVECTOR3 pos_;
  int updates_ = 0;
};

// Target: at most 10 ns per live object beyond the objects' own work.
void BM_UpdateAllLiveObjects(benchmark::State& state) {
  const auto count = state.range(0);
  for (int64_t i = 0; i < count; ++i) new Idle();
  for (auto _ : state) CObject::UpdateAll();
  state.SetItemsProcessed(state.iterations() * count);
  state.counters["ns_per_object"] =
      benchmark::Counter(static_cast<double>(count) * 1e-9, benchmark::Counter::kIsIterationInvariantRate |
                                                                benchmark::Counter::kInvert);
  CObject::ReleaseAll();
}
BENCHMARK(BM_UpdateAllLiveObjects)->Arg(100000)->Unit(benchmark::kMillisecond);

// Target: at most 100 ns per object created, linked, killed and purged.
void BM_CreateAndPurgePerFrame(benchmark::State& state) {
  const auto count = state.range(0);
  std::vector<Idle*> made(static_cast<size_t>(count));
  for (auto _ : state) {
    for (auto& object : made) object = new Idle();
    for (auto* object : made) object->SetDeath();
    CObject::UpdateAll();
  }
  state.SetItemsProcessed(state.iterations() * count);
  state.counters["ns_per_object"] =
      benchmark::Counter(static_cast<double>(count) * 1e-9, benchmark::Counter::kIsIterationInvariantRate |
                                                                benchmark::Counter::kInvert);
}
BENCHMARK(BM_CreateAndPurgePerFrame)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
