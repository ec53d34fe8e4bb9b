#include "app/command_line.h"

#include <algorithm>
#include <charconv>
#include <iterator>

#include "effectfile/document_conversion.h"

const char* CommandLine::Usage() {
  return "usage: particle-editor [--frames N] [--seed N] [--paused] [--screenshot PREFIX] [--stats PATH]\n"
         "                       [--no-watch] [--help] [DOCUMENT]\n"
         "       particle-editor --convert OUT [--to editor|json|text] DOCUMENT\n"
         "       particle-editor --render OUT [--tag NAME] [--length N] [--size WxH] [--sheet COLSxROWS]\n"
         "                       [--fps N] [--seed N] [--camera auto|scene] [--background RRGGBB] DOCUMENT\n"
         "  DOCUMENT             an effect document (.json or .txt) to open at start; with --convert,\n"
         "                       the document to convert (of any format, told apart by content)\n"
         "  --frames N           quit after step N, in real time (a step is 16 ms; the pointer first\n"
         "                       plays the effect at step 150, then every Emission Interval steps:\n"
         "                       --frames 180 shows it playing)\n"
         "  --seed N             both random sources from N: the same seed plays the same run\n"
         "  --paused             start with the preview paused (Space plays)\n"
         "  --screenshot PREFIX  at exit, write PREFIX-scene.png (1280x720) and PREFIX-editor.png "
         "(700x1000)\n"
         "  --stats PATH         write what the preview costs to PATH once a second, a JSON object a\n"
         "                       line: fps, steps_per_s, realtime, frame_ms, update_ms, draw_ms,\n"
         "                       draws, batches, particles, trails, emitters, objects\n"
         "  --no-watch           load textures, models, effects, sounds and their catalogs once;\n"
         "                       without it they are read again when their files change\n"
         "  --convert OUT        write DOCUMENT to OUT and quit, without a window: as an editor\n"
         "                       document, or as --to says (OUT ending in .txt: text); says on\n"
         "                       standard error each field the format cannot hold\n"
         "  --to FORMAT          editor (every field), json (particle.json) or text (particle.txt)\n"
         "  --render OUT         render one emission of an effect of DOCUMENT without a display:\n"
         "                       NAME.png with --sheet (a sprite sheet), NAME_%04d.png (a PNG a\n"
         "                       frame), NAME.gif, or NAME.mp4 / NAME.webm (through ffmpeg)\n"
         "  --tag NAME           the effect (default: the document's selected or last one)\n"
         "  --length N           frames, one fixed step each (default: the effect's life)\n"
         "  --size WxH           a frame, or a sheet's cell (default 256x256)\n"
         "  --sheet COLSxROWS    the sheet's cells, the frames sampled evenly over them\n"
         "  --fps N              frames a second of a GIF or video (default 50)\n"
         "  --camera auto|scene  framed on the effect (default) or the scene window's camera\n"
         "  --background RRGGBB  a colour behind the effect (default: transparent PNG, black GIF\n"
         "                       and video); with --render, --seed defaults to 0\n"
         "  --help               show this text\n";
}

namespace {

// The whole text as a number of the type, or nothing.
template <typename T>
std::optional<T> WholeNumber(const std::string& value) {
  T number = 0;
  const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), number);
  if (ec != std::errc() || end != value.data() + value.size()) return std::nullopt;
  return number;
}

}  // namespace

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
      const std::optional<std::uint64_t> frames = WholeNumber<std::uint64_t>(value);
      if (!frames || *frames == 0) {
        *error = "--frames needs a positive whole number, not '" + value + "'";
        return std::nullopt;
      }
      options.frames = *frames;
    } else if (arg == "--seed") {
      const std::optional<std::uint32_t> seed =
          hasValue ? WholeNumber<std::uint32_t>(args[i + 1]) : std::nullopt;
      if (!seed) {
        *error = "--seed needs a whole number from 0 to 4294967295" +
                 (hasValue ? ", not '" + args[i + 1] + "'" : std::string());
        return std::nullopt;
      }
      options.seed = *seed;
      ++i;
    } else if (arg == "--paused") {
      options.paused = true;
    } else if (arg == "--no-watch") {
      options.noWatch = true;
    } else if (arg == "--screenshot") {
      if (!hasValue || args[i + 1].empty()) {
        *error = "--screenshot needs a file prefix";
        return std::nullopt;
      }
      options.screenshotPrefix = args[++i];
    } else if (arg == "--stats") {
      if (!hasValue || args[i + 1].empty()) {
        *error = "--stats needs the file to write";
        return std::nullopt;
      }
      options.statsPath = args[++i];
    } else if (arg == "--convert") {
      if (!hasValue || args[i + 1].empty()) {
        *error = "--convert needs the file to write";
        return std::nullopt;
      }
      options.convertOutput = args[++i];
    } else if (arg == "--to") {
      if (!hasValue || !ConversionTargetNamed(args[i + 1])) {
        *error =
            "--to needs editor, json or text" + (hasValue ? ", not '" + args[i + 1] + "'" : std::string());
        return std::nullopt;
      }
      options.convertTo = args[++i];
    } else if (arg == "--render") {
      if (!hasValue || args[i + 1].empty()) {
        *error = "--render needs the file to write";
        return std::nullopt;
      }
      options.renderOutput = args[++i];
    } else if (std::find(std::begin(kRenderOptions), std::end(kRenderOptions), arg) !=
               std::end(kRenderOptions)) {
      if (!hasValue) {
        *error = arg + " needs a value";
        return std::nullopt;
      }
      options.renderValues[arg] = args[++i];
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
  if (!options.convertTo.empty() && options.convertOutput.empty()) {
    *error = "--to says what --convert writes, and there is no --convert";
    return std::nullopt;
  }
  if (!options.renderValues.empty() && options.renderOutput.empty()) {
    *error = options.renderValues.begin()->first + " says how --render renders, and there is no --render";
    return std::nullopt;
  }
  if (!options.renderOutput.empty()) {
    if (!options.convertOutput.empty()) {
      *error = "--render and --convert are two commands: one at a time";
      return std::nullopt;
    }
    if (options.document.empty()) {
      *error = "--render needs a DOCUMENT to read";
      return std::nullopt;
    }
    if (options.frames != 0 || !options.screenshotPrefix.empty() || options.paused ||
        !options.statsPath.empty()) {
      *error = "--render opens no window: --frames, --paused, --screenshot and --stats do not go with it";
      return std::nullopt;
    }
  }
  if (!options.convertOutput.empty()) {
    if (options.document.empty()) {
      *error = "--convert needs a DOCUMENT to read";
      return std::nullopt;
    }
    if (options.frames != 0 || !options.screenshotPrefix.empty() || options.paused ||
        !options.statsPath.empty() || options.noWatch) {
      *error = "--convert opens no window: --frames, --paused, --screenshot, --stats and --no-watch do not "
               "go with it";
      return std::nullopt;
    }
  }
  return options;
}
