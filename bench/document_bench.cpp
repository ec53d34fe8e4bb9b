// Saving and loading the effect documents (the runtime's and the editor's own): a large
// project's table, 100 effects of 20 definitions each. The in-memory runs show the cost of the
// text itself; the to-disk runs add what a save as the File menu makes it costs on the disk of
// the working folder.

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "editor/editor.h"
#include "effectfile/document_file.h"
#include "effectfile/editor_document.h"
#include "effectfile/particle_json.h"
#include "effectfile/particle_text.h"

namespace {

EffectTable LargeTable() {
  EffectTable table;
  for (int e = 0; e < 100; ++e) {
    const std::string tag = "Effect" + std::to_string(1000 + e);
    auto& sets = table[tag];
    for (int d = 0; d < 20; ++d) {
      ParticleParams p = CEditor::BeginDefinition();
      const float f = static_cast<float>(e * 20 + d);
      p.Emission.ParticleType = d % 4 == 3 ? Object_Mesh : Object_Billboard;
      p.Emission.DataTag = tag;
      p.Emission.Radius = 0.1f * f;
      p.Billboard.PosOffset = {f * 0.37f, -f, 1.0f / (f + 1.0f)};
      p.Billboard.Velocity = {0.5f, f * 0.013f, -2.25f};
      p.Billboard.Color = {0.1f, 0.2f, 0.3f, 0.9f};
      p.Mesh.Velocity = {0.5f, f * 0.011f, 3.0f};
      sets.push_back(p);
    }
  }
  return table;
}

const EffectTable& Table() {
  static const EffectTable table = LargeTable();
  return table;
}

void BM_SaveParticleJson(benchmark::State& state) {
  std::size_t bytes = 0;
  for (auto _ : state) {
    const std::string text = ParticleJsonText(Table());
    bytes += text.size();
    benchmark::DoNotOptimize(text.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(BM_SaveParticleJson)->Unit(benchmark::kMillisecond);

void BM_LoadParticleJson(benchmark::State& state) {
  const std::string text = ParticleJsonText(Table());
  for (auto _ : state) {
    EffectTable table;
    MergeParticleJson(Json::parse(text), &table);
    benchmark::DoNotOptimize(table.size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_LoadParticleJson)->Unit(benchmark::kMillisecond);

void BM_SaveParticleText(benchmark::State& state) {
  std::size_t bytes = 0;
  for (auto _ : state) {
    const std::string text = ParticleText(Table());
    bytes += text.size();
    benchmark::DoNotOptimize(text.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(BM_SaveParticleText)->Unit(benchmark::kMillisecond);

void BM_LoadParticleText(benchmark::State& state) {
  const std::string text = ParticleText(Table());
  for (auto _ : state) {
    std::istringstream in(text);
    EffectTable table;
    MergeParticleText(in, &table);
    benchmark::DoNotOptimize(table.size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_LoadParticleText)->Unit(benchmark::kMillisecond);

// The editor document of the same effects: every field of every definition, pretty-printed.
const EditorDocument& LargeDocument() {
  static const EditorDocument document = EditorDocument::FromTable(Table());
  return document;
}

void BM_EditorDocumentSave(benchmark::State& state) {
  std::size_t bytes = 0;
  for (auto _ : state) {
    const std::string text = EditorDocumentText(LargeDocument());
    bytes += text.size();
    benchmark::DoNotOptimize(text.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(BM_EditorDocumentSave)->Unit(benchmark::kMillisecond);

void BM_EditorDocumentLoad(benchmark::State& state) {
  const std::string text = EditorDocumentText(LargeDocument());
  for (auto _ : state) {
    EditorDocument document;
    if (const DocumentError error = ParseEditorDocument(text, &document)) {
      state.SkipWithError(error->c_str());
      break;
    }
    benchmark::DoNotOptimize(document.Effects.size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_EditorDocumentLoad)->Unit(benchmark::kMillisecond);

// A folder of the working directory's file system (where Data/FILE/ lives), not the system's
// temporary one, which may be held in memory and sync for free.
class ScratchFolder {
 public:
  ScratchFolder() : path_(std::filesystem::current_path() / ("bench-save-" + std::to_string(::getpid()))) {
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// The save as it was before it synced, beside the real one, so the cost of the syncs stays in view.
class NoSync final : public FileSync {
 public:
  int SyncFile(int) const override { return 0; }
  int SyncFolder(const std::string&) const override { return 0; }
};

// Argument "synced": 1 for the real save, 0 for the same steps without the syncs.
template <typename Text>
void SaveToDisk(benchmark::State& state, Text text, const char* name) {
  const FileSync synced;
  const NoSync unsynced;
  const FileSync& sync = state.range(0) ? synced : static_cast<const FileSync&>(unsynced);
  const ScratchFolder folder;
  const std::string path = folder.File(name);
  std::size_t bytes = 0;
  for (auto _ : state) {
    const std::string document = text(Table());
    std::string error;
    if (!WriteFileAtomically(path, document, &error, sync)) {
      state.SkipWithError(error.c_str());
      break;
    }
    bytes += document.size();
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}

void BM_SaveParticleTextToDisk(benchmark::State& state) { SaveToDisk(state, ParticleText, "particle.txt"); }
BENCHMARK(BM_SaveParticleTextToDisk)
    ->ArgName("synced")
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_SaveParticleJsonToDisk(benchmark::State& state) {
  SaveToDisk(state, ParticleJsonText, "particle.json");
}
BENCHMARK(BM_SaveParticleJsonToDisk)
    ->ArgName("synced")
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
