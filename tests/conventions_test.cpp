// Rules of the code base that a compiler does not check, checked over the sources.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
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

std::vector<std::string> Matches(const std::vector<SourceLine>& lines, const std::regex& pattern) {
  std::vector<std::string> found;
  for (const SourceLine& line : lines)
    if (std::regex_search(line.text, pattern))
      found.push_back(line.file + ":" + std::to_string(line.number) + ": " + line.text);
  return found;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::ostringstream out;
  for (const std::string& line : lines) out << line << "\n";
  return out.str();
}

// A widget drawn without ui:: is missing from the item log: no test can find or drive it.
TEST(Conventions, EditorWidgetsGoThroughTheLoggedLayer) {
  const std::regex rawWidget(
      R"(ImGui::(Begin|Button|SmallButton|InvisibleButton|ArrowButton|ImageButton|Checkbox\w*|RadioButton|)"
      R"(Combo|BeginCombo|Selectable|ListBox|BeginListBox|Drag\w+|Slider\w+|VSlider\w+|Input\w+|Color\w+|)"
      R"(TreeNode\w*|CollapsingHeader|MenuItem|BeginMenu|BeginPlot)\s*\()");
  EXPECT_EQ(Joined(Matches(Lines("src/editor"), rawWidget)), "");

  // The check sees what it is meant to.
  const std::vector<SourceLine> sample = {{"a.cpp", 1, "  if (ImGui::Button(\"x\")) {"},
                                          {"a.cpp", 2, "  ImGui::DragFloat3(\"Scale\", v);"},
                                          {"a.cpp", 3, "  ImGui::Begin (\"w\");"},
                                          {"a.cpp", 4, "  ImGui::BeginMenuBar(); ImGui::SameLine();"},
                                          {"a.cpp", 5, "  ui::Button(\"x\");"}};
  EXPECT_EQ(Matches(sample, rawWidget).size(), 3u);
}

// Static variables are process-wide state: only the few that cannot be owned by an object.
TEST(Conventions, OnlyTheListedStaticsHoldState) {
  const std::vector<std::string> allowed = {
      "src/app/manager.cpp",           "src/scene/shared_state.cpp",    "src/platform/message_sink.cpp",
      "src/scene/object_pool.cpp",     "src/platform/termination.cpp",  "src/effect/random_range.cpp",
  };
  // A static or thread-local declaration that is neither constant nor a function: what comes
  // before its initialiser holds no parenthesis.
  const std::regex variable(
      R"((^|[\s;{])(static|thread_local)\s+(?!constexpr\b|const\b|inline\b)[^=;{(]*[=;{])");
  std::vector<std::string> found;
  for (const SourceLine& line : Lines("src")) {
    if (!std::regex_search(line.text, variable)) continue;
    if (std::find(allowed.begin(), allowed.end(), line.file) != allowed.end()) continue;
    found.push_back(line.file + ":" + std::to_string(line.number) + ": " + line.text);
  }
  EXPECT_EQ(Joined(found), "");

  const std::vector<SourceLine> sample = {{"a.cpp", 1, "  static Pool pool;"},
                                          {"a.cpp", 2, "  thread_local std::mt19937 generator{1};"},
                                          {"a.cpp", 3, "  static int count = 0;"},
                                          {"a.h", 4, "  static ItemLog* Installed();"},
                                          {"a.h", 5, "  static constexpr float kTurn = 0.005f;"},
                                          {"a.h", 6, "  static const char* const kNames[] = {\"a\"};"},
                                          {"a.h", 7, "  return static_cast<int>(x);"}};
  EXPECT_EQ(Matches(sample, variable).size(), 3u);
}

// A test's files go in the folder the shared fixture makes and removes: no test leaves
// files behind or meets another's.
TEST(Conventions, TemporaryFilesOnlyThroughTheSharedFixture) {
  std::vector<std::string> found;
  for (const std::string& hit :
       Matches(Lines("tests"), std::regex(R"(temp_directory_path|mkstemp|mkdtemp|"/tmp\b)")))
    if (hit.rfind("tests/support/temp_folder.h:", 0) != 0) found.push_back(hit);
  EXPECT_EQ(Joined(found), "");
}

// Scene objects die one way: the registry reads the one flag CObject keeps.
TEST(Conventions, OneDeadFlagForEverySceneObject) {
  EXPECT_EQ(Matches(Lines("src"), std::regex(R"(\bbool\s+IsDeath\s*\()")).size(), 1u);
}

}  // namespace
