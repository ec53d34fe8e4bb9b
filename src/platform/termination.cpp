#include "platform/termination.h"

#include <X11/Xlib.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>

namespace platform {

namespace {

volatile std::sig_atomic_t terminationSignal = 0;
std::function<void()> lastWords;

void OnTerminationSignal(int signal) {
  if (terminationSignal != 0) {
    // Asked twice: the loop is not answering, so stop here as the default action would.
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    return;
  }
  terminationSignal = signal;
}

// Xlib calls this when the connection breaks; it must not return (Xlib would exit()).
// Nothing more can be drawn or asked of the display, and atexit handlers could wait on it.
int OnDisplayLost(Display* display) {
  std::fprintf(stderr, "particle-editor: the connection to the display %s was lost; ending\n",
               display ? DisplayString(display) : "");
  std::fflush(stderr);
  if (lastWords) lastWords();
  _exit(1);
}

}  // namespace

void InstallTerminationSignals() {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

bool TerminationRequested() { return terminationSignal != 0; }

void EndWhenTheDisplayIsLost() { XSetIOErrorHandler(OnDisplayLost); }

void SetLastWordsOnDisplayLoss(std::function<void()> words) { lastWords = std::move(words); }

}  // namespace platform
