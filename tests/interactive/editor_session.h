#pragma once
// What the end-to-end tests of the editor window share: the real program run in a scratch
// copy of the sample data and driven with xdotool on the test's X display, and the means to
// look at regions of the pictures it leaves.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/gfx/image.h"
#include "support/source_tree.h"
#include "support/temp_folder.h"
#include "window_picture.h"

namespace e2e {

namespace fs = std::filesystem;

inline std::string Output(const std::string& command) {
  std::string text;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[256];
    while (fgets(buffer, sizeof buffer, pipe)) text += buffer;
    pclose(pipe);
  }
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

inline void Run(const std::string& command) {
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

inline std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// A place in the editor window, in its client coordinates.
struct Point {
  int x, y;
};
constexpr Point kFileMenu{25, 48};   // the main window's menu bar
constexpr Point kNowhere{100, 900};  // in the editor window, outside the interface's windows
// Where "Particles" (and "Sounds" opened alone) first open, 500x600; points within it, from its corner.
constexpr Point kPanelWindow{200, 400};
constexpr Point InPanel(int x, int y) { return {kPanelWindow.x + x, kPanelWindow.y + y}; }

// ---- pictures -------------------------------------------------------------------------------

struct Rect {
  int x0, y0, x1, y1;  // x1 and y1 excluded
};
constexpr Rect PanelRect(int x0, int y0, int x1, int y1) {
  return {kPanelWindow.x + x0, kPanelWindow.y + y0, kPanelWindow.x + x1, kPanelWindow.y + y1};
}

// The pixels of the rectangle of a that differ from b's, there or lower by shiftB; -1 when the
// pictures are missing or of different sizes.
inline int Differing(const gfx::Image& a, const gfx::Image& b, Rect r, int shiftB = 0) {
  if (a.width != b.width || a.height != b.height || a.Empty()) return -1;
  int count = 0;
  for (int y = r.y0; y < r.y1; ++y)
    for (int x = r.x0; x < r.x1; ++x) {
      if (y + shiftB < 0 || y + shiftB >= b.height) continue;
      const std::uint8_t *p = a.Pixel(x, y), *q = b.Pixel(x, y + shiftB);
      count += std::abs(p[0] - q[0]) + std::abs(p[1] - q[1]) + std::abs(p[2] - q[2]) > 30;
    }
  return count;
}

inline int Count(const gfx::Image& image, Rect r, const std::function<bool(const std::uint8_t*)>& match) {
  int count = 0;
  for (int y = r.y0; y < r.y1 && y < image.height; ++y)
    for (int x = r.x0; x < r.x1 && x < image.width; ++x) count += match(image.Pixel(x, y));
  return count;
}

inline int Distance(const std::uint8_t* p, int r, int g, int b) {
  return std::abs(p[0] - r) + std::abs(p[1] - g) + std::abs(p[2] - b);
}

// The active title bar's colour (0.5, 0.7, 0.0).
inline bool TitleGreen(const std::uint8_t* p) {
  return Distance(p, 128, 179, 0) < 40;
}
inline bool TextWhite(const std::uint8_t* p) {
  return p[0] > 200 && p[1] > 200 && p[2] > 200;
}
// Anything but the windows' dark blue background.
inline bool Drawn(const std::uint8_t* p) {
  return Distance(p, 0, 0, 10) > 60;
}

// The smallest rectangle holding every matching pixel of the region; empty when none does.
inline Rect Bounds(const gfx::Image& image, Rect r, bool (*match)(const std::uint8_t*)) {
  Rect box{r.x1, r.y1, r.x0, r.y0};
  for (int y = r.y0; y < r.y1 && y < image.height; ++y)
    for (int x = r.x0; x < r.x1 && x < image.width; ++x)
      if (match(image.Pixel(x, y)))
        box = {std::min(box.x0, x), std::min(box.y0, y), std::max(box.x1, x + 1), std::max(box.y1, y + 1)};
  return box;
}

// The main window's title bar, green while it is the active window.
constexpr Rect kMainTitleBar{1, 21, 399, 39};
constexpr Rect kBelowMainTitleBar{0, 40, 700, 1000};

// What a run got wrong, each said in words; empty when all is right.
using Problems = std::vector<std::string>;

inline void Check(Problems* problems, bool right, const std::string& otherwise) {
  if (!right) problems->push_back(otherwise);
}

inline std::string Said(const Problems& problems) {
  std::string text;
  for (const std::string& problem : problems) text += "\n  - " + problem;
  return text;
}

// A session that missed a step is run again, up to this many times in all: under load the
// program can miss a click (the interface reads the pointer's position once a frame, and a
// frame can take longer than the test waits between clicks). A fault of the program fails
// every time.
constexpr int kSessions = 3;

// ---- the program ------------------------------------------------------------------------------

// One run of the editor in a working folder, screenshots written when it ends. Its standard
// error goes to NAME.log there. Sound goes to SDL's dummy device unless the environment given
// chooses another.
class EditorSession {
 public:
  using Environment = std::vector<std::pair<std::string, std::string>>;

  // arguments follow the screenshot option ("--frames", "N" makes the run end by itself).
  EditorSession(const fs::path& folder, const std::string& name, const Environment& environment = {},
                const std::vector<std::string>& arguments = {})
      : prefix_(folder / name), log_(folder / (name + ".log")) {
    pid_ = fork();
    if (pid_ == 0) {
      if (chdir(folder.c_str()) != 0) _exit(99);
      const int log = open(log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (log >= 0) dup2(log, STDERR_FILENO);
      setenv("SDL_AUDIODRIVER", "dummy", 1);
      // Recent documents and autosaves stay in the session's folder.
      setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
      setenv("XDG_STATE_HOME", (folder / "state").c_str(), 1);
      for (const auto& [variable, value] : environment) setenv(variable.c_str(), value.c_str(), 1);
      std::vector<const char*> argv = {EditorBinary().c_str(), "--screenshot", prefix_.c_str()};
      for (const std::string& argument : arguments) argv.push_back(argument.c_str());
      argv.push_back(nullptr);
      execv(argv[0], const_cast<char* const*>(argv.data()));
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
  EditorSession(const EditorSession&) = delete;
  EditorSession& operator=(const EditorSession&) = delete;

  bool Started() const { return !window_.empty(); }

  // Clicks the point of the editor window. The interface reads the pointer's position once a
  // frame: the button is held, and the pointer kept there after it, for some frames each.
  void Click(Point at) { Run("xdotool mousemove --window " + window_ + " " + Where(at) + " " + kPress); }
  // Clicks with Ctrl held, which makes a drag field take typed text. The key goes to the window
  // that has the keyboard, and is held from some frames before the press to after the release.
  void CtrlClick(Point at) {
    Focus();
    Run("xdotool mousemove --window " + window_ + " " + Where(at) + " keydown ctrl " + kPress +
        " keyup ctrl");
  }
  // Ctrl+clicks a drag field, types the text into it and presses Enter, in one go.
  void Enter(Point at, const std::string& text) {
    Focus();
    Run("xdotool mousemove --window " + window_ + " " + Where(at) + " keydown ctrl " + kPress +
        " keyup ctrl type --delay 100 '" + text +
        "' sleep 0.3 keydown Return sleep 0.3 keyup Return sleep 0.5");
  }
  // Drags sideways from the point by dx pixels, in steps the interface sees one by one.
  void Drag(Point from, int dx) {
    std::string steps;
    for (int left = dx; left != 0;) {
      const int step = std::clamp(left, -10, 10);
      steps += " mousemove_relative -- " + std::to_string(step) + " 0 sleep 0.05";
      left -= step;
    }
    Run("xdotool mousemove --window " + window_ + " " + Where(from) + " sleep 0.4 mousedown 1 sleep 0.3" +
        steps + " sleep 0.3 mouseup 1 sleep 0.5");
  }
  // Presses the right button at one point and carries the pointer to the other in steps the
  // interface sees one by one; the button stays down. Relative moves: while a button is held
  // the program holds the pointer, and moves to a place in the window no longer reach it.
  void HoldRight(Point from, Point to) {
    std::string steps;
    for (int step = 0; step < 5; ++step) {
      const int dx = (to.x - from.x) * (step + 1) / 5 - (to.x - from.x) * step / 5;
      const int dy = (to.y - from.y) * (step + 1) / 5 - (to.y - from.y) * step / 5;
      steps += " mousemove_relative -- " + std::to_string(dx) + " " + std::to_string(dy) + " sleep 0.1";
    }
    Run("xdotool mousemove --window " + window_ + " " + Where(from) + " sleep 0.4 mousedown 3 sleep 0.3" +
        steps + " sleep 0.5");
  }
  void ReleaseRight() { Run("xdotool mouseup 3 sleep 0.5"); }
  // A left click where the pointer is, with the key (xdotool's name for it) held around it.
  void ClickHolding(const std::string& key) {
    Focus();
    Run("xdotool keydown " + key + " sleep 0.3 mousedown 1 sleep 0.3 mouseup 1 sleep 0.3 keyup " + key +
        " sleep 0.5");
  }
  // Turns the wheel towards the user (down the page) over the point.
  void WheelDown(Point at, int notches) {
    Run("xdotool mousemove --window " + window_ + " " + Where(at) + " sleep 0.3 click --repeat " +
        std::to_string(notches) + " --delay 100 5 sleep 0.8");
  }
  // Moves the pointer off every widget, so none is drawn hovered in the last picture.
  void MoveAway() { Run("xdotool mousemove --window " + window_ + " " + Where(kNowhere) + " sleep 0.5"); }
  // Types into the widget that has the keyboard.
  void Type(const std::string& text) {
    Focus();
    Run("xdotool type --delay 150 '" + text + "'");
  }
  void Menu(Point entry) {
    Click(kFileMenu);
    Click(entry);
  }
  // Presses and releases a key (xdotool's name for it), held for some frames.
  void Key(const std::string& name) {
    Focus();
    Run("xdotool keydown " + name + " sleep 0.3 keyup " + name + " sleep 0.5");
  }

  // Holds a key in the scene window for the time given (the pointer walks while W, A, S, D, R or
  // F is held), then gives the keyboard back to the editor window.
  void SceneKey(const std::string& name, double seconds) {
    const std::string scene = Output("xdotool search --all --onlyvisible --pid " + std::to_string(pid_) +
                                     " --name '^TEST$' 2>/dev/null | head -n 1");
    ASSERT_FALSE(scene.empty()) << "the scene window is not there";
    Run("xdotool windowraise " + scene + " windowfocus --sync " + scene + " sleep 0.5 keydown " + name +
        " sleep " + std::to_string(seconds) + " keyup " + name + " sleep 0.3");
    Focus();
  }

  // What the scene window shows now, read back from the X server.
  gfx::Image ScenePicture() {
    const std::string scene = Output("xdotool search --all --onlyvisible --pid " + std::to_string(pid_) +
                                     " --name '^TEST$' 2>/dev/null | head -n 1");
    return scene.empty() ? gfx::Image{} : WindowPicture(scene);
  }

  // Ends the program with Escape and returns the editor window's last picture. Edits made in
  // the session are not kept: asked about them, the answer is Don't Save (its key, D).
  gfx::Image Quit() {
    Focus();
    Run("xdotool key Escape");
    if (Wait(std::chrono::seconds(3)) < 0) {
      Focus();
      Run("xdotool key d");
    }
    const int status = Wait(std::chrono::seconds(30));
    EXPECT_EQ(status, 0) << "Escape must end the program with status 0 (-1: it did not end)";
    return gfx::ReadImageFile(prefix_.string() + "-editor.png");
  }

  // Waits for a run given "--frames" to end by itself; the scene window's last picture.
  gfx::Image SceneAtTheEnd(std::chrono::seconds limit = std::chrono::seconds(180)) {
    const int status = Wait(limit);
    EXPECT_EQ(status, 0) << "the run must end by itself with status 0 (-1: it did not end)";
    return gfx::ReadImageFile(prefix_.string() + "-scene.png");
  }

  // Polls until the condition holds, the program has ended or the time has run out; whether it
  // holds.
  bool WaitUntil(const std::function<bool()>& condition,
                 std::chrono::seconds limit = std::chrono::seconds(20)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
      if (condition()) return true;
      if (Wait(std::chrono::milliseconds(200)) >= 0) return condition();
    }
    return condition();
  }

 private:
  static constexpr const char* kPress = "sleep 0.4 mousedown 1 sleep 0.3 mouseup 1 sleep 0.8";

  static std::string Where(Point at) { return std::to_string(at.x) + " " + std::to_string(at.y); }

  // This process's editor window's X id, once it shows the interface's first frame (the main
  // window's title bar, active); empty, with the reason recorded as a test failure, when it
  // never does.
  std::string FindWindow() {
    for (int i = 0; i < 300; ++i) {
      // --all: by default xdotool lists the windows that meet any one of the conditions.
      const std::string id = Output("xdotool search --all --onlyvisible --pid " + std::to_string(pid_) +
                                    " --name '^Child$' 2>/dev/null | head -n 1");
      if (!id.empty()) {
        if (WaitUntil([&] { return Count(WindowPicture(id), kMainTitleBar, TitleGreen) > 3000; },
                      std::chrono::seconds(30)))
          return id;
        ADD_FAILURE() << "the editor window never showed its main window";
        return "";
      }
      if (const int status = Wait(std::chrono::milliseconds(100)); status >= 0) {
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
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
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
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (std::chrono::steady_clock::now() < end);
    return -1;
  }

  fs::path prefix_, log_;
  pid_t pid_ = -1;
  bool exited_ = false;
  int status_ = -1;
  std::string window_;
};

// A copy of the sample data to run the editor in, in the test's temporary folder. Removed
// when the test passed; kept, with the editor's logs printed, when it failed, for a person to
// look into.
class ScratchFolder {
 public:
  ScratchFolder() {
    folder_.KeepIfFailed();
    fs::copy(fs::path(SourceDir()) / "Data", Path() / "Data", fs::copy_options::recursive);
  }
  ~ScratchFolder() {
    if (!::testing::Test::HasFailure()) return;
    for (const auto& entry : fs::directory_iterator(Path()))
      if (entry.path().extension() == ".log")
        if (const std::string log = ReadFile(entry.path()); !log.empty())
          std::printf("---- the editor wrote to %s:\n%s\n", entry.path().filename().c_str(), log.c_str());
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const fs::path& Path() const { return folder_.Dir(); }

 private:
  TempFolder folder_;
};

// Why xdotool cannot drive the display the test runs on; empty when it can.
inline std::string DisplayProblem() {
  if (std::system("command -v xdotool >/dev/null 2>&1") != 0) return "xdotool is not installed";
  if (std::system("xdotool getdisplaygeometry >/dev/null") != 0)
    return std::string("xdotool cannot reach the X display '") +
           (getenv("DISPLAY") ? getenv("DISPLAY") : "") + "'";
  return "";
}

}  // namespace e2e
