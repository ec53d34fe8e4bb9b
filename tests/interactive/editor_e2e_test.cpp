// Drives the editor window ("Child") of the real program as a person would, with xdotool on
// the test's X display: open the Particles window, make a tag, choose it, save and load the
// JSON document, save the text document twice. The program runs in a scratch copy of the
// sample data, so its saves never touch the repository.
//
// The widgets are found at the places the main window always puts them: the window sits at
// (0,20), 400x400, and the font and style are fixed. Picture checks look at regions, not at
// single pixels.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/gfx/image.h"
#include "resource/json_reader.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string Output(const std::string& command) {
  std::string text;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[256];
    while (fgets(buffer, sizeof buffer, pipe)) text += buffer;
    pclose(pipe);
  }
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

void Run(const std::string& command) { ASSERT_EQ(std::system(command.c_str()), 0) << command; }

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Where the widgets of the main window are, in the editor window's client coordinates.
struct Point {
  int x, y;
};
constexpr Point kFileMenu{25, 48};
constexpr Point kSaveTextEntry{40, 73};  // the File menu's entries, one line each
constexpr Point kSaveJsonEntry{40, 107};
constexpr Point kLoadJsonEntry{40, 124};
constexpr Point kTagField{130, 115};
constexpr Point kSetTagButton{300, 115};
constexpr Point kTagCombo{130, 138};
constexpr Point kSecondTagInCombo{60, 180};  // the open combo lists the tags below itself
constexpr Point kAddDefinitionButton{322, 169};
constexpr Point kParticleIcon{58, 272};
constexpr Point kNowhere{600, 900};  // in the editor window, outside the interface's windows

// ---- pictures -------------------------------------------------------------------------------

struct Rect {
  int x0, y0, x1, y1;  // x1 and y1 excluded
};

int Count(const gfx::Image& image, Rect r, const std::function<bool(const std::uint8_t*)>& match) {
  int count = 0;
  for (int y = r.y0; y < r.y1 && y < image.height; ++y)
    for (int x = r.x0; x < r.x1 && x < image.width; ++x) count += match(image.Pixel(x, y));
  return count;
}

int Distance(const std::uint8_t* p, int r, int g, int b) {
  return std::abs(p[0] - r) + std::abs(p[1] - g) + std::abs(p[2] - b);
}

// The active title bar's colour (0.5, 0.7, 0.0).
bool TitleGreen(const std::uint8_t* p) { return Distance(p, 128, 179, 0) < 40; }
bool TextWhite(const std::uint8_t* p) { return p[0] > 200 && p[1] > 200 && p[2] > 200; }
// Anything but the windows' dark blue background.
bool Drawn(const std::uint8_t* p) { return Distance(p, 0, 0, 10) > 60; }

int Differing(const gfx::Image& a, const gfx::Image& b, Rect r) {
  if (a.width != b.width || a.height != b.height || a.Empty()) return -1;
  int count = 0;
  for (int y = r.y0; y < r.y1; ++y)
    for (int x = r.x0; x < r.x1; ++x) {
      const std::uint8_t *p = a.Pixel(x, y), *q = b.Pixel(x, y);
      count += std::abs(p[0] - q[0]) + std::abs(p[1] - q[1]) + std::abs(p[2] - q[2]) > 30;
    }
  return count;
}

// The smallest rectangle holding every matching pixel of the region; empty when none does.
Rect Bounds(const gfx::Image& image, Rect r, bool (*match)(const std::uint8_t*)) {
  Rect box{r.x1, r.y1, r.x0, r.y0};
  for (int y = r.y0; y < r.y1 && y < image.height; ++y)
    for (int x = r.x0; x < r.x1 && x < image.width; ++x)
      if (match(image.Pixel(x, y)))
        box = {std::min(box.x0, x), std::min(box.y0, y), std::max(box.x1, x + 1), std::max(box.y1, y + 1)};
  return box;
}

constexpr Rect kMainTitleBar{1, 21, 399, 39};
constexpr Rect kBelowMainTitleBar{0, 40, 700, 1000};
constexpr Rect kRightOfMainWindow{401, 0, 700, 1000};
constexpr Rect kComboPreview{9, 130, 248, 147};  // the selected tag's name, without the arrow
constexpr Rect kParticleIconSquare{8, 222, 108, 322};
constexpr Rect kSoundIconSquare{116, 222, 216, 322};

// What a run got wrong, each said in words; empty when all is right.
using Problems = std::vector<std::string>;

void Check(Problems* problems, bool right, const std::string& otherwise) {
  if (!right) problems->push_back(otherwise);
}

std::string Said(const Problems& problems) {
  std::string text;
  for (const std::string& problem : problems) text += "\n  - " + problem;
  return text;
}

// ---- the program ------------------------------------------------------------------------------

// One run of the editor in a working folder, screenshots written when it ends. Its standard
// error goes to NAME.log there.
class EditorSession {
 public:
  EditorSession(const fs::path& folder, const std::string& name)
      : prefix_(folder / name), log_(folder / (name + ".log")) {
    pid_ = fork();
    if (pid_ == 0) {
      if (chdir(folder.c_str()) != 0) _exit(99);
      const int log = open(log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (log >= 0) dup2(log, STDERR_FILENO);
      setenv("SDL_AUDIODRIVER", "dummy", 1);
      execl(PE_EDITOR_BINARY, PE_EDITOR_BINARY, "--screenshot", prefix_.c_str(), static_cast<char*>(nullptr));
      _exit(98);
    }
    window_ = FindWindow();
    // The keyboard is this window's from the start, so a field clicked takes the keys typed.
    if (!window_.empty()) Focus();
  }
  ~EditorSession() {
    if (pid_ > 0 && !exited_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }

  bool Started() const { return !window_.empty(); }

  // Clicks the point of the editor window. The interface reads the pointer's position once a
  // frame: the button is held, and the pointer kept there after it, for some frames each.
  void Click(Point at) {
    Run("xdotool mousemove --window " + window_ + " " + std::to_string(at.x) + " " + std::to_string(at.y) +
        " sleep 0.4 mousedown 1 sleep 0.3 mouseup 1 sleep 0.8");
  }
  // Moves the pointer off every widget, so none is drawn hovered in the last picture.
  void MoveAway() {
    Run("xdotool mousemove --window " + window_ + " " + std::to_string(kNowhere.x) + " " + std::to_string(kNowhere.y) +
        " sleep 0.5");
  }
  // Types into the widget that has the keyboard.
  void Type(const std::string& text) {
    Focus();
    Run("xdotool type --delay 150 '" + text + "'");
    std::this_thread::sleep_for(500ms);
  }
  void Menu(Point entry) {
    Click(kFileMenu);
    Click(entry);
  }

  // Ends the program with Escape and returns the editor window's last picture.
  gfx::Image Quit() {
    Focus();
    Run("xdotool key Escape");
    const int status = Wait(30s);
    EXPECT_EQ(status, 0) << "Escape must end the program with status 0 (-1: it did not end)";
    return gfx::ReadImageFile(prefix_.string() + "-editor.png");
  }

  // Polls until the condition holds, the program has ended or the time has run out; whether it
  // holds.
  bool WaitUntil(const std::function<bool()>& condition, std::chrono::seconds limit = 20s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
      if (condition()) return true;
      if (Wait(200ms) >= 0) return condition();
    }
    return condition();
  }

 private:
  // This process's editor window's X id, once it is mapped; empty, with the reason recorded
  // as a test failure, when it never is.
  std::string FindWindow() {
    for (int i = 0; i < 300; ++i) {
      // --all: by default xdotool lists the windows that meet any one of the conditions.
      const std::string id = Output("xdotool search --all --onlyvisible --pid " + std::to_string(pid_) +
                                    " --name '^Child$' 2>/dev/null | head -n 1");
      if (!id.empty()) {
        std::this_thread::sleep_for(1s);  // its first frames
        return id;
      }
      if (const int status = Wait(100ms); status >= 0) {
        ADD_FAILURE() << "the editor ended with status " << status << " before its window appeared";
        return "";
      }
    }
    ADD_FAILURE() << "the editor window never appeared";
    return "";
  }

  // Raises the editor window and gives it the keyboard, until it has kept it for a while. SDL
  // takes an X focus change as its own some 200 ms later, and the interface reads the keyboard
  // from the frame after that.
  void Focus() {
    const auto focused = [&] { return Output("xdotool getwindowfocus") == window_; };
    for (int attempt = 0; attempt < 20; ++attempt) {
      Run("xdotool windowraise " + window_);
      if (!focused()) Run("xdotool windowfocus --sync " + window_);
      bool kept = true;
      for (int check = 0; check < 6 && kept; ++check) {
        std::this_thread::sleep_for(100ms);
        kept = focused();
      }
      if (kept) return;
    }
    ADD_FAILURE() << "the editor window never kept the keyboard focus";
  }

  // Waits for the process to end; its status, or -1 on timeout.
  int Wait(std::chrono::milliseconds limit) {
    if (exited_) return status_;
    const auto end = std::chrono::steady_clock::now() + limit;
    do {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        exited_ = true;
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return status_;
      }
      std::this_thread::sleep_for(20ms);
    } while (std::chrono::steady_clock::now() < end);
    return -1;
  }

  fs::path prefix_, log_;
  pid_t pid_ = -1;
  bool exited_ = false;
  int status_ = -1;
  std::string window_;
};

// A copy of the sample data to run the editor in. Removed when the test passed; kept, with the
// editor's logs printed, when it failed, for a person to look into.
class ScratchFolder {
 public:
  ScratchFolder() : path_(fs::temp_directory_path() / ("editor-e2e-" + std::to_string(getpid()))) {
    fs::remove_all(path_);
    fs::create_directories(path_);
    fs::copy(fs::path(PE_SOURCE_DIR) / "Data", path_ / "Data", fs::copy_options::recursive);
  }
  ~ScratchFolder() {
    if (!::testing::Test::HasFailure()) {
      std::error_code ignored;
      fs::remove_all(path_, ignored);
      return;
    }
    for (const auto& entry : fs::directory_iterator(path_))
      if (entry.path().extension() == ".log")
        if (const std::string log = ReadFile(entry.path()); !log.empty())
          std::printf("---- the editor wrote to %s:\n%s\n", entry.path().filename().c_str(), log.c_str());
    std::printf("the documents and pictures of the runs stay in %s\n", path_.c_str());
  }
  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};

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
    for (const Json& effect : document.at("PARTICLE")) tags.push_back(effect.at("DataTag").get<std::string>());
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
  Check(&problems, Count(fresh, kRightOfMainWindow, TitleGreen) == 0, "the main window is wider than 400 pixels");
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
    Check(&problems, Count(fresh, label.where, TextWhite) > 40, std::string("no text where ") + label.what + " is");
  // The icons are pictures: part of the square drawn, neither nothing nor a blank white square;
  // the particle icon is pale blue, the sound icon cream.
  const auto blue = [](const std::uint8_t* p) { return Drawn(p) && p[2] > p[0] + 30; };
  const auto cream = [](const std::uint8_t* p) { return Drawn(p) && p[0] > p[2] + 20; };
  const int particle = Count(fresh, kParticleIconSquare, Drawn), sound = Count(fresh, kSoundIconSquare, Drawn);
  Check(&problems, particle > 800 && particle < 6000 && Count(fresh, kParticleIconSquare, blue) > 800,
        "ICON_PARTICLE is not the blue picture: " + std::to_string(particle) + " of its pixels drawn");
  Check(&problems, sound > 800 && sound < 6000 && Count(fresh, kSoundIconSquare, cream) > 800,
        "ICON_SOUND is not the cream picture: " + std::to_string(sound) + " of its pixels drawn");
  return problems;
}

// After a new tag "Fire" was made, chosen and saved, and the Particles window opened.
Problems EditedProblems(const gfx::Image& fresh, const gfx::Image& edited, const std::vector<std::string>& saved) {
  if (edited.width != fresh.width || edited.height != fresh.height) return {"the editor picture is missing"};
  Problems problems;
  Check(&problems, saved == std::vector<std::string>{"Begin", "Fire"},
        "File > SaveJson wrote the tags " + ::testing::PrintToString(saved) +
            " to Data/FILE/particle.json, not \"Begin\" and \"Fire\"");
  Check(&problems, Differing(fresh, edited, kComboPreview) > 20, "the combo still shows \"Begin\", not \"Fire\"");
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
  if (reloaded.width != edited.width || reloaded.height != edited.height) return {"the editor picture is missing"};
  Problems problems;
  Check(&problems, Differing(edited, reloaded, kComboPreview) <= 4,
        "after File > LoadJson the combo does not show \"Fire\", the document's last tag");
  const std::map<std::string, int> loaded{{"Begin", 1}, {"Fire", 1}}, added{{"Begin", 1}, {"Fire", 2}};
  Check(&problems, DefinitionsByTag(first) == loaded,
        "the first File > SaveText wrote the definitions by tag " + ::testing::PrintToString(DefinitionsByTag(first)) +
            ", not one each for \"Begin\" and \"Fire\"");
  Check(&problems, DefinitionsByTag(second) == added,
        "after \"+\" File > SaveText wrote the definitions by tag " +
            ::testing::PrintToString(DefinitionsByTag(second)) + ", not a second one for the chosen tag \"Fire\"");
  // Whole documents are long: the message tells which one the backup holds instead.
  Check(&problems, !first.empty() && backup == first,
        "Data/FILE/backup_particle.txt holds " + std::to_string(backup.size()) + " bytes" +
            (backup == second ? ", the second save," : "") + " not the first save's " + std::to_string(first.size()));
  return problems;
}

// A session that missed a step is run again, up to this many times in all: under load the
// program can miss a click (the interface reads the pointer's position once a frame, and a
// frame can take longer than the test waits between clicks). A fault of the program fails
// every time.
constexpr int kSessions = 3;

TEST(EditorEndToEndTest, MainWindowParticlesWindowTagsAndDocuments) {
  if (std::system("command -v xdotool >/dev/null 2>&1") != 0) GTEST_FAIL() << "xdotool is not installed";
  if (std::system("xdotool getdisplaygeometry >/dev/null") != 0)
    GTEST_FAIL() << "xdotool cannot reach the X display '" << (getenv("DISPLAY") ? getenv("DISPLAY") : "") << "'";
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
      std::printf("the session \"edited%d\" went wrong; trying again:%s\n", session, Said(editedProblems).c_str());
  }
  ASSERT_TRUE(editedProblems.empty()) << "after making, choosing and saving the tag \"Fire\" and clicking the "
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
    reloadedProblems = ReloadedProblems(edited, reloaded, first, second, ReadFile(files / "backup_particle.txt"));
    if (reloadedProblems.empty()) break;
    if (session + 1 < kSessions)
      std::printf("the session \"reloaded%d\" went wrong; trying again:%s\n", session, Said(reloadedProblems).c_str());
  }
  EXPECT_TRUE(reloadedProblems.empty()) << "after File > LoadJson in a new run, File > SaveText, \"+\" and File > "
                                        << "SaveText:" << Said(reloadedProblems);

  // For a person to look at.
  gfx::WritePng(reloaded, (fs::path(PE_EDITOR_BINARY).parent_path() / "editor-e2e-last.png").string());
}

}  // namespace
