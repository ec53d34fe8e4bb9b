// The editor's main window and File menu, driven through the interface library's input.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "effectfile/particle_json.h"
#include "effectfile/particle_text.h"
#include "platform/message_sink.h"
#include "support/editor_fixture.h"
#include "particle/particle_emitter.h"
#include "view/pointer.h"

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class EditorWindow : public EditorTest {
 protected:
  // Types the name into the tag field and presses "SetTag".
  void AddTag(const std::string& name) {
    ClearField("##ParticleTag");
    Type(name);
    Click("SetTag");
  }
  // Clicks the text field and empties it (select all, delete).
  void ClearField(const std::string& label) {
    Click(label);
    Tap(SDL_SCANCODE_A, KMOD_CTRL);
    Tap(SDL_SCANCODE_DELETE);
  }
  // Chooses the entry in the combo (the entries are drawn in its popup once it is open).
  void Choose(const std::string& combo, int entry) {
    Click(combo);
    const auto& items = Log().Items();
    const auto& tags = Editor()->Tags;
    ASSERT_LT(entry, static_cast<int>(tags.size()));
    // Entries may repeat: take the entry-th selectable of the combo's popup.
    int seen = 0;
    for (const ui::LoggedItem& item : items) {
      if (item.window.rfind("##Combo", 0) != 0) continue;
      if (seen++ == entry) {
        ClickAt(item.Centre());
        return;
      }
    }
    FAIL() << "the combo " << combo << " showed only " << seen << " entries";
  }
  // The tag combo's context menu, then one of its entries.
  void ContextMenu(const std::string& entry) {
    Click("EmitterTagList", "", SDL_BUTTON_RIGHT);
    Click(entry);
  }
  void Rename(const std::string& newName) {
    ContextMenu("Change");
    ASSERT_TRUE(Shown("ChangeTag"));
    ClearField("ChangeTag");
    Type(newName);
    Tap(SDL_SCANCODE_RETURN);
  }
  std::vector<std::string> Tags() const { return Editor()->Tags; }
  // Frames until the pointer makes a new emitter; null when none came.
  CParticleEmitter* NextEmission() {
    const CParticleEmitter* before = Manager()->GetPointer()->GetLastEmitter();
    for (int frame = 0; frame < 400; ++frame) {
      Frame();
      CParticleEmitter* last = Manager()->GetPointer()->GetLastEmitter();
      if (last && last != before) return last;
    }
    return nullptr;
  }
};

TEST_F(EditorWindow, StartsWithBeginSelectedAndThePointerHidden) {
  const std::vector<std::string> begin = {"Begin"};
  EXPECT_EQ(Tags(), begin);
  EXPECT_EQ(Editor()->GetTag(), "Begin");
  ASSERT_EQ(Editor()->Effects["Begin"].size(), 1u);
  EXPECT_EQ(Editor()->Effects["Begin"][0], CEditor::BeginDefinition());
  EXPECT_EQ(Table()["Begin"], Editor()->Effects["Begin"]);
  EXPECT_TRUE(Shown("Item : 0"));
  EXPECT_FALSE(Shown("Item : 1"));
  EXPECT_FALSE(Manager()->GetPointer()->IsVisible());
  EXPECT_TRUE(Shown("Show Pointer"));
  EXPECT_EQ(Editor()->EmissionInterval, 150);
  for (const char* label : {"Hello, world!", "File", "SetTag", "EmitterTagList", "Index", "+", "-",
                            "Emission Interval", "ICON_PARTICLE", "ICON_SOUND", "Another Window"})
    EXPECT_TRUE(Shown(label)) << label;

  // The pointer button shows and hides the pointer.
  Click("Show Pointer");
  EXPECT_TRUE(Manager()->GetPointer()->IsVisible());
  EXPECT_TRUE(Shown("Hide Pointer"));
  Click("Hide Pointer");
  EXPECT_FALSE(Manager()->GetPointer()->IsVisible());
}

TEST_F(EditorWindow, SetTagAcceptsEmptyAndRepeatedNames) {
  Click("SetTag");  // the field is empty
  EXPECT_EQ(Tags(), (std::vector<std::string>{"Begin", ""}));
  ASSERT_EQ(Editor()->Effects[""].size(), 1u);

  Editor()->Effects["Begin"][0].Emission.Quantity = 9;
  AddTag("Begin");
  EXPECT_EQ(Tags(), (std::vector<std::string>{"Begin", "", "Begin"}));
  ASSERT_EQ(Editor()->Effects["Begin"].size(), 2u);
  EXPECT_EQ(Editor()->Effects["Begin"][1].Emission.Quantity, 9);
  // Neither changed the selection.
  EXPECT_EQ(Editor()->TagIndex, 0);
  EXPECT_EQ(Editor()->GetTag(), "Begin");
}

TEST_F(EditorWindow, NewTagPlaysTheFirstTagsWholeEffectUntilSelected) {
  Click("+");
  ASSERT_EQ(Editor()->Effects["Begin"].size(), 2u);
  AddTag("Fire");
  EXPECT_EQ(Editor()->Effects["Fire"].size(), 1u);
  EXPECT_EQ(Table()["Fire"].size(), 2u);

  Choose("EmitterTagList", 1);
  EXPECT_EQ(Editor()->GetTag(), "Fire");
  EXPECT_EQ(Editor()->ItemIndex, 0);
  Frame();
  EXPECT_EQ(Table()["Fire"], Editor()->Effects["Fire"]);
}

TEST_F(EditorWindow, AddAndRemoveDefinitionsKeepTheSelectionInside) {
  Click("-");  // one definition: nothing to remove
  EXPECT_EQ(Editor()->Effects["Begin"].size(), 1u);
  Click("+");
  Click("+");
  ASSERT_EQ(Editor()->Effects["Begin"].size(), 3u);
  EXPECT_TRUE(Shown("Item : 2"));
  Click("Item : 2");
  EXPECT_EQ(Editor()->ItemIndex, 2);
  Click("-");
  EXPECT_EQ(Editor()->Effects["Begin"].size(), 2u);
  EXPECT_EQ(Editor()->ItemIndex, 1);
  Click("Item : 0");
  Click("-");  // removes the last one; the selection may not leave the list
  EXPECT_EQ(Editor()->Effects["Begin"].size(), 1u);
  EXPECT_EQ(Editor()->ItemIndex, 0);
  ASSERT_NE(Editor()->SelectedDefinition(), nullptr);
}

TEST_F(EditorWindow, RenameMovesTheEffectAndToItsOwnNameChangesNothing) {
  AddTag("Smoke");
  Choose("EmitterTagList", 1);
  Click("+");
  ASSERT_EQ(Editor()->Effects["Smoke"].size(), 2u);

  Rename("Smoke");
  EXPECT_FALSE(Editor()->RenameMode);
  EXPECT_EQ(Editor()->Effects["Smoke"].size(), 2u) << "renaming to the same name lost the definitions";

  Rename("Begin");     // onto an existing tag
  EXPECT_EQ(Tags(), (std::vector<std::string>{"Begin", "Begin"}));
  EXPECT_EQ(Editor()->Effects.count("Smoke"), 0u);
  EXPECT_EQ(Editor()->Effects["Begin"].size(), 2u);
}

TEST_F(EditorWindow, RenameWaitsForANameAndSeesAQuickEnter) {
  ContextMenu("Change");
  ASSERT_TRUE(Editor()->RenameMode);
  Tap(SDL_SCANCODE_RETURN);  // empty: the field stays open
  EXPECT_TRUE(Editor()->RenameMode);
  EXPECT_EQ(Tags()[0], "Begin");

  Fill("ChangeTag", "Spark");
  // Pressed and released between two frames: still one press.
  Tap(SDL_SCANCODE_RETURN);
  EXPECT_FALSE(Editor()->RenameMode);
  EXPECT_EQ(Tags()[0], "Spark");
  ASSERT_EQ(Editor()->Effects.count("Begin"), 0u);
  EXPECT_EQ(Editor()->Effects["Spark"].size(), 1u);
  EXPECT_EQ(Editor()->GetTag(), "Spark");
}

TEST_F(EditorWindow, RenamedEffectKeepsPlayingAtThePointerWithItsEdits) {
  Editor()->EmissionInterval = 15;
  AddTag("Fire");
  Choose("EmitterTagList", 1);
  Editor()->Effects["Fire"][0].Emission.Quantity = 7;
  CParticleEmitter* emitter = NextEmission();
  ASSERT_NE(emitter, nullptr);
  EXPECT_EQ(emitter->GetEmissionDefinitions()[0].Quantity, 7);

  Rename("Blaze");
  EXPECT_EQ(Editor()->GetTag(), "Blaze");
  // What the panels now change reaches the next emission.
  Editor()->Effects["Blaze"][0].Emission.Quantity = 9;
  emitter = NextEmission();
  ASSERT_NE(emitter, nullptr);
  EXPECT_EQ(emitter->GetEmissionDefinitions()[0].Quantity, 9) << "the pointer still plays the stale copy";
}

TEST_F(EditorWindow, RenameOfTheCurrentEffectDropsItsOldTableEntry) {
  AddTag("Fire");
  Choose("EmitterTagList", 1);
  Frame();
  ASSERT_EQ(Table().count("Fire"), 1u);
  Rename("Blaze");
  Frame();
  EXPECT_EQ(Table().count("Fire"), 0u);
  EXPECT_EQ(Table()["Blaze"], Editor()->Effects["Blaze"]);
  EXPECT_EQ(Table().count("Begin"), 1u) << "other effects stay in the table";

  // Onto an existing name: that effect takes the list, and plays.
  Rename("Begin");
  Frame();
  EXPECT_EQ(Editor()->GetTag(), "Begin");
  EXPECT_EQ(Table().count("Blaze"), 0u);
  EXPECT_EQ(Table()["Begin"], Editor()->Effects["Begin"]);
}

TEST_F(EditorWindow, CopyReplacesTheTargetAndOntoItselfChangesNothing) {
  AddTag("Fire");
  Click("+");
  ASSERT_EQ(Editor()->Effects["Begin"].size(), 2u);

  ContextMenu("Copy");
  ASSERT_TRUE(Shown("CopySource") && Shown("CopyTarget"));
  Click("OK");  // source and target both "Begin"
  EXPECT_EQ(Editor()->Effects["Begin"].size(), 2u);
  EXPECT_FALSE(Shown("CopySource"));

  ContextMenu("Copy");
  Choose("CopyTarget", 1);
  Click("OK");
  EXPECT_EQ(Editor()->Effects["Fire"], Editor()->Effects["Begin"]);
  EXPECT_EQ(Editor()->CopyTargetIndex, 0);

  ContextMenu("Copy");
  Choose("CopySource", 1);  // choosing a source selects that tag too
  EXPECT_EQ(Editor()->GetTag(), "Fire");
  Click("NO");
  EXPECT_FALSE(Editor()->CopyMode);
}

TEST_F(EditorWindow, EmissionIntervalStaysInRangeWhenTyped) {
  TypeIntoDrag("Emission Interval", "5000");
  EXPECT_EQ(Editor()->EmissionInterval, CEditor::kMaxEmissionInterval);
}

bool Overlap(const ui::LoggedItem& a, const ui::LoggedItem& b) {
  return a.min.x < b.max.x && b.min.x < a.max.x && a.min.y < b.max.y && b.min.y < a.max.y;
}

bool Inside(const ui::LoggedItem& item, ImVec2 p) {
  return p.x >= item.min.x && p.x < item.max.x && p.y >= item.min.y && p.y < item.max.y;
}

TEST_F(EditorWindow, PanelWindowsFirstOpenInsideTheEditorWindowClearOfTheMainWindowsWidgets) {
  const ui::LoggedItem main = Find("Hello, world!");
  const ui::LoggedItem preview = Find("Preview", "Preview");
  EXPECT_FALSE(Overlap(main, preview)) << "the Preview window sits beside the main window";
  Click("ICON_PARTICLE");
  const ui::LoggedItem particles = Find("Particles", "Particles");
  EXPECT_EQ(particles.max.x - particles.min.x, 500.0f);
  EXPECT_EQ(particles.max.y - particles.min.y, 600.0f);
  EXPECT_TRUE(particles.min.x >= 0 && particles.min.y >= 0 && particles.max.x <= 700 &&
              particles.max.y <= 1000)
      << "inside the editor window";
  EXPECT_FALSE(Overlap(particles, preview));
  // 600 high fits under the main window only over its empty last pixels: no widget is covered.
  for (const ui::LoggedItem& item : Log().Items()) {
    if (item.window == "Hello, world!" && item.label != "Hello, world!") {
      EXPECT_FALSE(Overlap(item, particles)) << item.label;
    }
  }

  // Opened after "Particles", "Sounds" takes a size of its own, wide enough for its labels.
  Click("ICON_SOUND");
  const ui::LoggedItem sounds = Find("Sounds", "Sounds");
  const float labelEnd = Find("Tracks", "Sounds").max.x + ImGui::GetStyle().ItemInnerSpacing.x +
                         ImGui::CalcTextSize("Tracks").x;
  EXPECT_LE(labelEnd, sounds.max.x) << "the label \"Tracks\" is cut";
  EXPECT_FALSE(Overlap(sounds, particles));
  EXPECT_FALSE(Overlap(sounds, main));
}

TEST_F(EditorWindow, MouseOverWindowReportsTheLastWindowBuilt) {
  MoveMouse(Find("Emission Interval").Centre());
  Frame();
  EXPECT_TRUE(Editor()->MouseOverWindow);
  MoveMouse(ImVec2(600, 900));
  Frame();
  EXPECT_FALSE(Editor()->MouseOverWindow);

  Click("ICON_PARTICLE");
  ASSERT_TRUE(Shown("Particles"));
  const ui::LoggedItem main = Find("Hello, world!"), particles = Find("Particles");
  // A spot of the main window outside "Particles", and one of "Particles" outside the main window.
  const ImVec2 mainOnly(main.min.x + 4, main.max.y - 4),
      particlesOnly(particles.max.x - 8, particles.max.y - 8);
  ASSERT_TRUE(Inside(main, mainOnly) && !Inside(particles, mainOnly));
  ASSERT_TRUE(Inside(particles, particlesOnly) && !Inside(main, particlesOnly));
  MoveMouse(mainOnly);
  Frame();
  EXPECT_FALSE(Editor()->MouseOverWindow)
      << "the main window counted though \"Particles\" was built after it";
  MoveMouse(particlesOnly);
  Frame();
  EXPECT_TRUE(Editor()->MouseOverWindow);

  // "Particles" covers the sound icon: drag it down by its title bar first.
  Drag(ImVec2(particles.Centre().x, particles.min.y + 8),
       ImVec2(particles.Centre().x, particles.min.y + 408));
  Click("ICON_SOUND");
  ASSERT_TRUE(Shown("Sounds"));
  const ImVec2 particlesNow(Find("Particles").max.x - 8, Find("Particles").max.y - 8);
  ASSERT_FALSE(Inside(Find("Sounds"), particlesNow));
  MoveMouse(particlesNow);
  Frame();
  EXPECT_FALSE(Editor()->MouseOverWindow) << "with both panels open only \"Sounds\" counts";
}

TEST_F(EditorWindow, HiddenEditorStillFeedsTheEffectTable) {
  AddTag("Fire");
  Choose("EmitterTagList", 1);
  Editor()->ShowMain = false;
  Frame();
  EXPECT_TRUE(Log().Items().empty());
  Editor()->Effects["Fire"][0].Emission.Quantity = 42;
  Frame();
  EXPECT_EQ(Table()["Fire"][0].Emission.Quantity, 42);
  EXPECT_FALSE(Editor()->ShowAnother);
}

TEST_F(EditorWindow, AnotherWindowOpensAndItsCloseButtonEndsIt) {
  Click("Another Window");
  EXPECT_TRUE(Editor()->ShowAnother);
  ASSERT_TRUE(Shown("Another Window", "Another Window"));
  // The close button sits at the right end of the title bar.
  const ui::LoggedItem window = Find("Another Window", "Another Window");
  ClickAt(ImVec2(window.max.x - ImGui::GetFrameHeight() * 0.5f - 2.0f,
                 window.min.y + ImGui::GetFrameHeight() * 0.5f));
  EXPECT_FALSE(Editor()->ShowAnother);
}

TEST_F(EditorWindow, SceneWindowInputNeverReachesTheEditor) {
  Click("##ParticleTag");
  Type("wasd", SceneWindowId());
  Key(SDL_SCANCODE_W, true, KMOD_NONE, SceneWindowId());
  Frame();
  EXPECT_STREQ(Editor()->TagInput.data(), "");
  // A click in the scene, where "SetTag" would be in the editor, is no click on "SetTag".
  mouse_ = Find("SetTag").Centre();
  MoveMouse(mouse_, SceneWindowId());
  MouseButton(true, SDL_BUTTON_LEFT, SceneWindowId());
  Frame();
  MouseButton(false, SDL_BUTTON_LEFT, SceneWindowId());
  Frame();
  EXPECT_EQ(Tags().size(), 1u);
  Type("Fire");
  EXPECT_STREQ(Editor()->TagInput.data(), "Fire");
}

TEST_F(EditorWindow, RealtimeShowsBesideTheFrameRateOnlyWhenTheEffectPlaysSlowly) {
  EXPECT_FALSE(Shown("realtime"));
  const float emissionY = Find("Emission Interval").min.y;
  Manager()->SetRealtime(0.62);
  Frame();
  ASSERT_TRUE(Shown("realtime"));
  EXPECT_EQ(Find("Emission Interval").min.y, emissionY) << "the readout moved the widgets below it";
  Manager()->SetRealtime(0.96);
  Frame();
  EXPECT_FALSE(Shown("realtime"));
}

TEST_F(EditorWindow, NoticesShowInTheEditorWindow) {
  EXPECT_FALSE(Shown("##notice"));
  platform::GetNotices().Clear();
  platform::ReportNotice("Data/TEXTURE/missing.png: the texture could not be loaded");
  Frame();
  EXPECT_TRUE(Shown("##notice"));
  platform::GetNotices().Clear();
}

// ---- the File menu -----------------------------------------------------------------------------

class FileMenu : public EditorWindow {
 protected:
  const std::string json_ = "Data/FILE/particle.json";
  const std::string text_ = "Data/FILE/particle.txt";
  const std::string backup_ = "Data/FILE/backup_particle.txt";
};

TEST_F(FileMenu, LoadRefreshesTagsOnceAndSelectsTheLast) {
  EffectTable document;
  document["Begin"] = {CEditor::BeginDefinition()};
  document["Smoke"] = {CEditor::BeginDefinition(), CEditor::BeginDefinition()};
  ASSERT_TRUE(SaveParticleJson(document, "particle.json"));
  Editor()->ItemIndex = 0;

  for (int load = 0; load < 2; ++load) {
    ChooseFileMenu("LoadJson");
    EXPECT_EQ(Tags(), (std::vector<std::string>{"Begin", "Smoke"})) << "load " << load;
    EXPECT_EQ(Editor()->TagIndex, 1);
    EXPECT_EQ(Editor()->GetTag(), "Smoke");
    EXPECT_EQ(Editor()->ItemIndex, 0);
    EXPECT_EQ(Editor()->Effects["Smoke"].size(), 2u);
  }
  // The menu closed with the choice: no entry is drawn in the next frame.
  EXPECT_FALSE(Shown("SaveText"));
  EXPECT_FALSE(Shown("LoadJson"));

  ASSERT_TRUE(SaveParticleText(document));
  Rename("Fog");  // "Smoke" becomes "Fog", so the text document brings "Smoke" back as a new tag
  ChooseFileMenu("LoadText");
  EXPECT_EQ(Tags(), (std::vector<std::string>{"Begin", "Fog", "Smoke"}));
  EXPECT_EQ(Editor()->GetTag(), "Smoke");
}

TEST_F(FileMenu, SaveTextKeepsABackupAndSaveJsonNone) {
  ChooseFileMenu("SaveText");
  const std::string first = ReadFile(text_);
  ASSERT_FALSE(first.empty());
  AddTag("Fire");
  ChooseFileMenu("SaveText");
  EXPECT_EQ(ReadFile(backup_), first);
  EXPECT_NE(ReadFile(text_), first);
  EXPECT_NE(ReadFile(text_).find("Fire"), std::string::npos);

  ChooseFileMenu("SaveJson");
  ASSERT_TRUE(std::filesystem::exists(json_));
  EXPECT_FALSE(std::filesystem::exists("Data/FILE/backup_particle.json"));
  EXPECT_NE(ReadFile(json_).find("\"Fire\""), std::string::npos);
}

TEST_F(FileMenu, MalformedDocumentChangesNothingAndSaysWhy) {
  AddTag("Fire");
  Choose("EmitterTagList", 1);
  const EffectTable effects = Editor()->Effects;
  const EffectTable table = Table();
  // The first effect reads, the second does not: nothing of either may arrive.
  std::ofstream(json_) << R"({"PARTICLE":[{"DataTag":"Smoke","Object":[{"ParticleType":0}]},)"
                           R"({"DataTag":"Zed","Object":[{"ParticleType":"fire"}]}]})";
  std::ofstream(text_) << "Tag : Smoke\nIndex : 0\nPopTime : many\n";
  for (const char* entry : {"LoadJson", "LoadText"}) {
    platform::ScopedMessageRecorder messages;
    ChooseFileMenu(entry);
    ASSERT_EQ(messages.Messages().size(), 1u) << entry;
    EXPECT_NE(messages.Messages()[0].text.find("particle."), std::string::npos)
        << messages.Messages()[0].text;
    EXPECT_EQ(Editor()->Effects, effects) << entry;
    EXPECT_EQ(Tags(), (std::vector<std::string>{"Begin", "Fire"})) << entry;
    EXPECT_EQ(Editor()->GetTag(), "Fire") << entry;
    EXPECT_EQ(Table().count("Smoke"), 0u) << entry;
  }
  EXPECT_EQ(Table(), table);
}

// Whatever the File menu or the command line was given, a refusal names the file, changes
// nothing and marks the run as failed.
TEST_F(FileMenu, WhatIsNoDocumentIsRefusedAndFailsTheRun) {
  AddTag("Fire");
  Choose("EmitterTagList", 1);
  for (const char* entry : {"SaveText", "LoadText", "SaveJson", "LoadJson"}) ChooseFileMenu(entry);
  EXPECT_FALSE(Editor()->DocumentFailed());
  const EffectTable effects = Editor()->Effects;
  const EffectTable table = Table();
  auto unchanged = [&](const std::string& what) {
    EXPECT_EQ(Editor()->Effects, effects) << what;
    EXPECT_EQ(Table(), table) << what;
    EXPECT_EQ(Tags(), (std::vector<std::string>{"Begin", "Fire"})) << what;
    EXPECT_EQ(Editor()->GetTag(), "Fire") << what;
  };

  struct Case {
    std::string bytes;
    std::string message;  // after the path
  };
  const Case cases[] = {
      {"", " is not a particle text document: no \"Tag\" line"},
      {ParticleJsonText({{"Smoke", {CEditor::BeginDefinition()}}}),
       " is not a particle text document: no \"Tag\" line"},
      {"\x7f"
       "ELF\x02\x01\x01\nTag : x\n\x03\x04>\n\x01\n",
       " is not a particle text document: 3 of 4 lines are not particle text lines"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    std::ofstream(text_, std::ios::binary | std::ios::trunc) << c.bytes;
    platform::ScopedMessageRecorder messages;
    ChooseFileMenu("LoadText");
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_EQ(messages.Messages()[0].text, text_ + c.message);
    unchanged("menu");
    // Opened by content, JSON named .txt is read as the JSON it is.
    if (c.bytes.starts_with("{")) continue;
    const std::string path = Write("document.txt", c.bytes);
    EXPECT_FALSE(Editor()->OpenDocument(path));
    ASSERT_EQ(messages.Messages().size(), 2u);
    EXPECT_EQ(messages.Messages()[1].text, path + c.message);
    unchanged("command line");
  }
  EXPECT_TRUE(Editor()->DocumentFailed());

  // Too large to be a document, in either format: said before a byte is read.
  for (const char* name : {"huge.txt", "huge.json"}) {
    const std::string path = Sparse(name, std::uint64_t{300} << 20);
    platform::ScopedMessageRecorder messages;
    EXPECT_FALSE(Editor()->OpenDocument(path));
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_EQ(messages.Messages()[0].text, path +
                                               ": the effects could not be loaded: the file holds 314572800 "
                                               "bytes, more than the 268435456 (256 MB) a document may hold");
    unchanged(name);
  }
}

// A missing particle.txt reads as no effects: the editor's copy is refreshed from the table, silently.
TEST_F(FileMenu, MissingTextDocumentLoadsNothingSilently) {
  std::filesystem::remove(text_);
  Editor()->Effects["Unsent"] = {};
  platform::ScopedMessageRecorder messages;
  ChooseFileMenu("LoadText");
  EXPECT_TRUE(messages.Messages().empty());
  EXPECT_EQ(Editor()->Effects, Table());
  EXPECT_FALSE(Editor()->DocumentFailed());
}

TEST_F(FileMenu, EffectWithoutDefinitionsLoadsAndStaysEditable) {
  std::ofstream(json_) << R"({"PARTICLE":[{"DataTag":"Begin","Object":[{"ParticleType":0}]},)"
                           R"({"DataTag":"Empty","Object":[]}]})";
  ChooseFileMenu("LoadJson");
  ASSERT_EQ(Editor()->GetTag(), "Empty");
  EXPECT_EQ(Editor()->SelectedDefinition(), nullptr);
  Click("-");
  Frame();
  EXPECT_EQ(Editor()->ItemIndex, 0);
  Click("+");  // starts from the first tag's first definition
  ASSERT_EQ(Editor()->Effects["Empty"].size(), 1u);
  EXPECT_EQ(Editor()->Effects["Empty"][0], Editor()->Effects["Begin"][0]);
}

TEST_F(FileMenu, DocumentOpenedAtStartLoadsAsTheMenuDoes) {
  EffectTable document;
  document["Rain"] = {CEditor::BeginDefinition()};
  const std::string path = Path("rain.json");
  std::ofstream(path) << ParticleJsonText(document);
  EXPECT_TRUE(Editor()->OpenDocument(path));
  EXPECT_EQ(Tags(), (std::vector<std::string>{"Begin", "Rain"}));
  EXPECT_EQ(Editor()->GetTag(), "Rain");

  platform::ScopedMessageRecorder messages;
  EXPECT_FALSE(Editor()->OpenDocument(Path("missing.json")));
  EXPECT_FALSE(Editor()->OpenDocument(Write("notes.md", "# notes")));
  ASSERT_EQ(messages.Messages().size(), 2u);
  EXPECT_NE(messages.Messages()[0].text.find("missing.json"), std::string::npos);
  EXPECT_NE(messages.Messages()[1].text.find("notes.md"), std::string::npos);
  EXPECT_EQ(Tags(), (std::vector<std::string>{"Begin", "Rain"}));
}

}  // namespace
