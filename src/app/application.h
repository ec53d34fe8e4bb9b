#pragma once
// Start-up, the frame loop and shut-down of the editor on a window system.

#include "app/command_line.h"
#include "platform/clock.h"
#include "platform/window_system.h"

// Runs the program; the result is the process exit code.
int RunApplication(const CommandLine& options, platform::WindowSystem& system, platform::Clock& clock);
