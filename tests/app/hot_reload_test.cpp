// Hot reload in the whole program on the Null device: files of a copy of the sample data
// rewritten while particles play show in the next frames' draws, in the objects the particles
// already hold; --no-watch reads nothing again.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include "app/application.h"
#include "app/command_line.h"
#include "platform/gfx/mesh.h"
#include "resource/settled_changes.h"
#include "support/fake_file_watcher.h"
#include "support/headless_scene.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

// The sample data copied to a folder of the test's own, the working folder while it runs.
class SampleDataCopy : public TempFolder {
 public:
  SampleDataCopy() : previous_(fs::current_path()) {
    fs::copy(SourcePath("Data"), Dir() / "Data", fs::copy_options::recursive);
    fs::current_path(Dir());
  }
  ~SampleDataCopy() { fs::current_path(previous_); }

  void Picture(const std::string& path, std::uint8_t r, std::uint8_t g, std::uint8_t b) const {
    gfx::Image image{8, 8, {}};
    for (int i = 0; i < 64; ++i) image.rgba.insert(image.rgba.end(), {r, g, b, 255});
    ASSERT_TRUE(gfx::WritePng(image, path));
  }

 private:
  fs::path previous_;
};

class HotReloadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = system_.CreateWindow("TEST", 1280, 720);
    ASSERT_EQ(Manager()->Init(window_.get(), &system_, {.soundOutput = false}), S_OK);
    Manager()->GetEditor()->EmissionInterval = 0;
    Manager()->WatchFiles(std::make_unique<FakeFileWatcher>(&watch_), clock_);
  }
  void TearDown() override { Manager()->Uninit(); }

  static CManager* Manager() { return CManager::GetInstance(); }
  static gfx::NullDevice* Device() {
    return static_cast<gfx::NullDevice*>(Manager()->GetRenderer()->GetDevice());
  }
  // Frames of 16 ms on the watcher's clock.
  void Frames(int count) {
    for (int i = 0; i < count; ++i) {
      clock_.Advance(16);
      Manager()->Update();
      Manager()->Draw();
    }
  }
  // A change seen, and frames until its file has been quiet long enough.
  void Changed(const std::string& path) {
    watch_.changes.push_back(path);
    Frames(SettledChanges::kQuietMs / 16 + 2);
  }
  // One frame's draws that satisfy the predicate.
  std::vector<gfx::RecordedDraw> Recorded(const std::function<bool(const gfx::RecordedDraw&)>& wanted) {
    Device()->ClearRecord();
    Device()->SetRecording(true);
    Frames(1);
    Device()->SetRecording(false);
    std::vector<gfx::RecordedDraw> found;
    for (const auto& draw : Device()->Draws())
      if (!draw.interface && wanted(draw)) found.push_back(draw);
    return found;
  }
  static ParticleParams LongFlares() {
    ParticleParams d = CEditor::BeginDefinition();
    d.Billboard.PopTime = 1000;
    d.Emission.Quantity = 5;
    return d;
  }

  SampleDataCopy data_;
  platform::HeadlessWindowSystem system_;
  std::unique_ptr<platform::Window> window_;
  FakeWatchState watch_;
  ManualClock clock_;
};

TEST_F(HotReloadTest, ATextureRewrittenInPlaceShowsInTheNextFramesDrawsOfTheSameParticles) {
  (*Manager()->GetEffectTable())["GLOW"] = {LongFlares()};
  CParticleEmitter* emitter = CParticleEmitter::Create("GLOW");
  Frames(2);
  gfx::Texture* flare = Manager()->GetTextureManager()->GetTexture(false, "FLARE");
  ASSERT_NE(flare, nullptr);
  const auto flares = [&](const gfx::RecordedDraw& d) { return d.texture == flare; };
  ASSERT_EQ(Recorded(flares).size(), 5u);
  const UINT middle = flare->Width() / 2;
  EXPECT_EQ(static_cast<gfx::NullTexture*>(flare)->Pixel(middle, middle)[1], 255)
      << "the sample flare is white";
  const std::vector<CParticle*> particles = emitter->GetParticles();

  data_.Picture("Data/TEXTURE/flare.png", 255, 0, 0);
  Changed("Data/TEXTURE/flare.png");
  const auto draws = Recorded(flares);
  ASSERT_EQ(draws.size(), 5u) << "the same particles draw on, with the same texture object";
  const std::uint8_t* pixel = static_cast<const gfx::NullTexture*>(draws[0].texture)->Pixel(4, 4);
  EXPECT_TRUE(pixel[0] == 255 && pixel[1] == 0 && pixel[2] == 0) << "red now";
  EXPECT_EQ(emitter->GetParticles(), particles) << "the emitter was not restarted";
}

TEST_F(HotReloadTest, AModelAndAnEffectFileRewrittenShowInTheDrawsOfTheMeshParticles) {
  ParticleParams cubes = LongFlares();
  cubes.Emission.ParticleType = Object_Mesh;
  cubes.Mesh.PopTime = 1000;
  cubes.Emission.ModelTag = "CUBE";
  cubes.Emission.UseShader = true;
  (*Manager()->GetEffectTable())["CUBES"] = {cubes};
  CParticleEmitter::Create("CUBES");
  Frames(2);
  gfx::Effect* effect = Manager()->GetShaderManager()->GetEffect("UVAnimation");
  ASSERT_NE(effect, nullptr);
  const auto throughEffect = [&](const gfx::RecordedDraw& d) { return d.effect == effect && d.indexed; };
  const auto before = Recorded(throughEffect);
  ASSERT_FALSE(before.empty());
  std::map<UINT, int> indicesBefore;
  for (const auto& draw : before) ++indicesBefore[draw.vertexCount];

  // The cube becomes a cone: the same particles draw the new mesh's faces.
  fs::copy_file("Data/MODEL/cone.x", "Data/MODEL/cube.x", fs::copy_options::overwrite_existing);
  Changed("Data/MODEL/cube.x");
  const auto after = Recorded(throughEffect);
  ASSERT_FALSE(after.empty());
  std::map<UINT, int> indicesAfter;
  for (const auto& draw : after) ++indicesAfter[draw.vertexCount];
  EXPECT_NE(indicesAfter, indicesBefore);
  EXPECT_EQ(Manager()->GetModelManager()->GetMesh("CUBE")->GetNumFaces(),
            Manager()->GetModelManager()->GetMesh("CONE")->GetNumFaces());

  // The effect gains a parameter: the draws go through the same effect object, which has it.
  const std::string path = "Data/SHADER/uv_animation.effect";
  std::string text = FileContents(path);
  text.insert(text.find("@technique"), "uniform vec4 g_added;\n");
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
  Changed(path);
  EXPECT_EQ(Manager()->GetShaderManager()->GetEffect("UVAnimation"), effect);
  EXPECT_FALSE(Recorded(throughEffect).empty());
  EXPECT_NE(effect->GetParameterByName(nullptr, "g_added"), nullptr);
}

// A clock that moves a millisecond each time it is read and runs the test's steps when their
// time comes: the whole program runs on it, as in a real run, with the real file watcher.
class ScriptedClock final : public platform::Clock {
 public:
  std::uint32_t NowMs() override {
    ++now_;
    while (!steps_.empty() && steps_.begin()->first <= now_) {
      auto step = std::move(steps_.begin()->second);
      steps_.erase(steps_.begin());
      step();
    }
    return now_;
  }
  void At(std::uint32_t ms, std::function<void()> step) { steps_.emplace(ms, std::move(step)); }

 private:
  std::uint32_t now_ = 0;
  std::multimap<std::uint32_t, std::function<void()>> steps_;
};

TEST(HotReloadRunTest, ARunReadsAChangedTextureAgainAndANoWatchRunDoesNot) {
  for (const bool watch : {true, false}) {
    SCOPED_TRACE(watch ? "watching" : "--no-watch");
    SampleDataCopy data;
    platform::HeadlessWindowSystem system;
    ScriptedClock clock;
    int green = -1;
    const auto flare = [] {
      return CManager::GetInstance()->GetTextureManager()->GetTexture(false, "FLARE");
    };
    clock.At(100, [&] { ASSERT_NE(flare(), nullptr); });
    clock.At(200, [&] { data.Picture("Data/TEXTURE/flare.png", 255, 0, 0); });
    // The sample flare is white in its middle; the picture written is red all over.
    clock.At(800, [&] { green = static_cast<gfx::NullTexture*>(flare())->Pixel(4, 4)[1]; });
    CommandLine options;
    options.frames = 60;
    options.noWatch = !watch;
    ASSERT_EQ(RunApplication(options, system, clock), 0);
    if (watch) {
      EXPECT_EQ(green, 0);
    } else {
      EXPECT_GT(green, 200) << "still the sample's picture";
    }
  }
}

}  // namespace
