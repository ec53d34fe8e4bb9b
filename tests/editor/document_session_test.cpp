// The editor's document as a user meets it, through the interface only: undo and redo of every
// kind of change, copy and paste, the unsaved mark, autosave and recovery, the question before
// work is lost, dropped files and the browser of Save As.

#include <SDL_events.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "effectfile/editor_document.h"
#include "effectfile/particle_json.h"
#include "platform/message_sink.h"
#include "support/editor_fixture.h"

namespace {

class FakeClock final : public platform::Clock {
 public:
  std::uint32_t NowMs() override { return now_; }
  void Advance(std::uint32_t ms) { now_ += ms; }

 private:
  std::uint32_t now_ = 1000;
};

// An interactive run: autosaves on, timed by a clock the test moves.
class DocumentSession : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    Editor()->EnableAutosave(State().string(), clock_);
  }
  std::filesystem::path State() const { return dir_ / "state"; }
  std::string AutosaveOf(const std::string& document = "") {
    return Autosave(State().string(), clock_).PathFor(document);
  }

  void DragSideways(const std::string& label, float dx) {
    const ImVec2 at = Find(label).Centre();
    Drag(ImVec2(at.x - 60, at.y), ImVec2(at.x - 60 + dx, at.y));
  }
  void Undo() { Tap(SDL_SCANCODE_Z, KMOD_LCTRL); }
  void Redo() { Tap(SDL_SCANCODE_Z, KMOD_LCTRL | KMOD_LSHIFT); }
  void AddTag(const std::string& name) {
    Fill("##ParticleTag", name);
    Click("SetTag");
  }
  std::string Title() const { return Editor()->DocumentTitle(); }
  // The name shown right-aligned in the menu bar, as drawn.
  bool MenuBarShowsTheTitle() const {
    const ui::LoggedItem* name = Log().Find("##document");
    const ui::LoggedItem* file = Log().Find("File");
    return name && file && name->min.x > file->max.x + 100;
  }
  void PressEscape() {
    Key(SDL_SCANCODE_ESCAPE, true);
    Key(SDL_SCANCODE_ESCAPE, false);
    Frame(2);
  }
  void CloseWindow() {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = SDL_WINDOWEVENT_CLOSE;
    e.window.windowID = SceneWindowId();
    system_.PushEvent(e);
    Frame(2);
  }

  FakeClock clock_;
};

// ---- undo and redo --------------------------------------------------------------------------------

TEST_F(DocumentSession, UndoOfADragIsOneStepAndRedoBringsItBack) {
  ASSERT_FALSE(Editor()->IsDirty());
  DragSideways("Emission Interval", 40);
  const int dragged = Editor()->EmissionInterval;
  ASSERT_NE(dragged, CEditor::kDefaultEmissionInterval);
  EXPECT_EQ(Editor()->History().StepCount(), 1u) << "a whole drag is one step";
  EXPECT_TRUE(Editor()->IsDirty());
  EXPECT_EQ(Title(), "untitled *");

  Click("Edit");
  EXPECT_TRUE(Shown("Undo Emission Interval"));
  Click("Undo Emission Interval");
  EXPECT_EQ(Editor()->EmissionInterval, CEditor::kDefaultEmissionInterval);
  EXPECT_FALSE(Editor()->IsDirty()) << "back where it was saved";
  Redo();
  EXPECT_EQ(Editor()->EmissionInterval, dragged);
  Undo();
  EXPECT_EQ(Editor()->EmissionInterval, CEditor::kDefaultEmissionInterval);
}

TEST_F(DocumentSession, UndoOfATypedValueTakesItBackWhole) {
  TypeIntoDrag("Emission Interval", "321");
  ASSERT_EQ(Editor()->EmissionInterval, 321);
  EXPECT_EQ(Editor()->History().StepCount(), 1u) << "each typed digit is not a step";
  Undo();
  EXPECT_EQ(Editor()->EmissionInterval, CEditor::kDefaultEmissionInterval);
}

TEST_F(DocumentSession, UndoAndRedoOfPlusMinusSetTagAndRename) {
  Click("+");
  Click("+");
  ASSERT_EQ(Editor()->Effects["Begin"].size(), 3u);
  Click("-");
  ASSERT_EQ(Editor()->Effects["Begin"].size(), 2u);
  AddTag("Fire");
  ASSERT_EQ(Editor()->Tags, (std::vector<std::string>{"Begin", "Fire"}));
  EXPECT_EQ(Editor()->History().UndoName(), "Add Effect");

  Undo();
  EXPECT_EQ(Editor()->Tags, (std::vector<std::string>{"Begin"}));
  EXPECT_EQ(Editor()->GetTag(), "Begin") << "the selection never points at a tag that went";
  Undo();
  EXPECT_EQ(Editor()->Effects["Begin"].size(), 3u);
  Undo();
  Undo();
  EXPECT_EQ(Editor()->Effects["Begin"].size(), 1u);
  EXPECT_FALSE(Editor()->History().CanUndo());
  for (int i = 0; i < 4; ++i) Redo();
  EXPECT_EQ(Editor()->Tags, (std::vector<std::string>{"Begin", "Fire"}));
  EXPECT_EQ(Editor()->Effects["Begin"].size(), 2u);
}

TEST_F(DocumentSession, UndoOfARenameAndOfALoadRestoreTheEffects) {
  const std::vector<SoundTrack> tracks = {{"NOISE_BURST", 3}};
  Editor()->Sound.TrackLists["Begin"] = tracks;
  Click("EmitterTagList", "", SDL_BUTTON_RIGHT);
  Click("Change");
  Fill("ChangeTag", "Spark");
  Tap(SDL_SCANCODE_RETURN);
  ASSERT_EQ(Editor()->Tags, (std::vector<std::string>{"Spark"}));
  EXPECT_EQ(Editor()->History().UndoName(), "Rename Effect");
  EXPECT_EQ(Editor()->MakeDocument().Effects[0].Tracks, tracks) << "the tracks go with the effect renamed";

  EffectTable document;
  document["Smoke"] = {CEditor::BeginDefinition(), CEditor::BeginDefinition()};
  ASSERT_TRUE(SaveParticleJson(document, "particle.json"));
  ChooseFileMenu("LoadJson");
  ASSERT_EQ(Editor()->Effects.count("Smoke"), 1u);
  EXPECT_EQ(Editor()->History().UndoName(), "Load particle.json");

  Undo();
  EXPECT_EQ(Editor()->Effects.count("Smoke"), 0u);
  EXPECT_EQ(Editor()->Tags, (std::vector<std::string>{"Spark"}));
  Undo();
  EXPECT_EQ(Editor()->Tags, (std::vector<std::string>{"Begin"}));
  EXPECT_EQ(Editor()->GetTag(), "Begin");
  EXPECT_EQ(Table().count("Begin"), 1u) << "the pointer plays the effect undone";
}

TEST_F(DocumentSession, RedoIsClearedByANewEdit) {
  Click("+");
  Click("+");
  Undo();
  ASSERT_TRUE(Editor()->History().CanRedo());
  DragSideways("Emission Interval", 30);
  EXPECT_FALSE(Editor()->History().CanRedo());
  Redo();
  EXPECT_EQ(Editor()->Effects["Begin"].size(), 2u) << "nothing to redo after the new edit";
}

TEST_F(DocumentSession, UndoNeverSeesLookingAsAChange) {
  // Every panel opened, the curve and the sounds shown: nothing is saved differently.
  const EditorDocument before = Editor()->MakeDocument();
  Click("+");
  Click("Item : 1");
  Click("ICON_SOUND");
  Click("ICON_PARTICLE");
  Reveal("Plot", "Particles");
  Click("Plot", "Particles");
  Frame(3);
  ASSERT_TRUE(Shown("PlotData", "Particles"));
  ASSERT_TRUE(Shown("Tracks/+", "Sounds"));
  EXPECT_EQ(Editor()->History().StepCount(), 1u);
  Undo();
  EXPECT_EQ(Editor()->MakeDocument().Effects, before.Effects);
  EXPECT_FALSE(Editor()->IsDirty());
  EXPECT_FALSE(Editor()->History().CanUndo()) << Editor()->History().UndoName();
}

TEST_F(DocumentSession, UndoOfPasteAndDuplicateAfterCopyThroughTheClipboard) {
  Editor()->SelectedDefinition()->Billboard.PopTime = 77;
  Tap(SDL_SCANCODE_C, KMOD_LCTRL);
  const std::string clip = ImGui::GetClipboardText();
  EditorDocument copied;
  ASSERT_FALSE(ParseEditorDocument(clip, &copied)) << "the clipboard holds an editor document";
  ASSERT_EQ(copied.Effects.size(), 1u);
  EXPECT_EQ(copied.Effects[0].Definitions[0].Billboard.PopTime, 77);

  Tap(SDL_SCANCODE_V, KMOD_LCTRL);
  ASSERT_EQ(Editor()->Effects["Begin"].size(), 2u);
  EXPECT_EQ(Editor()->ItemIndex, 1) << "the pasted definition is selected";
  EXPECT_EQ(Editor()->Effects["Begin"][1].Billboard.PopTime, 77);

  Click("Edit");
  Click("Duplicate Effect");
  EXPECT_EQ(Editor()->GetTag(), "Begin copy");
  EXPECT_EQ(Editor()->Effects["Begin copy"], Editor()->Effects["Begin"]);
  Undo();
  EXPECT_EQ(Editor()->Effects.count("Begin copy"), 0u);
  Undo();
  EXPECT_EQ(Editor()->Effects["Begin"].size(), 1u);
}

// ---- saving and the unsaved mark ------------------------------------------------------------------

TEST_F(DocumentSession, DirtyUntitledDocumentSavesThroughTheBrowserByKeyboard) {
  Click("+");
  EXPECT_EQ(Title(), "untitled *");
  EXPECT_TRUE(MenuBarShowsTheTitle());
  Tap(SDL_SCANCODE_S, KMOD_LCTRL);  // untitled: Save asks where
  ASSERT_TRUE(Shown("File name"));
  // The name field has the keys, the suggested name's stem ready to be typed over.
  Type("fire");
  Tap(SDL_SCANCODE_RETURN);
  Frame(2);
  const std::string saved = (std::filesystem::current_path() / "Data/FILE/fire.effects.json").string();
  ASSERT_TRUE(std::filesystem::exists(saved));
  EXPECT_EQ(Title(), "fire.effects.json");
  EXPECT_EQ(platform::GetNotices().Recent().back(), "Saved fire.effects.json: 1 effect");
  EditorDocument read;
  ASSERT_FALSE(LoadEditorDocument(saved, &read));
  EXPECT_EQ(read.Effects[0].Definitions.size(), 2u);

  // Ctrl+S again writes back to the same file; undo back to the saved state is clean again.
  Click("+");
  EXPECT_TRUE(Editor()->IsDirty());
  Undo();
  EXPECT_FALSE(Editor()->IsDirty());
}

TEST_F(DocumentSession, UnsavedChangesAskOnEscapeAndCancelKeepsEverything) {
  Click("+");
  PressEscape();
  ASSERT_TRUE(Shown("Unsaved Changes"));
  EXPECT_FALSE(system_.QuitRequested());
  Click("Cancel");
  EXPECT_FALSE(Shown("Unsaved Changes"));
  EXPECT_FALSE(system_.QuitRequested());
  EXPECT_EQ(Editor()->Effects["Begin"].size(), 2u);

  // Escape while the question is on screen closes the question, not the program.
  PressEscape();
  ASSERT_TRUE(Shown("Unsaved Changes"));
  PressEscape();
  EXPECT_FALSE(Shown("Unsaved Changes"));
  EXPECT_FALSE(system_.QuitRequested());
}

TEST_F(DocumentSession, UnsavedChangesOnWindowCloseDontSaveQuitsAndDropsTheAutosave) {
  Click("+");
  clock_.Advance(Autosave::kQuietMs);
  Frame();
  ASSERT_TRUE(std::filesystem::exists(AutosaveOf()));
  CloseWindow();
  ASSERT_TRUE(Shown("Unsaved Changes"));
  Click("Don't Save");
  EXPECT_TRUE(system_.QuitRequested());
  EXPECT_FALSE(std::filesystem::exists(AutosaveOf())) << "the user chose to drop the work";
}

TEST_F(DocumentSession, UnsavedChangesSaveWritesTheDocumentThenQuits) {
  EditorDocument document = Editor()->MakeDocument();
  document.EmissionInterval = 200;
  std::string error;
  const std::string path = (dir_ / "ring.effects.json").string();
  ASSERT_TRUE(SaveEditorDocument(document, path, &error)) << error;
  ASSERT_TRUE(Editor()->OpenDocument(path));
  Frame();  // the notice line it posts moves the widgets below it
  EXPECT_EQ(Title(), "ring.effects.json");
  Click("+");
  PressEscape();
  Click("Save");
  EXPECT_TRUE(system_.QuitRequested());
  EditorDocument read;
  ASSERT_FALSE(LoadEditorDocument(path, &read));
  EXPECT_EQ(read.Effects[0].Definitions.size(), 2u);
  EXPECT_EQ(read.EmissionInterval, 200);
}

TEST_F(DocumentSession, CleanDocumentQuitsAtOnceWithoutAsking) {
  PressEscape();
  EXPECT_TRUE(system_.QuitRequested());
  EXPECT_FALSE(Shown("Unsaved Changes"));
}

TEST_F(DocumentSession, ExportsSayWhatTheRuntimeFormatsDropAndLeaveTheDocumentUnsaved) {
  Click("+");
  Click("+");
  std::vector<ParticleParams>& list = Editor()->Effects["Begin"];
  list[0].Billboard.RandomVelocityMax = {1, 2, 3};
  list[2].Billboard.RandomVelocityMin = {-1, 0, 0};
  list[1].Billboard.TrailWidth = 2.5f;
  // Every definition starts with trail colours and a height neither format keeps, so those
  // are told too; what matters here is that the ranges and the width are named and counted.
  ChooseFileMenu("SaveJson");
  const std::string json = platform::GetNotices().Recent().back();
  EXPECT_TRUE(json.starts_with("particle.json cannot hold ")) << json;
  EXPECT_NE(json.find("RandomVelocityMin/Max (2)"), std::string::npos) << json;
  EXPECT_NE(json.find("TrailWidth (1)"), std::string::npos) << json;
  EXPECT_EQ(json.find("Mesh."), std::string::npos) << "a billboard's mesh settings do not play: " << json;
  ChooseFileMenu("SaveText");
  const std::string text = platform::GetNotices().Recent().back();
  EXPECT_NE(text.find("TrailWidth (1)"), std::string::npos) << text;
  EXPECT_EQ(text.find("RandomVelocity"), std::string::npos) << "the text keeps the ranges: " << text;
  EXPECT_TRUE(Editor()->IsDirty()) << "an export is not a save of the document";
}

// ---- autosave and recovery --------------------------------------------------------------------------

TEST_F(DocumentSession, AutosaveFollowsTheQuietIntervalAndNeverRunsWithoutChanges) {
  clock_.Advance(Autosave::kPeriodMs * 2);
  Frame();
  EXPECT_FALSE(std::filesystem::exists(AutosaveOf())) << "nothing unsaved, nothing written";

  Click("+");
  clock_.Advance(Autosave::kQuietMs - 1);
  Frame();
  EXPECT_FALSE(std::filesystem::exists(AutosaveOf()));
  clock_.Advance(1);
  Frame();
  ASSERT_TRUE(std::filesystem::exists(AutosaveOf()));
  EditorDocument saved;
  ASSERT_FALSE(LoadEditorDocument(AutosaveOf(), &saved));
  EXPECT_EQ(saved.Effects, Editor()->MakeDocument().Effects);

  // Changes that never pause are still saved every period.
  const std::string first = FileContents(AutosaveOf());
  for (std::uint32_t t = 0; t < Autosave::kPeriodMs; t += 1000) {
    Click("+");
    clock_.Advance(1000);
  }
  Frame();
  EXPECT_NE(FileContents(AutosaveOf()), first);
}

TEST_F(DocumentSession, RecoverOffersANewerAutosaveAndMarksTheDocumentUnsaved) {
  EditorDocument autosaved = Editor()->MakeDocument();
  autosaved.Effects[0].Definitions.push_back(CEditor::BeginDefinition());
  autosaved.EmissionInterval = 400;
  std::filesystem::create_directories(State());
  std::string error;
  ASSERT_TRUE(SaveEditorDocument(autosaved, AutosaveOf(), &error)) << error;

  Editor()->OfferRecovery();
  Frame(2);
  ASSERT_TRUE(Shown("Recover Autosave"));
  Click("Recover");
  EXPECT_FALSE(Shown("Recover Autosave"));
  EXPECT_EQ(Editor()->EmissionInterval, 400);
  EXPECT_EQ(Editor()->Effects["Begin"].size(), 2u);
  EXPECT_TRUE(Editor()->IsDirty());
  EXPECT_EQ(Title(), "untitled *");
}

TEST_F(DocumentSession, RecoverDiscardRemovesTheAutosaveAndKeepsTheDocument) {
  const std::string path = (dir_ / "fire.effects.json").string();
  std::string error;
  ASSERT_TRUE(SaveEditorDocument(Editor()->MakeDocument(), path, &error));
  ASSERT_TRUE(Editor()->OpenDocument(path));
  Frame();  // the notice line it posts moves the widgets below it
  // An autosave older than the document is not offered.
  std::filesystem::create_directories(State());
  EditorDocument autosaved = Editor()->MakeDocument();
  autosaved.EmissionInterval = 999;
  ASSERT_TRUE(SaveEditorDocument(autosaved, AutosaveOf(path), &error));
  std::filesystem::last_write_time(AutosaveOf(path),
                                   std::filesystem::last_write_time(path) - std::chrono::seconds(10));
  Editor()->OfferRecovery();
  Frame(2);
  EXPECT_FALSE(Shown("Recover Autosave"));

  std::filesystem::last_write_time(AutosaveOf(path),
                                   std::filesystem::last_write_time(path) + std::chrono::seconds(10));
  Editor()->OfferRecovery();
  Frame(2);
  ASSERT_TRUE(Shown("Recover Autosave"));
  Click("Discard");
  EXPECT_FALSE(std::filesystem::exists(AutosaveOf(path)));
  EXPECT_EQ(Editor()->EmissionInterval, CEditor::kDefaultEmissionInterval);
  EXPECT_FALSE(Editor()->IsDirty());
}

// ---- dropped files --------------------------------------------------------------------------------

TEST_F(DocumentSession, UnsavedWorkIsAskedAboutBeforeADroppedDocumentReplacesIt) {
  EditorDocument other = Editor()->MakeDocument();
  other.Effects[0].Tag = "Dropped";
  other.SelectedTag = "Dropped";
  std::string error;
  std::string path = (dir_ / "dropped.effects.json").string();
  ASSERT_TRUE(SaveEditorDocument(other, path, &error));
  Click("+");

  SDL_Event e{};
  e.type = SDL_DROPFILE;
  e.drop.file = path.data();
  e.drop.windowID = SceneWindowId();
  system_.PushEvent(e);
  Frame(2);
  ASSERT_TRUE(Shown("Unsaved Changes"));
  Click("Don't Save");
  EXPECT_FALSE(system_.QuitRequested());
  EXPECT_EQ(Editor()->Tags, (std::vector<std::string>{"Dropped"}));
  EXPECT_EQ(Title(), "dropped.effects.json");
  EXPECT_FALSE(Editor()->History().CanUndo()) << "a document opened starts its own history";
}

}  // namespace
