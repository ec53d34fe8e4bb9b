#include "resource/json_reader.h"

#include <fstream>

#include "platform/message_sink.h"

namespace {
// Deeper than every catalog and document the program writes, shallow enough to copy safely.
constexpr int kMaxDepth = 64;
}  // namespace

Json LoadJson(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return Json();
  const Json::parser_callback_t limitDepth = [](int depth, Json::parse_event_t event, Json&) {
    if ((event == Json::parse_event_t::object_start || event == Json::parse_event_t::array_start) &&
        depth >= kMaxDepth)
      throw JsonTooDeep("JSON nested deeper than " + std::to_string(kMaxDepth) + " levels");
    return true;
  };
  return Json::parse(in, limitDepth);
}

CatalogProblems::~CatalogProblems() {
  if (lines_.empty()) return;
  std::string text = path_ + ": skipped what could not be read:";
  for (const auto& line : lines_) text += "\n- " + line;
  platform::ShowMessage("警告！", text);
}

void CatalogProblems::Entry(std::size_t index, const std::string& why) {
  lines_.push_back("entry " + std::to_string(index) + ": " + why);
}

void CatalogProblems::File(const std::string& why) { lines_.push_back(why); }

std::vector<Json> CatalogEntries(const std::string& path, const std::string& keyword, CatalogProblems* problems) {
  Json document;
  try {
    document = LoadJson(path);
  } catch (const std::exception& e) {
    problems->File(std::string("the file is not valid JSON (") + e.what() + ")");
    return {};
  }
  if (document.is_null()) return {};
  if (!document.is_object()) {
    problems->File("the file does not hold a JSON object");
    return {};
  }
  const auto found = document.find(keyword);
  if (found == document.end() || found->is_null()) return {};
  if (!found->is_array()) {
    problems->File("\"" + keyword + "\" is not a list");
    return {};
  }
  return std::vector<Json>(found->begin(), found->end());
}
