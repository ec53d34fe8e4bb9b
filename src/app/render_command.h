#pragma once
// `particle-editor --render OUT [...] DOCUMENT`: renders one emission of an effect of the
// document to files, without a window or a display.

#include <cstdio>
#include <string>

#include "app/command_line.h"
#include "platform/window_system.h"
#include "render/render_settings.h"

// The settings the options ask for (the tag may stay empty: the document decides). False, with
// the reason, for a value the render cannot take.
bool RenderSettingsFrom(const CommandLine& options, RenderSettings* settings, std::string* error);

// Reads the document, starts the scene's device and resources on a window of the system and
// renders. Without a tag, the document's selected effect (an editor document's selection) or its
// last. Tells `progress`, when given, the frames done. False, with the reason and nothing written,
// on any failure.
bool RenderDocument(RenderSettings settings, const std::string& document, platform::WindowSystem& system,
                    std::FILE* progress, std::string* error);

// The whole command on SDL's offscreen driver; the exit status: 0, or 1 with the reason told on
// standard error. Progress goes to standard error when it is a terminal.
int RunRenderCommand(const CommandLine& options);
