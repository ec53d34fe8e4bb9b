#include "app/command_line.h"

#include <charconv>

const char* CommandLine::Usage() {
  return "usage: particle-editor [--frames N] [--screenshot PREFIX] [--help] [DOCUMENT]\n"
         "  DOCUMENT             an effect document (.json or .txt) to open at start\n"
         "  --frames N           quit after N frames (the pointer first plays the effect at frame 150,\n"
         "                       then every Emission Interval frames: --frames 180 shows it playing)\n"
         "  --screenshot PREFIX  at exit, write PREFIX-scene.png (1280x720) and PREFIX-editor.png "
         "(700x1000)\n"
         "  --help               show this text\n";
}

std::optional<CommandLine> CommandLine::Parse(const std::vector<std::string>& args, std::string* error) {
  CommandLine options;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--frames") {
      if (!hasValue) {
        *error = "--frames needs a number";
        return std::nullopt;
      }
      const std::string& value = args[++i];
      std::uint64_t frames = 0;
      const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), frames);
      if (ec != std::errc() || end != value.data() + value.size() || frames == 0) {
        *error = "--frames needs a positive whole number, not '" + value + "'";
        return std::nullopt;
      }
      options.frames = frames;
    } else if (arg == "--screenshot") {
      if (!hasValue || args[i + 1].empty()) {
        *error = "--screenshot needs a file prefix";
        return std::nullopt;
      }
      options.screenshotPrefix = args[++i];
    } else if (arg.starts_with("-")) {
      *error = "unknown argument '" + arg + "'";
      return std::nullopt;
    } else if (!options.document.empty()) {
      *error = "one document at a time: '" + options.document + "' and '" + arg + "'";
      return std::nullopt;
    } else {
      options.document = arg;
    }
  }
  return options;
}
