// The "Sounds" window driven through the interface: the sound preview and the selected
// effect's track lists.

#include <gtest/gtest.h>

#include "resource/sound_manager.h"
#include "particle/particle_emitter.h"
#include "support/editor_fixture.h"
#include "support/scoped_audio_driver.h"

namespace {

class SoundPanel : public EditorTest {
 protected:
  SoundPanel() : EditorTest({.soundOutput = true}) {}

  void SetUp() override {
    EditorTest::SetUp();
    Click("ICON_SOUND");
    ASSERT_TRUE(Shown("Sounds", "Sounds"));
  }
  // Chooses a sound of the catalog in the "Sound" combo (its entries are in tag order).
  void ChooseSound(const std::string& tag) {
    Click("Sound", "Sounds");
    Click(tag);
  }
  // Types the number into "Tracks" over what it holds.
  void TypeTracks(const std::string& number) {
    const ui::LoggedItem field = Find("Tracks", "Sounds");
    ClickAt(ImVec2(field.min.x + 12, field.Centre().y));
    Tap(SDL_SCANCODE_A, KMOD_CTRL);
    Type(number);
    Tap(SDL_SCANCODE_RETURN);
  }
  std::vector<SoundTrack>& Tracks(const std::string& tag = "Begin") {
    return Editor()->Effects[tag][0].Emission.SoundTracks;
  }
};

TEST_F(SoundPanel, StepButtonAddsTracksOfTheChosenSound) {
  ChooseSound("TONE_440");
  EXPECT_EQ(Editor()->Sound.SoundIndex, 3);
  Click("Tracks/+", "Sounds");
  Click("Tracks/+", "Sounds");
  ASSERT_TRUE(Shown("Track1") && Shown("Track2"));
  EXPECT_FALSE(Shown("Track3"));
  const std::vector<SoundTrack> expected = {{"TONE_440", 0}, {"TONE_440", 0}};
  EXPECT_EQ(Tracks(), expected);
  EXPECT_EQ(Editor()->Sound.TrackLists["Begin"], expected);

  // A track's own sound choice.
  Click("Track1");
  ASSERT_TRUE(Shown("TrackSound"));
  Click("TrackSound");
  Click("NOISE_BURST");
  EXPECT_EQ(Tracks()[0].TrackSound, "NOISE_BURST");
  EXPECT_EQ(Tracks()[1].TrackSound, "TONE_440");

  Click("Play", "Sounds");
  EXPECT_TRUE(Manager()->GetSoundManager()->IsPlaying("TONE_440"));
}

TEST_F(SoundPanel, EachTrackShowsItsOwnSound) {
  ChooseSound("NOISE_BURST");
  Click("Tracks/+", "Sounds");
  ChooseSound("TONE_440");
  Click("Tracks/+", "Sounds");
  Click("Track1");
  Click("Track2");
  const auto shown = [&] {
    std::vector<std::string> previews;
    for (const ui::LoggedItem& item : Log().Items())
      if (item.label == "TrackSound") previews.push_back(item.shown);
    return previews;
  };
  EXPECT_EQ(shown(), (std::vector<std::string>{"NOISE_BURST", "TONE_440"}));

  // A sound the catalog lacks shows by its name, and showing it changes nothing: neither the
  // list nor the definition, which has the tracks as the user last changed them.
  Editor()->Sound.TrackLists["Begin"][0].TrackSound = "GONE";
  Frame(2);
  EXPECT_EQ(shown(), (std::vector<std::string>{"GONE", "TONE_440"}));
  EXPECT_EQ(Editor()->Sound.TrackLists["Begin"][0].TrackSound, "GONE");
  EXPECT_EQ(Tracks()[0].TrackSound, "NOISE_BURST");
}

TEST_F(SoundPanel, TypedCountsAddOrRemoveOneTrackAtATime) {
  TypeTracks("5");
  EXPECT_EQ(Editor()->Sound.TrackCount, 5);
  ASSERT_EQ(Tracks().size(), 1u) << "typing 5 adds one track, not five";
  EXPECT_EQ(Tracks()[0].TrackSound, "LOOP") << "the sound at the combo's selection, the first";
  Click("Tracks/+", "Sounds");
  ASSERT_EQ(Tracks().size(), 2u);
  TypeTracks("-3");
  EXPECT_EQ(Editor()->Sound.TrackCount, 0);
  EXPECT_EQ(Editor()->Sound.TrackLists["Begin"].size(), 1u);
}

TEST_F(SoundPanel, OtherTagsKeepTheirTracksAndEmptyListsLoseNothing) {
  Click("Tracks/+", "Sounds");
  ASSERT_EQ(Tracks().size(), 1u);
  // A second effect, chosen in the main window: no track nodes, its definition untouched.
  Editor()->Effects["Fire"] = {CEditor::BeginDefinition()};
  Editor()->Effects["Fire"][0].Emission.SoundTracks = {{"LOOP_MP3", 12}};
  Editor()->Tags.push_back("Fire");
  Editor()->TagIndex = 1;
  Frame(2);
  EXPECT_FALSE(Shown("Track1"));
  EXPECT_EQ(Tracks("Fire"), (std::vector<SoundTrack>{{"LOOP_MP3", 12}}));
  // The count is shared by all tags: lowering it here has nothing to remove.
  Click("Tracks/-", "Sounds");
  EXPECT_TRUE(Editor()->Sound.TrackLists["Fire"].empty());
  EXPECT_EQ(Tracks("Fire"), (std::vector<SoundTrack>{{"LOOP_MP3", 12}}));
  EXPECT_EQ(Tracks("Begin").size(), 1u);

  // A sound selection past the catalog's end gives tracks without a sound and plays nothing.
  Editor()->Sound.SoundIndex = 40;
  Click("Tracks/+", "Sounds");
  EXPECT_EQ(Tracks("Fire"), (std::vector<SoundTrack>{{"", 0}}));
  Click("Play", "Sounds");
}

// On a machine without a sound device the editor still starts; the panel says why it is silent.
class SilentSoundPanel : public SoundPanel {
 protected:
  ScopedAudioDriver noDevice_{"no-such-driver"};
};

TEST_F(SilentSoundPanel, SaysThereIsNoOutputAndPlaysNothing) {
  EXPECT_TRUE(Shown("(no sound output)", "Sounds"));
  CSoundManager* sounds = Manager()->GetSoundManager();
  EXPECT_FALSE(sounds->HasOutput());
  // Tracks are still edited, and an emission that reaches one plays nothing.
  ChooseSound("TONE_440");
  Click("Tracks/+", "Sounds");
  ASSERT_EQ(Tracks(), (std::vector<SoundTrack>{{"TONE_440", 0}}));
  Click("Play", "Sounds");
  Frame();
  Table()["Begin"] = Editor()->Effects["Begin"];
  CParticleEmitter* emitter = CParticleEmitter::Create("Begin");
  for (int frame = 0; frame < 3; ++frame) Frame();
  EXPECT_EQ(emitter->GetPlayedSound(), "TONE_440") << "the track's turn came";
  EXPECT_FALSE(sounds->IsPlaying("TONE_440"));
  EXPECT_FALSE(sounds->IsLoaded("TONE_440"));
}

}  // namespace
