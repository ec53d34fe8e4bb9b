// The program ended from outside its windows: by a signal, or by losing its display. Each run
// has a private X server, so stopping that server touches no other test.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/source_tree.h"
#include "support/temp_folder.h"

namespace {

using Clock = std::chrono::steady_clock;

// A child process, killed if still running when it goes.
class Child {
 public:
  // Runs argv in the folder with the extra environment; its standard error goes to errorPath
  // (none: inherited).
  Child(const std::vector<std::string>& argv, const std::vector<std::string>& environment = {},
        const std::string& folder = {}, const std::string& errorPath = {}) {
    pid_ = fork();
    if (pid_ != 0) return;
    if (!folder.empty() && chdir(folder.c_str()) != 0) _exit(126);
    for (const std::string& variable : environment) putenv(const_cast<char*>(variable.c_str()));
    if (!errorPath.empty()) {
      const int fd = open(errorPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (fd >= 0) dup2(fd, STDERR_FILENO);
    }
    const int devnull = open("/dev/null", O_WRONLY);
    if (devnull >= 0) dup2(devnull, STDOUT_FILENO);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  ~Child() {
    if (pid_ > 0 && !status_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  void Signal(int signal) const { kill(pid_, signal); }
  // True once the process catches the signal (it has installed its handler), within the time.
  bool Catches(int signal, std::chrono::milliseconds within) const {
    const auto until = Clock::now() + within;
    do {
      std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
      for (std::string line; std::getline(status, line);)
        if (line.rfind("SigCgt:", 0) == 0 && (std::stoull(line.substr(7), nullptr, 16) >> (signal - 1)) & 1u)
          return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    } while (Clock::now() < until);
    return false;
  }
  // The exit status once the process ends within the time, -2 when a signal ended it, none
  // while it still runs.
  std::optional<int> Wait(std::chrono::milliseconds within) {
    const auto until = Clock::now() + within;
    while (!status_) {
      int raw = 0;
      if (waitpid(pid_, &raw, WNOHANG) == pid_) {
        status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : -2;
        break;
      }
      if (Clock::now() > until) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return status_;
  }

 private:
  pid_t pid_ = -1;
  std::optional<int> status_;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// A private X server on a display number it chose itself.
class PrivateDisplay {
 public:
  PrivateDisplay() {
    int fds[2];
    if (pipe(fds) != 0) return;
    // -displayfd: the server picks a free number and writes it when it is ready.
    server_.emplace(std::vector<std::string>{"Xvfb", "-displayfd", std::to_string(fds[1]), "-nolisten", "tcp",
                                             "-screen", "0", "2048x1200x24"},
                    std::vector<std::string>{}, "", "/dev/null");
    close(fds[1]);
    std::string number;
    char c = 0;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (!number.empty()) name_ = ":" + number;
  }
  const std::string& Name() const { return name_; }
  // True once a window with the title is shown on the display.
  bool WaitForWindow(const std::string& title) const {
    const std::string command = "DISPLAY=" + name_ +
                                " timeout 60 xdotool search --sync --onlyvisible --name '^" + title +
                                "$' >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
  }
  void Stop() {
    server_->Signal(SIGKILL);
    server_->Wait(std::chrono::seconds(10));
  }

 private:
  std::optional<Child> server_;
  std::string name_;
};

class Termination : public TempFolderTest {
 protected:
  // The editor on the display, from the repository root (the sample data).
  std::unique_ptr<Child> StartEditor(const PrivateDisplay& display,
                                     const std::vector<std::string>& arguments = {}) {
    std::vector<std::string> argv = {EditorBinary()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return std::make_unique<Child>(
        argv, std::vector<std::string>{"DISPLAY=" + display.Name(), "SDL_AUDIODRIVER=dummy"}, SourceDir(),
        Path("stderr.txt"));
  }
  std::string Said() const { return ReadFile(Path("stderr.txt")); }
};

TEST_F(Termination, ALostDisplayEndsTheEditorWithItsReason) {
  for (const std::vector<std::string>& arguments : {std::vector<std::string>{}, {"--frames", "1000000"}}) {
    const std::string run = arguments.empty() ? "without --frames" : "with --frames";
    PrivateDisplay display;
    ASSERT_FALSE(display.Name().empty()) << "Xvfb did not start";
    const auto editor = StartEditor(display, arguments);
    ASSERT_TRUE(display.WaitForWindow("Child")) << run;
    display.Stop();
    const auto lost = Clock::now();
    // Ends promptly rather than spinning; the bound is loose for loaded machines.
    const std::optional<int> status = editor->Wait(std::chrono::seconds(15));
    ASSERT_TRUE(status.has_value()) << run << ": still running 15 s after its display went";
    EXPECT_EQ(*status, 1) << run;
    EXPECT_NE(Said().find("the connection to the display " + display.Name() + " was lost"), std::string::npos)
        << run << ": " << Said();
    std::cout << run << ": ended "
              << std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - lost).count()
              << " ms after the display went\n";
  }
}

TEST_F(Termination, SigtermAndSigintEndTheEditorAsClosingItDoes) {
  PrivateDisplay display;
  ASSERT_FALSE(display.Name().empty()) << "Xvfb did not start";
  for (const int signal : {SIGTERM, SIGINT}) {
    const auto editor = StartEditor(display);
    ASSERT_TRUE(display.WaitForWindow("Child"));
    editor->Signal(signal);
    const std::optional<int> status = editor->Wait(std::chrono::seconds(15));
    ASSERT_TRUE(status.has_value()) << strsignal(signal) << " did not end the editor";
    EXPECT_EQ(*status, 0) << strsignal(signal) << ": " << Said();
  }
  // Also while it is still starting, before any window shows.
  const auto editor = StartEditor(display);
  ASSERT_TRUE(editor->Catches(SIGTERM, std::chrono::seconds(15)));
  editor->Signal(SIGTERM);
  const std::optional<int> status = editor->Wait(std::chrono::seconds(15));
  ASSERT_TRUE(status.has_value());
  EXPECT_EQ(*status, 0) << Said();
}

}  // namespace
