#pragma once
// The program's options. Without any, the editor runs until a window is closed.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

struct CommandLine {
  std::uint64_t frames = 0;    // --frames N: quit after step N (0: run until closed)
  std::optional<std::uint32_t> seed;  // --seed N: both random sources from N, a repeatable run
  bool paused = false;  // --paused: the preview starts paused
  bool noWatch = false;  // --no-watch: resources are loaded once, never again when their files change
  std::string screenshotPrefix;  // --screenshot PREFIX: PREFIX-scene.png and PREFIX-editor.png at exit
  std::string document;  // DOCUMENT: an effect document (.json or .txt) loaded at start
  std::string statsPath;  // --stats PATH: the frame figures, a JSON line a second
  bool help = false;
  // --convert OUT: write DOCUMENT to OUT and quit, without a window (empty: run the editor)
  std::string convertOutput;
  // --to editor|json|text: the format OUT is written in (empty: by OUT's name)
  std::string convertTo;
  // --render OUT: render an effect of DOCUMENT to OUT and quit, without a display
  std::string renderOutput;
  // The render's options as given (--tag, --length, --size, ...), by name; the render checks
  // their values, so that a bad one fails as a render does.
  std::map<std::string, std::string> renderValues;
  // The options that take a value and only go with --render.
  static constexpr const char* kRenderOptions[] = {"--tag",  "--length", "--size",      "--sheet",
                                                   "--fps", "--camera", "--background"};

  // Null, with the problem in *error, for an unknown option or a bad value.
  static std::optional<CommandLine> Parse(const std::vector<std::string>& args, std::string* error);
  static const char* Usage();
};
