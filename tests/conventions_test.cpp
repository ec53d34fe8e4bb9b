// Rules of the code base that a compiler does not check, checked over the sources.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <cctype>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/source_tree.h"

namespace {

namespace fs = std::filesystem;

struct SourceLine {
  std::string file;  // relative to the checkout
  int number;
  std::string text;  // without comments
};

// Every line of the C++ sources under the folder, comments blanked out.
std::vector<SourceLine> Lines(const std::string& folder) {
  std::vector<SourceLine> lines;
  const fs::path root = fs::path(SourceDir()) / folder;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    const std::string extension = entry.path().extension().string();
    if (extension != ".h" && extension != ".cpp") continue;
    std::ifstream in(entry.path());
    std::string line;
    bool inBlock = false;
    for (int number = 1; std::getline(in, line); ++number) {
      std::string code;
      for (std::size_t i = 0; i < line.size(); ++i) {
        if (inBlock) {
          if (line.compare(i, 2, "*/") == 0) inBlock = false, ++i;
        } else if (line.compare(i, 2, "/*") == 0) {
          inBlock = true, ++i;
        } else if (line.compare(i, 2, "//") == 0) {
          break;
        } else {
          code += line[i];
        }
      }
      lines.push_back({fs::relative(entry.path(), SourceDir()).string(), number, code});
    }
  }
  return lines;
}

using LinePredicate = std::function<bool(const std::string&)>;

std::vector<std::string> Matches(const std::vector<SourceLine>& lines, const LinePredicate& hit) {
  std::vector<std::string> found;
  for (const SourceLine& line : lines)
    if (hit(line.text)) found.push_back(line.file + ":" + std::to_string(line.number) + ": " + line.text);
  return found;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::ostringstream out;
  for (const std::string& line : lines) out << line << "\n";
  return out.str();
}

bool IsWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// The identifier that starts at `at`.
std::string WordAt(const std::string& text, std::size_t at) {
  std::size_t end = at;
  while (end < text.size() && IsWordChar(text[end])) ++end;
  return text.substr(at, end - at);
}

std::size_t SkipSpaces(const std::string& text, std::size_t at) {
  while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
  return at;
}

// Each start of the word in the text, not inside a longer identifier.
std::vector<std::size_t> WordStarts(const std::string& text, const std::string& word) {
  std::vector<std::size_t> starts;
  for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
    const bool before = at > 0 && IsWordChar(text[at - 1]);
    const bool after = at + word.size() < text.size() && IsWordChar(text[at + word.size()]);
    if (!before && !after) starts.push_back(at);
  }
  return starts;
}

// ImGui::NAME( for a NAME that draws a widget a user acts on.
bool RawWidgetCall(const std::string& text) {
  static const std::set<std::string> kNames = {
      "Begin",        "Button",     "SmallButton",      "InvisibleButton", "ArrowButton", "ImageButton",
      "RadioButton",  "Combo",      "BeginCombo",       "Selectable",      "ListBox",     "BeginListBox",
      "MenuItem",     "BeginMenu",  "CollapsingHeader", "BeginPlot"};
  static const std::string kPrefixes[] = {"Checkbox", "Drag",       "Slider",      "VSlider",
                                          "Input",    "ColorEdit",  "ColorPicker", "ColorButton", "TreeNode"};
  const std::string scope = "ImGui::";
  for (std::size_t at = text.find(scope); at != std::string::npos; at = text.find(scope, at + 1)) {
    const std::string name = WordAt(text, at + scope.size());
    const std::size_t next = SkipSpaces(text, at + scope.size() + name.size());
    if (next >= text.size() || text[next] != '(') continue;
    if (kNames.count(name)) return true;
    for (const std::string& prefix : kPrefixes)
      if (name.rfind(prefix, 0) == 0) return true;
  }
  return false;
}

// A static or thread-local declaration that is neither constant nor a function: what comes
// before its initialiser holds no parenthesis.
bool StaticVariable(const std::string& text) {
  for (const std::string keyword : {"static", "thread_local"}) {
    for (std::size_t at : WordStarts(text, keyword)) {
      const std::size_t next = SkipSpaces(text, at + keyword.size());
      const std::string word = WordAt(text, next);
      if (word == "constexpr" || word == "const" || word == "inline") continue;
      const std::size_t end = text.find_first_of("=;{", next);
      if (end != std::string::npos && text.find('(', next) > end) return true;
    }
  }
  return false;
}

// A widget drawn without ui:: is missing from the item log: no test can find or drive it.
TEST(Conventions, EditorWidgetsGoThroughTheLoggedLayer) {
  EXPECT_EQ(Joined(Matches(Lines("src/editor"), RawWidgetCall)), "");

  // The check sees what it is meant to.
  const std::vector<SourceLine> sample = {{"a.cpp", 1, "  if (ImGui::Button(\"x\")) {"},
                                          {"a.cpp", 2, "  ImGui::DragFloat3(\"Scale\", v);"},
                                          {"a.cpp", 3, "  ImGui::Begin (\"w\");"},
                                          {"a.cpp", 4, "  ImGui::BeginMenuBar(); ImGui::SameLine();"},
                                          {"a.cpp", 5, "  ui::Button(\"x\");"}};
  EXPECT_EQ(Matches(sample, RawWidgetCall).size(), 3u);
}

// Static variables are process-wide state: only the few that cannot be owned by an object.
TEST(Conventions, OnlyTheListedStaticsHoldState) {
  const std::set<std::string> allowed = {
      "src/app/manager.cpp",       "src/scene/shared_state.cpp",   "src/platform/message_sink.cpp",
      "src/scene/object_pool.cpp", "src/platform/termination.cpp",
  };
  std::vector<std::string> found;
  for (const SourceLine& line : Lines("src"))
    if (StaticVariable(line.text) && !allowed.count(line.file))
      found.push_back(line.file + ":" + std::to_string(line.number) + ": " + line.text);
  EXPECT_EQ(Joined(found), "");

  const std::vector<SourceLine> sample = {{"a.cpp", 1, "  static Pool pool;"},
                                          {"a.cpp", 2, "  thread_local std::mt19937 generator{1};"},
                                          {"a.cpp", 3, "  static int count = 0;"},
                                          {"a.h", 4, "  static ItemLog* Installed();"},
                                          {"a.h", 5, "  static constexpr float kTurn = 0.005f;"},
                                          {"a.h", 6, "  static const char* const kNames[] = {\"a\"};"},
                                          {"a.h", 7, "  return static_cast<int>(x);"}};
  EXPECT_EQ(Matches(sample, StaticVariable).size(), 3u);
}

// A test's files go in the folder the shared fixture makes and removes: no test leaves
// files behind or meets another's.
TEST(Conventions, TemporaryFilesOnlyThroughTheSharedFixture) {
  // Spelled in pieces, so that this file does not find itself.
  const std::string needles[] = {std::string("temp_") + "directory_path", std::string("mk") + "stemp",
                                 std::string("mk") + "dtemp", std::string("\"/") + "tmp/"};
  const auto makesItsOwn = [&](const std::string& text) {
    for (const std::string& needle : needles)
      if (text.find(needle) != std::string::npos) return true;
    return false;
  };
  std::vector<std::string> found;
  for (const std::string& hit : Matches(Lines("tests"), makesItsOwn))
    if (hit.rfind("tests/support/temp_folder.h:", 0) != 0) found.push_back(hit);
  EXPECT_EQ(Joined(found), "");
}

// Scene objects die one way: the registry reads the one flag CObject keeps.
TEST(Conventions, OneDeadFlagForEverySceneObject) {
  const auto declaresIsDeath = [](const std::string& text) {
    for (std::size_t at : WordStarts(text, "IsDeath")) {
      const std::size_t call = SkipSpaces(text, at + 7);
      std::size_t before = at;
      while (before > 0 && std::isspace(static_cast<unsigned char>(text[before - 1]))) --before;
      if (call < text.size() && text[call] == '(' && before >= 4 && text.compare(before - 4, 4, "bool") == 0)
        return true;
    }
    return false;
  };
  EXPECT_EQ(Matches(Lines("src"), declaresIsDeath).size(), 1u);
}

}  // namespace
