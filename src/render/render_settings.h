#pragma once
// What a render of one effect makes: which effect, how many frames of what size, seen from
// where, on what background, into which file. The command line and the editor fill it in.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/gfx/d3dx_math.h"

// Told apart by the output's name.
enum class OutputKind {
  kSheet,     // NAME.png with a sheet layout: every frame in one picture
  kSequence,  // NAME%04d.png: a picture a frame, numbered from 0
  kGif,       // NAME.gif
  kVideo,     // NAME.mp4 or NAME.webm, made by ffmpeg
};

enum class RenderCamera {
  kAuto,   // framed on the effect's bounds over the frames rendered, from the scene camera's heading
  kScene,  // the scene camera as it is
};

struct RenderSettings {
  // The largest frame, sheet and frame count asked for: a sheet must still load as a texture.
  static constexpr int kMaxSide = 8192;
  static constexpr int kMaxFrames = 10'000;
  static constexpr int kMaxFps = 1000;

  std::string output;
  OutputKind kind = OutputKind::kGif;
  std::string tag;
  std::optional<int> length;  // frames; none: the effect's life
  int width = 256;            // a frame, or a sheet's cell
  int height = 256;
  int columns = 0;            // a sheet's layout
  int rows = 0;
  int fps = 50;
  std::uint32_t seed = 0;
  RenderCamera camera = RenderCamera::kAuto;
  std::optional<std::uint32_t> background;  // 0xRRGGBB; none: transparent PNG, black GIF and video
  // Where the effect is emitted and the scene camera: as the scene starts, the pointer at
  // (0, 10, 0) seen from (0, 100, 300) above and behind it.
  D3DXVECTOR3 emitAt{0.0f, 10.0f, 0.0f};
  D3DXVECTOR3 sceneEye{0.0f, 110.0f, 300.0f};
  D3DXVECTOR3 sceneTarget{0.0f, 10.0f, 0.0f};

  // Whether the frames keep their alpha (PNG output without a background).
  bool Transparent() const {
    return !background && (kind == OutputKind::kSheet || kind == OutputKind::kSequence);
  }
};

// ---- values as the command line gives them --------------------------------------------------
// Each gives false, with the reason in *error, for a value it cannot take.

// "WxH", both from 1 to kMaxSide.
bool ParseFrameSize(const std::string& text, int* width, int* height, std::string* error);
// "COLSxROWS", at least one cell.
bool ParseSheetLayout(const std::string& text, int* columns, int* rows, std::string* error);
// A whole number from low to high.
bool ParseWholeNumber(const std::string& option, const std::string& text, int low, int high, int* value,
                      std::string* error);
// "RRGGBB" in hexadecimal, with or without a leading '#'.
bool ParseBackground(const std::string& text, std::uint32_t* rgb, std::string* error);
bool ParseCamera(const std::string& text, RenderCamera* camera, std::string* error);
// The kind the output's name asks for; a sheet layout makes a .png a sheet, a number pattern
// (printf's %d, %4d or %04d, once) a sequence.
bool OutputKindOf(const std::string& output, bool sheet, OutputKind* kind, std::string* error);
// The name of frame `index` of a sequence: the pattern's number written as printf would.
std::string SequenceFileName(const std::string& pattern, int index);
// Checks what only makes sense together: a sheet's size within kMaxSide, a sheet layout only
// for a sheet.
bool CheckRenderSettings(const RenderSettings& settings, std::string* error);
