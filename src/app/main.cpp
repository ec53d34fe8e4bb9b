// The particle editor: the scene window "TEST" replays the selected effect at the 3D
// pointer, the "Child" window edits it.

#include <cstdio>
#include <iostream>

#include "app/application.h"
#include "app/command_line.h"
#include "app/render_command.h"
#include "effectfile/document_conversion.h"
#include "platform/message_sink.h"
#include "platform/sanitizer_support.h"
#include "platform/sdl_window_system.h"
#include "platform/termination.h"

int main(int argc, char** argv) {
  platform::InstallTerminationSignals();
  platform::KeepGraphicsDriversLoadedForLeakChecks();
  std::string error;
  const auto options = CommandLine::Parse(std::vector<std::string>(argv + 1, argv + argc), &error);
  if (!options) {
    std::fprintf(stderr, "particle-editor: %s\n%s", error.c_str(), CommandLine::Usage());
    return 2;
  }
  if (options->help) {
    std::fputs(CommandLine::Usage(), stdout);
    return 0;
  }
  // A conversion needs no display: it runs before anything of the window system starts.
  if (!options->convertOutput.empty()) {
    const DocumentFormat target = options->convertTo.empty() ? ConversionTargetOf(options->convertOutput)
                                                             : *ConversionTargetNamed(options->convertTo);
    return ConvertDocument(options->document, options->convertOutput, target, std::cerr);
  }
  // Nor does a render: it draws offscreen.
  if (!options->renderOutput.empty()) return RunRenderCommand(*options);
  // Automated runs must never wait on a dialog.
  if (options->frames == 0) platform::SetMessageSink(std::make_unique<platform::DialogMessageSink>());

  auto system = platform::SdlWindowSystem::Create(&error);
  if (!system) {
    platform::ShowMessage(platform::kWarningCaption, "ウィンドウシステムを開始できません: " + error);
    return 1;
  }
  platform::SteadyClock clock;
  return RunApplication(*options, *system, clock);
}
