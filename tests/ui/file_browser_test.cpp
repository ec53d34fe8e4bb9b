// The file chooser over the editor window, built every frame after the editor's windows and
// driven only by mouse, keys and typed text through the editor window's events. Rows, fields
// and messages are read from the item log.

#include "ui/file_browser.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/editor_fixture.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kTitle = "Choose a document";
using Mode = ui::FileBrowser::Mode;

class FileBrowserTest : public EditorTest {
 protected:
  // browse/ holds two folders, a hidden one, and files of several kinds.
  void SetUp() override {
    EditorTest::SetUp();
    root_ = dir_ / "browse";
    for (const char* folder : {"b_effects", "A_old", ".git", "old.txt"})
      fs::create_directories(root_ / folder);
    for (const char* file : {"browse/Smoke.txt", "browse/ash.json", "browse/fire.json.bak", "browse/notes.md",
                             "browse/.secret.json", "browse/b_effects/inner.json"})
      Write(file, "{}");
    BuildEveryFrame([this] {
      if (std::optional<std::string> path = browser_.Draw()) chosen_.push_back(*path);
    });
  }

  void OpenBrowser(Mode mode, const fs::path& folder, std::vector<std::string> suffixes,
                   std::string name = "") {
    browser_.Open(mode, kTitle, folder.string(), std::move(suffixes), std::move(name));
    Frame(2);
  }

  // The rows of the list drawn last frame, top to bottom.
  std::vector<std::string> Rows() const {
    std::vector<std::string> rows;
    for (const ui::LoggedItem& item : Log().Items())
      if (item.kind == "Selectable" && item.window.rfind(std::string(kTitle) + "/", 0) == 0)
        rows.push_back(item.label);
    return rows;
  }
  ui::LoggedItem Row(const std::string& label) const {
    for (const ui::LoggedItem& item : Log().Items())
      if (item.label == label && item.window.rfind(std::string(kTitle) + "/", 0) == 0) return item;
    ADD_FAILURE() << "no row " << label;
    return {"", label, ImVec2(-100, -100), ImVec2(-90, -90)};
  }
  std::string Text(const std::string& label) const { return Find(label, kTitle).shown; }
  std::string Problem() const { return Text("##problem"); }

  // Replaces the field's text with the typed one, in pieces as small as SDL's text events.
  void TypeInto(const std::string& field, const std::string& text) {
    Click(field, kTitle);
    Tap(SDL_SCANCODE_A, KMOD_CTRL);
    Tap(SDL_SCANCODE_DELETE);
    for (std::size_t at = 0; at < text.size(); at += 24) Type(text.substr(at, 24));
  }

  fs::path root_;
  ui::FileBrowser browser_;
  std::vector<std::string> chosen_;
};

TEST_F(FileBrowserTest, ListsFoldersFirstThenMatchingFilesWithoutHiddenOnes) {
  OpenBrowser(Mode::Open, root_, {".json", ".txt"});
  EXPECT_EQ(Rows(),
            (std::vector<std::string>{"..", "A_old/", "b_effects/", "old.txt/", "ash.json", "Smoke.txt"}))
      << "letters sort without their case; a suffix must end the name";
  EXPECT_EQ(Text("Path"), root_.string());
  OpenBrowser(Mode::Open, root_ / "b_effects" / "", {});
  EXPECT_EQ(Text("Path"), (root_ / "b_effects").string()) << "no trailing separator";
  OpenBrowser(Mode::Open, root_, {});
  EXPECT_EQ(Rows(), (std::vector<std::string>{"..", "A_old/", "b_effects/", "old.txt/", "ash.json",
                                              "fire.json.bak", "notes.md", "Smoke.txt"}))
      << "without suffixes every file but the hidden ones";
}

TEST_F(FileBrowserTest, OddNamesShowAndStillOpenTheFileOnDisk) {
  const std::string latin1 = "caf\xe9.json";
  Write("browse/" + latin1, "{}");
  Write("browse/a##b.json", "{}");
  fs::create_directories(root_ / "dir\xff");
  OpenBrowser(Mode::Open, root_, {".json"});
  EXPECT_EQ(Rows(), (std::vector<std::string>{"..", "A_old/", "b_effects/", "dir\xEF\xBF\xBD/", "old.txt/",
                                              "a##b.json", "ash.json", "caf\xEF\xBF\xBD.json"}))
      << "bytes that are no UTF-8 show as the replacement; \"##\" is no label's end here";
  DoubleClickAt(Row("caf\xEF\xBF\xBD.json").Centre());
  EXPECT_EQ(chosen_, std::vector<std::string>{(root_ / latin1).string()}) << "the name's own bytes";
}

TEST_F(FileBrowserTest, KeysEnterAFolderGoBackWithBackspaceAndAcceptAFile) {
  OpenBrowser(Mode::Open, root_, {".json"});
  for (int i = 0; i < 3; ++i) Tap(SDL_SCANCODE_DOWN);  // "..", "A_old/", "b_effects/"
  Tap(SDL_SCANCODE_RETURN);
  EXPECT_EQ(Text("Path"), (root_ / "b_effects").string());
  EXPECT_EQ(Rows(), (std::vector<std::string>{"..", "inner.json"}));

  Tap(SDL_SCANCODE_BACKSPACE);
  EXPECT_EQ(Text("Path"), root_.string());
  Tap(SDL_SCANCODE_RETURN);
  EXPECT_EQ(Text("Path"), (root_ / "b_effects").string()) << "the folder left stays highlighted";

  Tap(SDL_SCANCODE_DOWN);
  Tap(SDL_SCANCODE_RETURN);
  EXPECT_EQ(Text("Path"), root_.string()) << "Enter on \"..\" goes up";

  for (int i = 0; i < 9; ++i) Tap(SDL_SCANCODE_DOWN);  // stops on the last row
  EXPECT_TRUE(chosen_.empty());
  Tap(SDL_SCANCODE_RETURN);
  Frame(2);
  EXPECT_EQ(chosen_, std::vector<std::string>{(root_ / "ash.json").string()}) << "returned once";
  EXPECT_FALSE(browser_.IsOpen());
  EXPECT_FALSE(Shown(kTitle, kTitle));
}

TEST_F(FileBrowserTest, TheListScrollsToKeepTheHighlightInSight) {
  fs::create_directories(root_ / "many");
  for (int i = 0; i < 60; ++i) Write("browse/many/f" + std::to_string(100 + i) + ".json", "{}");
  OpenBrowser(Mode::Open, root_ / "many", {".json"});
  ASSERT_FALSE(Log().Find("f145.json")) << "the test needs a row out of sight";
  for (int i = 0; i < 47; ++i) Tap(SDL_SCANCODE_DOWN);  // "..", then f100.json on
  Frame();  // the library scrolls a frame after it is asked
  DoubleClickAt(Row("f145.json").Centre());             // a click lands only on a row in sight
  EXPECT_EQ(chosen_, std::vector<std::string>{(root_ / "many" / "f145.json").string()});
}

TEST_F(FileBrowserTest, ClickHighlightsAndDoubleClickEntersOrAccepts) {
  OpenBrowser(Mode::Open, root_, {".json"});
  Click("Open", kTitle);
  EXPECT_EQ(Problem(), "Choose a file.");

  DoubleClickAt(Row("b_effects/").Centre());
  EXPECT_EQ(Text("Path"), (root_ / "b_effects").string());
  EXPECT_EQ(Problem(), "") << "a move clears the last problem";
  DoubleClickAt(Row("..").Centre());
  EXPECT_EQ(Text("Path"), root_.string());

  ClickAt(Row("ash.json").Centre());
  EXPECT_TRUE(chosen_.empty()) << "one click only highlights";
  Click("Open", kTitle);
  EXPECT_EQ(chosen_, std::vector<std::string>{(root_ / "ash.json").string()});

  OpenBrowser(Mode::Open, root_, {".json"});
  DoubleClickAt(Row("ash.json").Centre());
  EXPECT_EQ(chosen_.size(), 2u);
}

TEST_F(FileBrowserTest, EscapeOrCancelClosesWithoutAChoiceAndFreesTheEditor) {
  OpenBrowser(Mode::Open, root_, {".json"});
  Click("Show Pointer");
  EXPECT_TRUE(Shown("Show Pointer")) << "the editor under the browser takes no clicks";

  TypeInto("Path", "somewhere");
  Tap(SDL_SCANCODE_ESCAPE);
  EXPECT_FALSE(browser_.IsOpen()) << "Escape cancels also while a field is typed into";
  Click("Show Pointer");
  EXPECT_TRUE(Shown("Hide Pointer"));

  OpenBrowser(Mode::Save, root_, {".json"}, "particle.json");
  Click("Cancel", kTitle);
  EXPECT_FALSE(browser_.IsOpen());
  EXPECT_FALSE(Shown(kTitle, kTitle));

  // Closed by its owner between two frames, it still lets go of the editor.
  OpenBrowser(Mode::Open, root_, {".json"});
  browser_.Close();
  Frame();
  Click("Hide Pointer");
  EXPECT_TRUE(Shown("Show Pointer"));
  EXPECT_TRUE(chosen_.empty());
}

TEST_F(FileBrowserTest, TypedPathGoesToAFolderAcceptsAFileAndRefusesWhatIsNotThere) {
  OpenBrowser(Mode::Open, dir_, {".json"});
  TypeInto("Path", (root_ / "b_effects").string());
  Tap(SDL_SCANCODE_RETURN);
  EXPECT_EQ(Rows(), (std::vector<std::string>{"..", "inner.json"}));

  TypeInto("Path", "../nowhere/fire.jsonX");
  Tap(SDL_SCANCODE_BACKSPACE);
  EXPECT_EQ(Text("Path"), "../nowhere/fire.json") << "Backspace while typing belongs to the field";
  EXPECT_EQ(Rows(), (std::vector<std::string>{"..", "inner.json"}));
  Tap(SDL_SCANCODE_RETURN);
  EXPECT_EQ(Problem(), (root_ / "nowhere" / "fire.json").string() + " does not exist.");
  EXPECT_EQ(Rows(), (std::vector<std::string>{"..", "inner.json"})) << "it stays";
  Tap(SDL_SCANCODE_BACKSPACE);  // Enter left the field
  EXPECT_EQ(Text("Path"), root_.string());

  TypeInto("Path", "notes.md");  // relative to the folder shown; any file typed is taken
  Tap(SDL_SCANCODE_RETURN);
  EXPECT_EQ(chosen_, std::vector<std::string>{(root_ / "notes.md").string()});
}

TEST_F(FileBrowserTest, SaveTakesTheTypedNameWithTheSuffixInTheFolderShown) {
  OpenBrowser(Mode::Save, root_, {".json", ".txt"}, "particle.json");
  EXPECT_EQ(Text("File name"), "particle.json");
  Type("blast");  // the field has the focus, the name without its suffix selected
  EXPECT_EQ(Text("File name"), "blast.json");
  Tap(SDL_SCANCODE_RETURN);
  EXPECT_EQ(chosen_, std::vector<std::string>{(root_ / "blast.json").string()});

  OpenBrowser(Mode::Save, root_, {".json", ".txt"}, "particle.json");
  TypeInto("File name", "plain");
  Tap(SDL_SCANCODE_RETURN);
  EXPECT_EQ(chosen_.back(), (root_ / "plain.json").string()) << "a name without a suffix gets the first";

  OpenBrowser(Mode::Save, root_, {".json", ".txt"}, "particle.json");
  TypeInto("File name", "b_effects");
  Tap(SDL_SCANCODE_RETURN);
  EXPECT_EQ(Text("Path"), (root_ / "b_effects").string()) << "a folder's name enters it";
  EXPECT_EQ(Text("File name"), "particle.json");
  TypeInto("File name", "gone/x.txt");
  Tap(SDL_SCANCODE_RETURN);
  EXPECT_EQ(Problem(), "The folder " + (root_ / "b_effects" / "gone").string() + " does not exist.");

  ClickAt(Row("inner.json").Centre());
  EXPECT_EQ(Text("File name"), "inner.json") << "a click on a file takes its name";
  Click("Save", kTitle);
  EXPECT_EQ(chosen_.back(), (root_ / "b_effects" / "inner.json").string());
  EXPECT_EQ(chosen_.size(), 3u);
}

TEST_F(FileBrowserTest, AFolderThatCannotBeReadIsToldAndTheBrowserStays) {
  OpenBrowser(Mode::Open, root_ / "gone" / "deeper", {".json"});
  EXPECT_EQ(Text("Path"), root_.string()) << "the nearest folder that can be read";
  EXPECT_NE(Problem().find("Cannot read the folder " + (root_ / "gone" / "deeper").string()),
            std::string::npos)
      << Problem();

  fs::remove_all(root_ / "A_old");  // after the list was read
  DoubleClickAt(Row("A_old/").Centre());
  EXPECT_NE(Problem().find("Cannot read the folder " + (root_ / "A_old").string()), std::string::npos)
      << Problem();
  EXPECT_EQ(Text("Path"), root_.string());
  EXPECT_EQ(Rows().size(), 5u);
  EXPECT_TRUE(browser_.IsOpen());

  // Permissions bind everyone but the superuser.
  if (::geteuid() != 0) {
    fs::permissions(root_ / "b_effects", fs::perms::none);
    DoubleClickAt(Row("b_effects/").Centre());
    EXPECT_NE(Problem().find("Cannot read the folder " + (root_ / "b_effects").string()), std::string::npos)
        << Problem();
    EXPECT_EQ(Text("Path"), root_.string());
    fs::permissions(root_ / "b_effects", fs::perms::owner_all);
  }
}

}  // namespace
