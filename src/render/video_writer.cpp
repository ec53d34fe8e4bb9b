#include "render/video_writer.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <pthread.h>
#include <strings.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <utility>

extern char** environ;

namespace {

// Writes everything; a pipe whose reader has gone gives EPIPE here rather than a signal that
// would end the program.
bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
  sigset_t pipeSignal, previous;
  sigemptyset(&pipeSignal);
  sigaddset(&pipeSignal, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
  bool ok = true;
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  if (!ok && errno == EPIPE) {
    const timespec none{};
    sigtimedwait(&pipeSignal, nullptr, &none);  // the signal the failed write left pending
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  return ok;
}

}  // namespace

VideoWriter::VideoWriter(const RenderSettings& settings) : settings_(settings) {}

VideoWriter::~VideoWriter() {
  if (child_ > 0) {
    ::kill(child_, SIGTERM);
    Wait();
  }
}

std::string VideoWriter::FindOnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::string folders = path ? path : "";
  std::size_t start = 0;
  while (start <= folders.size()) {
    const std::size_t end = std::min(folders.find(':', start), folders.size());
    const std::string folder = end > start ? folders.substr(start, end - start) : ".";
    const std::string candidate = folder + "/" + program;
    struct stat info{};
    if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
        ::access(candidate.c_str(), X_OK) == 0)
      return candidate;
    start = end + 1;
  }
  return {};
}

bool VideoWriter::Open(std::string* error) {
  const std::string ffmpeg = FindOnPath("ffmpeg");
  if (ffmpeg.empty()) {
    *error = settings_.output +
             ": videos are made by ffmpeg, which is not on the PATH (Debian: apt-get install ffmpeg)";
    return false;
  }
  if (!files_.Reserve(settings_.output, error)) return false;
  const bool webm = settings_.output.size() >= 5 &&
                    strcasecmp(settings_.output.c_str() + settings_.output.size() - 5, ".webm") == 0;
  const std::vector<std::string> arguments = {
      ffmpeg, "-hide_banner", "-loglevel", "error", "-nostdin", "-y",
      // What comes down the pipe.
      "-f", "rawvideo", "-pix_fmt", "rgba", "-s",
      std::to_string(settings_.width) + "x" + std::to_string(settings_.height), "-framerate",
      std::to_string(settings_.fps), "-i", "pipe:0",
      // What goes into the file.
      "-an", "-vf", "pad=ceil(iw/2)*2:ceil(ih/2)*2", "-pix_fmt", "yuv420p", "-c:v",
      webm ? "libvpx-vp9" : "libx264", "-fflags", "+bitexact", "-flags:v", "+bitexact", "-map_metadata", "-1",
      "-f", webm ? "webm" : "mp4", StagedFiles::TemporaryName(settings_.output)};
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) {
    *error = settings_.output + ": no pipe to ffmpeg: " + std::strerror(errno);
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, ends[0], STDIN_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  const int spawned = posix_spawn(&child_, ffmpeg.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(ends[0]);
  if (spawned != 0) {
    ::close(ends[1]);
    child_ = -1;
    *error = settings_.output + ": ffmpeg could not be started: " + std::strerror(spawned);
    return false;
  }
  pipe_ = ends[1];
  return true;
}

bool VideoWriter::Write(const gfx::Image& frame, std::string* error) {
  if (pipe_ < 0 || frame.width != settings_.width || frame.height != settings_.height ||
      !WriteAll(pipe_, frame.rgba.data(), frame.rgba.size())) {
    const int status = Wait();
    *error = settings_.output + ": ffmpeg stopped taking frames" +
             (status > 0 ? " (it ended with status " + std::to_string(status) + ")" : std::string());
    return false;
  }
  return true;
}

bool VideoWriter::Finish(std::string* error) {
  const int status = Wait();
  if (status != 0) {
    *error =
        settings_.output + ": ffmpeg failed" +
        (status > 0 ? " with status " + std::to_string(status) : std::string(": it did not end normally"));
    return false;
  }
  return files_.Commit(error);
}

int VideoWriter::Wait() {
  if (pipe_ >= 0) ::close(std::exchange(pipe_, -1));
  if (child_ <= 0) return -1;
  int status = 0;
  while (::waitpid(child_, &status, 0) < 0 && errno == EINTR) {
  }
  child_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
