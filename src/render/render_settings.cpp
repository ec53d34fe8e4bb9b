#include "render/render_settings.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <vector>

namespace {

std::optional<long long> WholeNumber(std::string_view text) {
  long long value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

// Two whole numbers from 1 to high, "AxB".
bool ParsePair(const std::string& text, long long high, int* a, int* b) {
  const std::size_t x = text.find('x');
  if (x == std::string::npos) return false;
  const auto first = WholeNumber(std::string_view(text).substr(0, x));
  const auto second = WholeNumber(std::string_view(text).substr(x + 1));
  if (!first || !second || *first < 1 || *second < 1 || *first > high || *second > high) return false;
  *a = static_cast<int>(*first);
  *b = static_cast<int>(*second);
  return true;
}

// A frame number in a name: '%', an optional '0', at most two digits of width, 'd'.
struct NumberPattern {
  std::size_t at = 0;
  std::size_t length = 0;
  bool zeros = false;
  int width = 0;
};

// The name's frame numbers; false for a '%' that is neither one nor "%%".
bool FindNumbers(const std::string& name, std::vector<NumberPattern>* found) {
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (name[i] != '%') continue;
    if (i + 1 < name.size() && name[i + 1] == '%') {
      ++i;
      continue;
    }
    NumberPattern p{i, 1};
    std::size_t j = i + 1;
    if (j < name.size() && name[j] == '0') {
      p.zeros = true;
      ++j;
    }
    const std::size_t digits = j;
    while (j < name.size() && std::isdigit(static_cast<unsigned char>(name[j])) && j - digits < 2) {
      p.width = p.width * 10 + (name[j] - '0');
      ++j;
    }
    if (j >= name.size() || name[j] != 'd') return false;
    p.length = j + 1 - i;
    found->push_back(p);
    i = j;
  }
  return true;
}

std::string LowerExtension(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  std::string extension = path.substr(dot);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension;
}

}  // namespace

bool ParseFrameSize(const std::string& text, int* width, int* height, std::string* error) {
  if (ParsePair(text, RenderSettings::kMaxSide, width, height)) return true;
  *error =
      "--size needs WxH, each from 1 to " + std::to_string(RenderSettings::kMaxSide) + ", not '" + text + "'";
  return false;
}

bool ParseSheetLayout(const std::string& text, int* columns, int* rows, std::string* error) {
  if (ParsePair(text, RenderSettings::kMaxSide, columns, rows)) return true;
  *error = "--sheet needs COLSxROWS, at least 1x1, not '" + text + "'";
  return false;
}

bool ParseWholeNumber(const std::string& option, const std::string& text, int low, int high, int* value,
                      std::string* error) {
  const auto number = WholeNumber(text);
  if (number && *number >= low && *number <= high) {
    *value = static_cast<int>(*number);
    return true;
  }
  *error = option + " needs a whole number from " + std::to_string(low) + " to " + std::to_string(high) +
           ", not '" + text + "'";
  return false;
}

bool ParseBackground(const std::string& text, std::uint32_t* rgb, std::string* error) {
  const std::string_view hex = std::string_view(text).substr(text.starts_with("#") ? 1 : 0);
  std::uint32_t value = 0;
  const auto [end, ec] = std::from_chars(hex.data(), hex.data() + hex.size(), value, 16);
  if (hex.size() == 6 && ec == std::errc() && end == hex.data() + hex.size() &&
      std::all_of(hex.begin(), hex.end(), [](unsigned char c) { return std::isxdigit(c); })) {
    *rgb = value;
    return true;
  }
  *error = "--background needs a colour RRGGBB in hexadecimal (000000 is black), not '" + text + "'";
  return false;
}

bool ParseCamera(const std::string& text, RenderCamera* camera, std::string* error) {
  if (text == "auto" || text == "scene") {
    *camera = text == "auto" ? RenderCamera::kAuto : RenderCamera::kScene;
    return true;
  }
  *error = "--camera needs auto or scene, not '" + text + "'";
  return false;
}

bool OutputKindOf(const std::string& output, bool sheet, OutputKind* kind, std::string* error) {
  std::vector<NumberPattern> numbers;
  if (!FindNumbers(output, &numbers) || numbers.size() > 1) {
    *error = output + ": a name holds at most one frame number, written %d, %4d or %04d (%% for a '%')";
    return false;
  }
  const std::string extension = LowerExtension(output);
  if (!numbers.empty()) {
    if (extension != ".png") {
      *error = output + ": numbered frames are PNG files: end the name with .png";
      return false;
    }
    if (sheet) {
      *error = output + ": --sheet makes one picture, and the name has a frame number";
      return false;
    }
    *kind = OutputKind::kSequence;
    return true;
  }
  if (extension == ".png") {
    if (!sheet) {
      *error =
          output + ": a .png is a sprite sheet (give --sheet COLSxROWS) or numbered frames (NAME_%04d.png)";
      return false;
    }
    *kind = OutputKind::kSheet;
    return true;
  }
  if (sheet) {
    *error = output + ": --sheet is for a .png output";
    return false;
  }
  if (extension == ".gif") {
    *kind = OutputKind::kGif;
    return true;
  }
  if (extension == ".mp4" || extension == ".webm") {
    *kind = OutputKind::kVideo;
    return true;
  }
  *error = output + ": the name says what to write: NAME.png with --sheet, NAME_%04d.png, NAME.gif, " +
           "NAME.mp4 or NAME.webm";
  return false;
}

std::string SequenceFileName(const std::string& pattern, int index) {
  std::vector<NumberPattern> numbers;
  FindNumbers(pattern, &numbers);
  std::string name;
  std::size_t i = 0;
  for (const NumberPattern& p : numbers) {
    name += pattern.substr(i, p.at - i);
    const std::string digits = std::to_string(index);
    if (static_cast<int>(digits.size()) < p.width)
      name.append(static_cast<std::size_t>(p.width) - digits.size(), p.zeros ? '0' : ' ');
    name += digits;
    i = p.at + p.length;
  }
  name += pattern.substr(i);
  // "%%" stands for one '%' in a numbered name.
  std::string unescaped;
  for (std::size_t k = 0; k < name.size(); ++k) {
    unescaped += name[k];
    if (name[k] == '%' && k + 1 < name.size() && name[k + 1] == '%') ++k;
  }
  return unescaped;
}

bool CheckRenderSettings(const RenderSettings& settings, std::string* error) {
  if (settings.kind != OutputKind::kSheet && (settings.columns != 0 || settings.rows != 0)) {
    *error = "--sheet is for a .png output";
    return false;
  }
  if (settings.kind == OutputKind::kSheet) {
    const long long sheetWidth = static_cast<long long>(settings.columns) * settings.width;
    const long long sheetHeight = static_cast<long long>(settings.rows) * settings.height;
    if (settings.columns < 1 || settings.rows < 1 || sheetWidth > RenderSettings::kMaxSide ||
        sheetHeight > RenderSettings::kMaxSide) {
      *error = "a sheet of " + std::to_string(settings.columns) + "x" + std::to_string(settings.rows) +
               " cells of " + std::to_string(settings.width) + "x" + std::to_string(settings.height) +
               " would be " + std::to_string(sheetWidth) + "x" + std::to_string(sheetHeight) +
               " pixels; at most " + std::to_string(RenderSettings::kMaxSide) + " on a side";
      return false;
    }
  }
  return true;
}
