// Drives the real program as a person would, with xdotool on the test's X display: walk
// the pointer with W, drag the camera, toggle wireframe with F2, quit with Escape.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "editor_session.h"
#include "platform/gfx/image.h"
#include "support/source_tree.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

using e2e::Output;

// One run of the editor with screenshots kept for every frame, ended by the test.
class EditorSession {
 public:
  explicit EditorSession(const fs::path& prefix) : log_(prefix.string() + ".log") {
    pid_ = fork();
    if (pid_ == 0) {
      if (chdir(SourceDir().c_str()) != 0) _exit(99);
      const int log = open(log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (log >= 0) dup2(log, STDERR_FILENO);
      setenv("SDL_AUDIODRIVER", "dummy", 1);
      execl(EditorBinary().c_str(), EditorBinary().c_str(), "--screenshot", prefix.c_str(),
            static_cast<char*>(nullptr));
      _exit(98);
    }
  }
  ~EditorSession() {
    if (pid_ > 0 && !exited_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }

  // The X id of this process's window of the title ("TEST", the scene, or "Child", the
  // editor), once it is mapped; empty, with the reason recorded as a test failure, when it
  // never is.
  std::string MappedWindow(const std::string& title) {
    for (int i = 0; i < 200; ++i) {
      // --all: by default xdotool lists the windows that meet any one of the conditions, and
      // the editor's other window is of the same process.
      const std::string id = Output("xdotool search --all --onlyvisible --pid " + std::to_string(pid_) +
                                    " --name '^" + title + "$' 2>/dev/null | head -n 1");
      if (!id.empty()) return id;
      if (const int status = Wait(100ms); status >= 0) {
        ADD_FAILURE() << "the editor ended with status " << status << " before its window " << title
                      << " appeared:\n"
                      << Output("cat '" + log_ + "'");
        return "";
      }
    }
    ADD_FAILURE() << "the window " << title << " never appeared; the editor wrote:\n"
                  << Output("cat '" + log_ + "'");
    return "";
  }
  // Waits for the process to end; -1 on timeout.
  int Wait(std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        exited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(20ms);
    }
    return -1;
  }

 private:
  std::string log_;
  pid_t pid_ = -1;
  bool exited_ = false;
};

void Run(const std::string& command) { ASSERT_EQ(std::system(command.c_str()), 0) << command; }

// Raises the window and gives it the keyboard, until it has kept it for a while. SDL takes
// an X focus change as its own some 200 ms later, and the editor reads the keyboard from the
// frame after that.
void Focus(const std::string& window) {
  const auto focused = [&] { return Output("xdotool getwindowfocus") == window; };
  for (int attempt = 0; attempt < 20; ++attempt) {
    Run("xdotool windowraise " + window);
    if (!focused()) Run("xdotool windowfocus --sync " + window);
    bool kept = true;
    for (int check = 0; check < 6 && kept; ++check) {
      std::this_thread::sleep_for(100ms);
      kept = focused();
    }
    if (kept) return;
  }
  ADD_FAILURE() << "the scene window never kept the keyboard focus";
}

// Starts the editor, then raises and focuses the scene window right before the actions
// (xdotool commands chained after it; "%W" stands for the window) and before Escape, so
// the editor window, shown last, neither covers it nor keeps the keyboard. Returns the last
// scene picture.
gfx::Image Session(const fs::path& dir, const std::string& name, const std::string& actions,
                   bool* focusKept = nullptr) {
  const fs::path prefix = dir / name;
  EditorSession editor(prefix);
  const std::string window = editor.MappedWindow("TEST");
  // The editor window is shown after the scene window, and would take the keyboard from it.
  if (window.empty() || editor.MappedWindow("Child").empty()) return {};
  std::string chained = actions;
  for (std::size_t at = chained.find("%W"); at != std::string::npos; at = chained.find("%W"))
    chained.replace(at, 2, window);
  Focus(window);
  if (!chained.empty()) {
    Run("xdotool " + chained);
    const bool kept = Output("xdotool getwindowfocus") == window;
    if (focusKept) *focusKept = kept;
    if (!kept)
      std::printf("%s: the keyboard focus went to \"%s\" during the actions\n", name.c_str(),
                  Output("xdotool getwindowfocus getwindowname 2>&1").c_str());
  }
  Focus(window);
  Run("xdotool key Escape");
  EXPECT_EQ(editor.Wait(10s), 0) << "Escape must end the program with status 0";
  return gfx::ReadImageFile(prefix.string() + "-scene.png");
}

// Pixels that differ below the pointer's height, where the floor is: the effect the pointer
// plays every few seconds glows above it and comes and goes with the session's length.
int Differing(const gfx::Image& a, const gfx::Image& b) {
  if (a.width != b.width || a.height != b.height || a.Empty()) return 0;
  int count = 0;
  for (int y = 400; y < a.height; ++y)
    for (int x = 0; x < a.width; ++x)
      count +=
          std::abs(a.Pixel(x, y)[0] - b.Pixel(x, y)[0]) + std::abs(a.Pixel(x, y)[1] - b.Pixel(x, y)[1]) > 30;
  return count;
}

int NearEdge(const gfx::Image& image) {
  int edge = 0;
  for (int y = 360; y < image.height; ++y)
    if (image.Pixel(640, y)[0] > 30) edge = y;
  return edge;
}

// An action the editor never received is tried again in a new session, up to three times.
// A session in which the scene window lost the keyboard focus during the actions (X without a
// window manager leaves the focus to whoever asks) proves nothing and is not counted.
template <typename Seen>
gfx::Image Attempt(const fs::path& dir, const std::string& name, const std::string& actions, Seen seen) {
  gfx::Image image;
  int tries = 0;
  for (int session = 0; session < 8 && tries < 3; ++session) {
    bool focusKept = true;
    image = Session(dir, name + std::to_string(session), actions, &focusKept);
    if (!image.Empty() && seen(image)) break;
    tries += focusKept;
  }
  return image;
}

TEST(InteractiveTest, KeysAndMouseChangeTheSceneAndEscapeQuits) {
  if (std::system("command -v xdotool >/dev/null 2>&1") != 0) GTEST_FAIL() << "xdotool is not installed";
  if (std::system("xdotool getdisplaygeometry >/dev/null") != 0)
    GTEST_FAIL() << "xdotool cannot reach the X display '" << (getenv("DISPLAY") ? getenv("DISPLAY") : "")
                 << "'";
  TempFolder folder;
  folder.KeepIfFailed();
  const fs::path& dir = folder.Dir();

  const gfx::Image still = Session(dir, "still", "");
  ASSERT_EQ(still.width, 1280);
  EXPECT_GT(still.Pixel(640, 395)[0], 30) << "the floor lies ahead";

  // Walking forward carries the camera along, closer to the floor's middle: its near edge
  // slides down the screen.
  const gfx::Image walked =
      Attempt(dir, "walked", "keydown w sleep 2.0 keyup w",
              [&](const gfx::Image& image) { return NearEdge(image) > NearEdge(still) + 50; });
  ASSERT_EQ(walked.width, 1280);
  EXPECT_GT(Differing(still, walked), 5000);
  EXPECT_GT(NearEdge(walked), NearEdge(still) + 50);

  // A left-button drag turns the camera around the pointer: the floor's outline changes.
  // The press is near the scene window's left edge, clear of the editor window.
  const gfx::Image dragged = Attempt(dir, "dragged",
                                     "mousemove --window %W 100 360 sleep 0.2 mousedown 1 sleep 0.1 "
                                     "mousemove_relative 150 0 sleep 0.2 mouseup 1",
                                     [&](const gfx::Image& image) { return Differing(still, image) > 5000; });
  ASSERT_EQ(dragged.width, 1280);
  EXPECT_GT(Differing(still, dragged), 5000);

  // F2: wireframe. The inside of the floor's triangles goes black, their edges stay.
  // Held for a few frames: a press and release inside one frame is not seen, by design.
  const gfx::Image wire = Attempt(dir, "wire", "keydown F2 sleep 0.5 keyup F2",
                                  [](const gfx::Image& image) { return image.Pixel(560, 425)[0] < 10; });
  ASSERT_EQ(wire.width, 1280);
  EXPECT_LT(wire.Pixel(560, 425)[0], 10) << "inside a floor triangle";
  int lit = 0;
  for (int x = 470; x < 810; ++x)
    lit += wire.Pixel(x, 439)[0] > 30 || wire.Pixel(x, 440)[0] > 30 || wire.Pixel(x, 441)[0] > 30;
  EXPECT_GT(lit, 100) << "the floor's near edge remains as a line";
}

}  // namespace
