// The frame figures: the scene counted by kind on the Null device, and the recorder's rates,
// means and ring of frame times over a clock the test moves.

#include <gtest/gtest.h>

#include <chrono>

#include "app/stats_recorder.h"
#include "particle/particle_emitter.h"
#include "support/headless_scene.h"
#include "ui/frame_figures.h"

namespace {

using Clock = StatsRecorder::Clock;
using std::chrono::milliseconds;

class StatsRecorderTest : public HeadlessScene {
 protected:
  static ParticleParams Flares(int quantity) {
    ParticleParams d = CEditor::BeginDefinition();
    d.Billboard.PopTime = 500;
    d.Billboard.Trail = true;
    d.Emission.Quantity = quantity;
    return d;
  }
  static ParticleParams Cubes(int quantity) {
    ParticleParams d = Flares(quantity);
    d.Billboard.Trail = false;
    d.Mesh.PopTime = 500;
    d.Emission.ParticleType = Object_Mesh;
    return d;
  }
  static const FrameFigures& Figures() { return Manager()->GetFrameFigures(); }
};

TEST_F(StatsRecorderTest, CountsTheSceneByKindAndTheDrawsItTook) {
  Frame();
  // The floor and the pointer.
  EXPECT_EQ(Figures().objects, 2);
  EXPECT_EQ(Figures().billboardParticles + Figures().meshParticles + Figures().trails + Figures().emitters,
            0);

  Table()["STATS"] = {Flares(30), Cubes(4)};
  CParticleEmitter::Create("STATS");
  CParticleEmitter::Create("STATS");
  Frame(3);
  EXPECT_EQ(Figures().billboardParticles, 60);
  EXPECT_EQ(Figures().meshParticles, 8);
  EXPECT_EQ(Figures().trails, 60);
  EXPECT_EQ(Figures().emitters, 2);
  EXPECT_EQ(Figures().objects, 2 + 2 + 60 + 60 + 8);

  // The last frame's draws, as the device counted them: the Null device batches nothing.
  const gfx::DrawCounts counts = Device()->LastFrameCounts();
  const std::uint64_t before = Device()->DrawCount();
  Frame();
  EXPECT_EQ(Device()->LastFrameCounts().draws, Device()->DrawCount() - before);
  EXPECT_GT(counts.draws, 60u);
  EXPECT_EQ(counts.batches, counts.draws);

  // The counts follow the registry as objects go: dead ones until the next purge.
  for (CObject* object : Registry())
    if (object->GetType() == CParticleEmitter::kType) object->SetDeath();
  Manager()->Draw();
  EXPECT_EQ(Figures().emitters, 2);
  Frame();
  EXPECT_EQ(Figures().emitters, 0);
  EXPECT_EQ(Figures().objects, static_cast<int>(Registry().size()));
}

TEST_F(StatsRecorderTest, RatesAndMeansCoverWholeSecondsOfWallTime) {
  StatsRecorder recorder;
  Clock::time_point now{};
  // Frames 20 ms apart, each of 2 steps taking 3 ms and a picture of 5 ms with 7 draws sent
  // as 2 batches: the 51st ends 1,010 ms after the first began, closing the second.
  for (int frame = 0; frame < 51; ++frame) {
    EXPECT_EQ(recorder.Figures().secondsMeasured, 0u);
    recorder.FrameStarted(now);
    recorder.StepsRan(2, milliseconds(3));
    recorder.SceneDrawn(milliseconds(5));
    now += milliseconds(10);
    recorder.FrameEnded(now, {7, 2}, 0.75);
    now += milliseconds(10);
  }
  const FrameFigures& f = recorder.Figures();
  EXPECT_EQ(f.secondsMeasured, 1u);
  EXPECT_NEAR(f.framesPerSecond, 51 / 1.01, 1e-9);
  EXPECT_NEAR(f.stepsPerSecond, 102 / 1.01, 1e-9);
  EXPECT_DOUBLE_EQ(f.updateMs, 3.0);
  EXPECT_DOUBLE_EQ(f.drawMs, 5.0);
  EXPECT_DOUBLE_EQ(f.frameMs, 10.0);
  EXPECT_DOUBLE_EQ(f.drawsPerFrame, 7.0);
  EXPECT_DOUBLE_EQ(f.batchesPerFrame, 2.0);
  EXPECT_DOUBLE_EQ(f.realtime, 0.75);

  // The next second starts where that one closed: 25 frames of 40 ms after a 10 ms pause.
  for (int frame = 0; frame < 25; ++frame) {
    EXPECT_EQ(f.secondsMeasured, 1u);
    recorder.FrameStarted(now);
    recorder.StepsRan(1, milliseconds(1));
    now += milliseconds(40);
    recorder.FrameEnded(now, {1, 1}, 1.0);
  }
  EXPECT_EQ(f.secondsMeasured, 2u);
  EXPECT_NEAR(f.framesPerSecond, 25 / 1.01, 1e-9);
  EXPECT_DOUBLE_EQ(f.updateMs, 1.0);
  EXPECT_DOUBLE_EQ(f.drawMs, 0.0);
  EXPECT_DOUBLE_EQ(f.frameMs, 40.0);
}

TEST_F(StatsRecorderTest, KeepsTheLastFrameTimesOldestFirst) {
  StatsRecorder recorder;
  Clock::time_point now{};
  const int frames = FrameFigures::kHistory + 20;
  for (int frame = 1; frame <= frames; ++frame) {
    recorder.FrameStarted(now);
    now += milliseconds(frame);
    recorder.FrameEnded(now, {}, 1.0);
    const FrameFigures& f = recorder.Figures();
    ASSERT_EQ(f.historyCount, std::min(frame, FrameFigures::kHistory));
    ASSERT_FLOAT_EQ(f.History(f.historyCount - 1), static_cast<float>(frame));
  }
  const FrameFigures& f = recorder.Figures();
  EXPECT_FLOAT_EQ(f.History(0), 21.0f);
  EXPECT_FLOAT_EQ(f.History(FrameFigures::kHistory - 1), static_cast<float>(frames));
}

}  // namespace
