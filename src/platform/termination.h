#pragma once
// Ways the program is told to end from outside its windows: SIGTERM and SIGINT end it as
// closing a window does, and a display connection that is lost ends it at once.

#include <functional>

namespace platform {

// Turns SIGTERM and SIGINT into a request the frame loop sees at its next event drain. A
// second signal, while the first is still unanswered, ends the process at once.
void InstallTerminationSignals();
// True once SIGTERM or SIGINT has arrived.
bool TerminationRequested();

// With a display reached through Xlib: a lost connection ends the process with status 1 and
// the reason on standard error, instead of Xlib's exit() from inside the library.
void EndWhenTheDisplayIsLost();
// What runs just before a lost display ends the process (the editor keeps unsaved work);
// it must not touch the display. Empty: nothing.
void SetLastWordsOnDisplayLoss(std::function<void()> lastWords);

}  // namespace platform
