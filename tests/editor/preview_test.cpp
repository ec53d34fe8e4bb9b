// The Preview window and its keys, driven through the interface library's input: pause, step,
// restart, emit, loop, speed, the timeline's seek and scrub, edits while paused, and seeds.

#include <cmath>

#include "app/preview_player.h"
#include "input/input.h"
#include "particle/particle.h"
#include "platform/dik.h"
#include "scene/shared_state.h"
#include "support/editor_fixture.h"
#include "support/scene_snapshot.h"
#include "view/pointer.h"

namespace {

class PreviewTest : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    // A lively effect: trails, a swirl that draws a new angle every frame, random velocities,
    // and places on a circle from the placement sequence.
    ParticleParams& d = Editor()->Effects["Begin"][0];
    d.Emission.Quantity = 12;
    d.Emission.Behavior = Behavior_Rotate;
    d.Billboard.Velocity = {0.0f, 0.5f, 0.0f};
    d.Billboard.RotateRadius = 0.02f;
    d.Billboard.RandomRotateMin = 5.0f;
    d.Billboard.RandomRotateMax = 25.0f;
    d.Billboard.UseRandom = true;
    d.Billboard.RandomVelocityMin = {-1.0f, -1.0f, -1.0f};
    d.Billboard.RandomVelocityMax = {1.0f, 1.0f, 1.0f};
    d.Billboard.RandomCreate = Random_Circle;
    d.Billboard.CreateRange = 0.05f;
    d.Billboard.DestColor = {1.0f, 0.2f, 0.0f, 0.0f};
    d.Billboard.Trail = true;
    d.Billboard.TrailWidth = 2.0f;
    Frame();
  }

  static const PreviewControls& Controls() { return Editor()->Preview; }
  static std::uint64_t Emissions() { return Manager()->GetPointer()->GetEmissionCount(); }
  static std::size_t Emitters() { return Shared().emitters.OpenCount(); }
  // The emitter made last, whoever made it.
  static CParticleEmitter* NewestEmitter() {
    CParticleEmitter* newest = nullptr;
    for (int priority = 0; priority < CObject::OBJECT_PRIORITY_MAX; ++priority)
      for (CObject* object = CObject::Head(priority); object; object = object->Next())
        if (auto* emitter = dynamic_cast<CParticleEmitter*>(object); emitter && !emitter->IsDeath())
          newest = emitter;
    return newest;
  }

  void Pause() {
    if (Controls().Playing) Click("Pause", "Preview");
    ASSERT_FALSE(Controls().Playing);
  }
  // Paused at frame 0 of a fresh emission at the pointer.
  void RestartPaused() {
    Pause();
    Click("Restart", "Preview");
    ASSERT_EQ(Controls().Frame, 0);
  }
  void StepKey(int times) {
    for (int i = 0; i < times; ++i) Tap(SDL_SCANCODE_PERIOD);
  }
  // A key pressed in the scene window, read by its keyboard.
  void SceneKey(std::uint8_t dik) {
    system_.SetKey(dik, true);
    Frame();
    system_.SetKey(dik, false);
    Frame();
  }
  void SeekTo(int frame) { TypeIntoDrag("Frame", std::to_string(frame), "Preview"); }
  void SetSeed(const std::string& seed) {
    Click("Seed", "Preview");
    Tap(SDL_SCANCODE_A, KMOD_CTRL);
    Type(seed);
    Tap(SDL_SCANCODE_RETURN);
  }
};

// ---- transport ------------------------------------------------------------------------------------

TEST_F(PreviewTest, PauseFreezesTheObjectsAndPlayGoesOn) {
  Click("Restart", "Preview");
  Frame(10);
  Pause();
  EXPECT_TRUE(Shown("Play", "Preview")) << "the button says what it will do";
  const std::string frozen = SceneSnapshot();
  const int frame = Controls().Frame;
  Frame(30);
  EXPECT_TRUE(SameSnapshot(SceneSnapshot(), frozen));
  EXPECT_EQ(Controls().Frame, frame);
  EXPECT_EQ(Emissions(), 1u) << "a paused pointer counts nothing towards its next emission";

  Click("Play", "Preview");
  Frame(3);
  EXPECT_FALSE(SameSnapshot(SceneSnapshot(), frozen));
  EXPECT_GT(Controls().Frame, frame);
}

TEST_F(PreviewTest, StepAdvancesOneFrameAndHoldingItRepeats) {
  RestartPaused();
  Click("Step", "Preview");
  EXPECT_EQ(Controls().Frame, 1);
  const std::string one = SceneSnapshot();
  Frame(10);
  EXPECT_TRUE(SameSnapshot(SceneSnapshot(), one)) << "a step leaves the preview paused";

  // Held down for a second, the button repeats.
  MoveMouse(Find("Step", "Preview").Centre());
  Frame();
  MouseButton(true);
  Frame(60);
  MouseButton(false);
  Frame();
  EXPECT_GT(Controls().Frame, 5);
  EXPECT_FALSE(Controls().Playing);
}

TEST_F(PreviewTest, RestartLeavesOnlyTheNewEmissionAtFrameZero) {
  TypeIntoDrag("Emission Interval", "15");
  Frame(40);
  ASSERT_GE(Emitters(), 2u);
  Click("Restart", "Preview");
  EXPECT_EQ(Emitters(), 1u);
  EXPECT_LE(Controls().Frame, 3) << "a click takes a few frames, which the preview plays";
  const CParticleEmitter* emitter = Manager()->GetPointer()->GetLastEmitter();
  ASSERT_NE(emitter, nullptr);
  EXPECT_EQ(emitter->GetParticles().size(), 12u);
}

TEST_F(PreviewTest, EmitAddsAnEmissionWithoutClearing) {
  RestartPaused();
  StepKey(3);
  Click("Emit", "Preview");
  EXPECT_EQ(Emitters(), 2u);
  EXPECT_EQ(Controls().Frame, 0) << "the timeline follows the newest emission";
}

TEST_F(PreviewTest, PlaybackAtAQuarterSpeedTakesFourFramesAStepAndAtFourTimesFourStepsAFrame) {
  Click("Restart", "Preview");
  TypeIntoDrag("Speed", "0.25", "Preview");
  ASSERT_FLOAT_EQ(Controls().Speed, 0.25f);
  int before = Controls().Frame;
  Frame(8);
  EXPECT_EQ(Controls().Frame - before, 2);

  TypeIntoDrag("Speed", "4", "Preview");
  before = Controls().Frame;
  Frame(3);
  EXPECT_EQ(Controls().Frame - before, 12);

  TypeIntoDrag("Speed", "50", "Preview");
  EXPECT_FLOAT_EQ(Controls().Speed, PreviewControls::kMaxSpeed) << "typed values stay in range";
}

TEST_F(PreviewTest, PlaybackWithLoopOffEmitsNothingByItself) {
  TypeIntoDrag("Emission Interval", "15");
  Click("Loop", "Preview");
  ASSERT_FALSE(Controls().Loop);
  const std::uint64_t before = Emissions();
  Frame(60);
  EXPECT_EQ(Emissions(), before);
  Click("Emit", "Preview");
  EXPECT_EQ(Emissions(), before + 1) << "emitting by hand still works";

  Click("Loop", "Preview");
  Frame(31);
  EXPECT_GE(Emissions(), before + 2);
}

TEST_F(PreviewTest, PauseStepRestartAndEmitKeysWorkFromEitherWindowButNotWhileTyping) {
  Tap(SDL_SCANCODE_SPACE);
  EXPECT_FALSE(Controls().Playing);
  SceneKey(DIK_SPACE);
  EXPECT_TRUE(Controls().Playing);
  SceneKey(DIK_SPACE);
  ASSERT_FALSE(Controls().Playing);

  SceneKey(DIK_BACK);
  EXPECT_EQ(Controls().Frame, 0);
  EXPECT_EQ(Emitters(), 1u);
  Tap(SDL_SCANCODE_PERIOD);
  EXPECT_EQ(Controls().Frame, 1);
  SceneKey(DIK_PERIOD);
  EXPECT_EQ(Controls().Frame, 2);
  const std::uint64_t emissions = Emissions();
  Tap(SDL_SCANCODE_RETURN);
  EXPECT_EQ(Emissions(), emissions + 1);
  SceneKey(DIK_RETURN);
  EXPECT_EQ(Emissions(), emissions + 2);
  Tap(SDL_SCANCODE_BACKSPACE);
  EXPECT_EQ(Emitters(), 1u);

  // Typing a tag name: the keys are the text's.
  Click("##ParticleTag");
  Tap(SDL_SCANCODE_SPACE);
  Type("a b.");
  Tap(SDL_SCANCODE_PERIOD);
  Tap(SDL_SCANCODE_BACKSPACE);
  EXPECT_FALSE(Controls().Playing);
  EXPECT_EQ(Controls().Frame, 0);
  EXPECT_EQ(std::string(Editor()->TagInput.data()), "a b");
}

// ---- the timeline --------------------------------------------------------------------------------

TEST_F(PreviewTest, SeekToFrameNEqualsNStepsOfAFreshEmissionObjectForObject) {
  RestartPaused();
  StepKey(40);
  ASSERT_EQ(Controls().Frame, 40);
  const std::string stepped = SceneSnapshot();

  SeekTo(12);
  EXPECT_EQ(Controls().Frame, 12);
  EXPECT_FALSE(SameSnapshot(SceneSnapshot(), stepped));
  EXPECT_EQ(Emitters(), 1u) << "a seek rebuilds the scene around the one emission";
  SeekTo(40);
  EXPECT_EQ(Controls().Frame, 40);
  EXPECT_TRUE(SameSnapshot(SceneSnapshot(), stepped))
      << "positions, colours and trail vertices as they first played";
}

TEST_F(PreviewTest, SeekPlaysAnEmissionThatOverlappedOthersExactlyAsItPlayed) {
  // Emissions every 15 frames overlap, each swirling on random angles of its own stream.
  TypeIntoDrag("Emission Interval", "15");
  Frame(50);
  Pause();
  ASSERT_GT(Emitters(), 1u);
  const int frame = Controls().Frame;
  ASSERT_GT(frame, 2);
  const std::string played = EmissionSnapshot(*NewestEmitter());
  SeekTo(frame - 2);
  ASSERT_EQ(Emitters(), 1u);
  StepKey(2);
  ASSERT_EQ(Controls().Frame, frame);
  EXPECT_TRUE(SameSnapshot(EmissionSnapshot(*NewestEmitter()), played));
}

TEST_F(PreviewTest, ScrubbingTheTimelinePausesAndShowsTheFrameUnderTheMouse) {
  Click("Restart", "Preview");
  Frame(5);
  const ui::LoggedItem timeline = Find("Frame", "Preview");
  ASSERT_EQ(Controls().Length, 50) << "the effect's particles live 50 frames";
  Drag(ImVec2(timeline.min.x + 2, timeline.Centre().y), timeline.Centre());
  EXPECT_FALSE(Controls().Playing);
  EXPECT_NEAR(Controls().Frame, 25, 2);
  const std::string scrubbed = SceneSnapshot();
  Frame(10);
  EXPECT_TRUE(SameSnapshot(SceneSnapshot(), scrubbed));
}

TEST_F(PreviewTest, AnEditWhilePausedPlaysTheEmissionAgainToTheSameFrame) {
  RestartPaused();
  StepKey(20);
  const std::string before = SceneSnapshot();
  Click("ICON_PARTICLE");
  Reveal("Create", "Particles");
  Click("Create", "Particles");
  Reveal("PopTime", "Particles");
  TypeIntoDrag("PopTime", "30", "Particles");
  ASSERT_EQ(Editor()->Effects["Begin"][0].Billboard.PopTime, 30);
  EXPECT_EQ(Controls().Frame, 20) << "still the frame the user was looking at";
  EXPECT_EQ(Controls().Length, 30);
  const std::string edited = SceneSnapshot();
  EXPECT_FALSE(SameSnapshot(edited, before)) << "the colours fade over the new life";

  Click("ICON_PARTICLE");  // out of the timeline's way
  SeekTo(3);
  SeekTo(20);
  EXPECT_TRUE(SameSnapshot(SceneSnapshot(), edited));
}

// ---- seeds -------------------------------------------------------------------------------------

TEST_F(PreviewTest, OneSeedGivesEqualObjectsAndAnotherSeedOthers) {
  Pause();
  const auto run = [&](const std::string& seed) {
    SetSeed(seed);
    EXPECT_TRUE(Controls().Repeatable);
    EXPECT_EQ(Controls().Frame, 0) << "a new seed starts the run over";
    StepKey(15);
    return SceneSnapshot();
  };
  const std::string seven = run("7");
  const std::string eight = run("8");
  EXPECT_FALSE(SameSnapshot(seven, eight));
  EXPECT_TRUE(SameSnapshot(run("7"), seven));
}

TEST_F(PreviewTest, SeedlessRunsKeepThePlacementSequenceFromZero) {
  RestartPaused();
  const CParticleEmitter* emitter = Manager()->GetPointer()->GetLastEmitter();
  ASSERT_NE(emitter, nullptr);
  // The first particle takes the sequence's first two draws: angle, then radius.
  PlacementRandom sequence;
  sequence.Seed(0);
  const double a = sequence.Next() / 32767.0 * 2.0 * D3DX_PI;
  const double r = std::sqrt(sequence.Next() / 32767.0) * (0.05 * 360.0);
  const D3DXVECTOR3 first = emitter->GetParticles().front()->GetPos();
  EXPECT_NEAR(first.x, std::cos(a) * r, 1e-3);
  EXPECT_NEAR(first.z, std::sin(a) * r, 1e-3);
  EXPECT_FALSE(Controls().Repeatable);
}

}  // namespace
