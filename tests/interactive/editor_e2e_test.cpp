// Drives the editor window ("Child") of the real program as a person would, with xdotool on
// the test's X display: open the Particles window, make a tag, choose it, save and load the
// JSON document, save the text document twice. The program runs in a scratch copy of the
// sample data, so its saves never touch the repository.
//
// The widgets are found at the places the main window always puts them: the window sits at
// (0,20), 400x400, and the font and style are fixed. Picture checks look at regions, not at
// single pixels.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "editor_session.h"
#include "platform/gfx/image.h"
#include "resource/json_reader.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;

// Where the widgets of the main window are, in the editor window's client coordinates.
// The File menu's entries, one line each, below the editor document's five and a separator.
constexpr Point kSaveTextEntry{40, 162};
constexpr Point kSaveJsonEntry{40, 196};
constexpr Point kLoadJsonEntry{40, 213};
constexpr Point kTagField{130, 115};
constexpr Point kSetTagButton{300, 115};
constexpr Point kTagCombo{130, 138};
constexpr Point kSecondTagInCombo{60, 180};  // the open combo lists the tags below itself
// Below the notice line that the first save brings.
constexpr Point kAddDefinitionButton{322, 186};
constexpr Point kParticleIcon{58, 272};

// ---- pictures -------------------------------------------------------------------------------

constexpr Rect kRightOfMainWindow{401, 0, 700, 1000};
constexpr Rect kComboPreview{9, 130, 248, 147};  // the selected tag's name, without the arrow
// A save's notice line moves the widgets below it down by a line.
constexpr int kNoticeLine = 17;
constexpr Rect kComboPreviewBelowNotice{9, 130 + kNoticeLine, 248, 147 + kNoticeLine};
constexpr Rect kParticleIconSquare{8, 222, 108, 322};
constexpr Rect kSoundIconSquare{116, 222, 216, 322};

// The number of definitions each effect of a text document holds, by tag.
std::map<std::string, int> DefinitionsByTag(const std::string& document) {
  std::map<std::string, int> counts;
  std::istringstream lines(document);
  std::string line, tag;
  while (std::getline(lines, line)) {
    if (line.starts_with("Tag : ")) {
      tag = line.substr(6);
      counts[tag];
    } else if (line.starts_with("Index : ")) {
      ++counts[tag];
    }
  }
  return counts;
}

// The tags of a JSON document's effects, in its order; empty while it is missing or not whole.
std::vector<std::string> JsonTags(const fs::path& path) {
  std::vector<std::string> tags;
  try {
    const Json document = ParseJson(ReadFile(path));
    for (const Json& effect : document.at("PARTICLE"))
      tags.push_back(effect.at("DataTag").get<std::string>());
  } catch (const std::exception&) {
    return {};
  }
  return tags;
}

// ---- what each run should leave -------------------------------------------------------------

// The untouched editor: the main window with its title, labels and icons, nothing else.
Problems FreshProblems(const gfx::Image& fresh) {
  Problems problems;
  if (fresh.width != 700 || fresh.height != 1000) return {"the editor picture is not 700x1000"};
  Check(&problems, Count(fresh, kMainTitleBar, TitleGreen) > 6000,
        "no active (green) title bar along the top of the main window, (0,20)-(400,39)");
  Check(&problems, Count(fresh, kRightOfMainWindow, TitleGreen) == 0,
        "the main window is wider than 400 pixels");
  Check(&problems, Count(fresh, kBelowMainTitleBar, TitleGreen) == 0, "another window is open already");
  const struct {
    const char* what;
    Rect where;
  } kLabels[] = {
      {"the title \"Hello, world!\"", {20, 21, 120, 39}},
      {"the menu bar's \"File\"", {8, 40, 46, 57}},
      {"the button \"SetTag\"", {276, 106, 326, 125}},
      {"the combo's preview \"Begin\"", kComboPreview},
      {"the combo's label \"EmitterTagList\"", {272, 129, 380, 148}},
      {"the check box's label \"Another Window\"", {30, 327, 140, 344}},
  };
  for (const auto& label : kLabels)
    Check(&problems, Count(fresh, label.where, TextWhite) > 40,
          std::string("no text where ") + label.what + " is");
  // The icons are pictures: part of the square drawn, neither nothing nor a blank white square;
  // the particle icon is pale blue, the sound icon cream.
  const auto blue = [](const std::uint8_t* p) { return Drawn(p) && p[2] > p[0] + 30; };
  const auto cream = [](const std::uint8_t* p) { return Drawn(p) && p[0] > p[2] + 20; };
  const int particle = Count(fresh, kParticleIconSquare, Drawn),
            sound = Count(fresh, kSoundIconSquare, Drawn);
  Check(&problems, particle > 800 && particle < 6000 && Count(fresh, kParticleIconSquare, blue) > 800,
        "ICON_PARTICLE is not the blue picture: " + std::to_string(particle) + " of its pixels drawn");
  Check(&problems, sound > 800 && sound < 6000 && Count(fresh, kSoundIconSquare, cream) > 800,
        "ICON_SOUND is not the cream picture: " + std::to_string(sound) + " of its pixels drawn");
  return problems;
}

// After a new tag "Fire" was made, chosen and saved, and the Particles window opened.
Problems EditedProblems(const gfx::Image& fresh, const gfx::Image& edited,
                        const std::vector<std::string>& saved) {
  if (edited.width != fresh.width || edited.height != fresh.height) return {"the editor picture is missing"};
  Problems problems;
  Check(&problems, saved == std::vector<std::string>{"Begin", "Fire"},
        "File > SaveJson wrote the tags " + ::testing::PrintToString(saved) +
            " to Data/FILE/particle.json, not \"Begin\" and \"Fire\"");
  Check(&problems, Differing(fresh, edited, kComboPreview, kNoticeLine) > 20,
        "the combo still shows \"Begin\", not \"Fire\"");
  // The new window takes the focus: its title bar is the green one now, below the main one.
  const Rect bar = Bounds(edited, kBelowMainTitleBar, TitleGreen);
  const int barPixels = Count(edited, kBelowMainTitleBar, TitleGreen);
  std::ostringstream seen;
  seen << "no Particles window: " << barPixels << " title bar pixels below the main window's title";
  if (barPixels > 0) seen << ", within x " << bar.x0 << ".." << bar.x1 << " y " << bar.y0 << ".." << bar.y1;
  Check(&problems, barPixels > 150 && bar.x1 - bar.x0 >= 24 && bar.y1 - bar.y0 >= 14 && bar.y1 - bar.y0 <= 24,
        seen.str());
  Check(&problems, Count(edited, kMainTitleBar, TitleGreen) < 100, "the main window is still the active one");
  return problems;
}

// After File > LoadJson, File > SaveText, "+", File > SaveText again and the particle icon.
Problems ReloadedProblems(const gfx::Image& edited, const gfx::Image& reloaded, const std::string& first,
                          const std::string& second, const std::string& backup) {
  if (reloaded.width != edited.width || reloaded.height != edited.height)
    return {"the editor picture is missing"};
  Problems problems;
  Check(&problems, Differing(edited, reloaded, kComboPreviewBelowNotice) <= 4,
        "after File > LoadJson the combo does not show \"Fire\", the document's last tag");
  const std::map<std::string, int> loaded{{"Begin", 1}, {"Fire", 1}}, added{{"Begin", 1}, {"Fire", 2}};
  Check(&problems, DefinitionsByTag(first) == loaded,
        "the first File > SaveText wrote the definitions by tag " +
            ::testing::PrintToString(DefinitionsByTag(first)) + ", not one each for \"Begin\" and \"Fire\"");
  Check(&problems, DefinitionsByTag(second) == added,
        "after \"+\" File > SaveText wrote the definitions by tag " +
            ::testing::PrintToString(DefinitionsByTag(second)) +
            ", not a second one for the chosen tag \"Fire\"");
  // Whole documents are long: the message tells which one the backup holds instead.
  Check(&problems, !first.empty() && backup == first,
        "Data/FILE/backup_particle.txt holds " + std::to_string(backup.size()) + " bytes" +
            (backup == second ? ", the second save," : "") + " not the first save's " +
            std::to_string(first.size()));
  return problems;
}

TEST(EditorEndToEndTest, MainWindowParticlesWindowTagsAndDocuments) {
  if (const std::string problem = DisplayProblem(); !problem.empty()) GTEST_FAIL() << problem;
  const ScratchFolder scratch;
  const fs::path& folder = scratch.Path();
  const fs::path files = folder / "Data" / "FILE";
  ASSERT_FALSE(fs::exists(files / "particle.json")) << "the sample data must not hold a document already";

  // 1. Untouched, the editor shows its main window with the tag "Begin" chosen.
  gfx::Image fresh;
  {
    EditorSession editor(folder, "fresh");
    ASSERT_TRUE(editor.Started());
    editor.MoveAway();
    fresh = editor.Quit();
  }
  const Problems freshProblems = FreshProblems(fresh);
  ASSERT_TRUE(freshProblems.empty()) << "the editor as it starts:" << Said(freshProblems);

  // 2. and 3. A new tag "Fire", made, chosen in the combo and saved with File > SaveJson; then
  // the particle icon opens the Particles window.
  gfx::Image edited;
  Problems editedProblems;
  for (int session = 0; session < kSessions; ++session) {
    fs::remove(files / "particle.json");
    EditorSession editor(folder, "edited" + std::to_string(session));
    ASSERT_TRUE(editor.Started());
    editor.Click(kTagField);
    editor.Type("Fire");
    editor.Click(kSetTagButton);
    editor.Click(kTagCombo);
    editor.Click(kSecondTagInCombo);
    editor.Menu(kSaveJsonEntry);
    editor.WaitUntil([&] { return fs::exists(files / "particle.json"); });  // written whole, by renaming
    editor.Click(kParticleIcon);
    editor.MoveAway();
    edited = editor.Quit();
    editedProblems = EditedProblems(fresh, edited, JsonTags(files / "particle.json"));
    if (editedProblems.empty()) break;
    if (session + 1 < kSessions)
      std::printf("the session \"edited%d\" went wrong; trying again:%s\n", session,
                  Said(editedProblems).c_str());
  }
  ASSERT_TRUE(editedProblems.empty())
      << "after making, choosing and saving the tag \"Fire\" and clicking the "
      << "particle icon:" << Said(editedProblems);

  // 4. and 5. A new run loads the document: the combo shows its last tag, "Fire", chosen, so
  // the definition "+" adds goes to "Fire". Each text save first keeps the one before it.
  gfx::Image reloaded;
  Problems reloadedProblems;
  for (int session = 0; session < kSessions; ++session) {
    fs::remove(files / "particle.txt");
    fs::remove(files / "backup_particle.txt");
    std::string first, second;
    EditorSession editor(folder, "reloaded" + std::to_string(session));
    ASSERT_TRUE(editor.Started());
    editor.Menu(kLoadJsonEntry);
    editor.Menu(kSaveTextEntry);
    editor.WaitUntil([&] { return fs::exists(files / "particle.txt"); });
    first = ReadFile(files / "particle.txt");
    editor.Click(kAddDefinitionButton);
    editor.Menu(kSaveTextEntry);
    editor.WaitUntil([&] { return ReadFile(files / "particle.txt") != first; });
    second = ReadFile(files / "particle.txt");
    // The Particles window comes back where the first run left it (the library's settings
    // file remembers it) and covers part of the combo, as in that run's picture.
    editor.Click(kParticleIcon);
    editor.MoveAway();
    reloaded = editor.Quit();
    reloadedProblems =
        ReloadedProblems(edited, reloaded, first, second, ReadFile(files / "backup_particle.txt"));
    if (reloadedProblems.empty()) break;
    if (session + 1 < kSessions)
      std::printf("the session \"reloaded%d\" went wrong; trying again:%s\n", session,
                  Said(reloadedProblems).c_str());
  }
  EXPECT_TRUE(reloadedProblems.empty())
      << "after File > LoadJson in a new run, File > SaveText, \"+\" and File > "
      << "SaveText:" << Said(reloadedProblems);

  // For a person to look at.
  gfx::WritePng(reloaded, (fs::path(EditorBinary()).parent_path() / "editor-e2e-last.png").string());
}

}  // namespace
}  // namespace e2e
