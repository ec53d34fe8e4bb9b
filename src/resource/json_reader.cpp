#include "resource/json_reader.h"

#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>

#include "platform/message_sink.h"

namespace {
// Deeper than every catalog and document the program writes, shallow enough to copy safely.
constexpr int kMaxDepth = 64;
}  // namespace

namespace {

// Walks a document only to measure its nesting, so a hostile one is refused before a value
// is built from it (copying or printing a deeply nested value overflows the stack).
class DepthLimit : public nlohmann::json_sax<Json> {
 public:
  bool null() override { return true; }
  bool boolean(bool) override { return true; }
  bool number_integer(number_integer_t) override { return true; }
  bool number_unsigned(number_unsigned_t) override { return true; }
  bool number_float(number_float_t, const string_t&) override { return true; }
  bool string(string_t&) override { return true; }
  bool binary(binary_t&) override { return true; }
  bool start_object(std::size_t) override { return Enter(); }
  bool key(string_t&) override { return true; }
  bool end_object() override { return Leave(); }
  bool start_array(std::size_t) override { return Enter(); }
  bool end_array() override { return Leave(); }
  // A syntax error is raised, with the library's own message, by the reading that follows.
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
    return false;
  }
  bool TooDeep() const { return tooDeep_; }

 private:
  bool Enter() {
    tooDeep_ = ++depth_ > kMaxDepth;
    return !tooDeep_;
  }
  bool Leave() {
    --depth_;
    return true;
  }
  int depth_ = 0;
  bool tooDeep_ = false;
};

std::optional<std::string> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

Json ParseJson(std::string_view text) {
  // Like the library's stream extraction, the first value counts and what follows is ignored.
  DepthLimit depth;
  Json::sax_parse(text, &depth, nlohmann::detail::input_format_t::json, /*strict=*/false);
  if (depth.TooDeep()) throw JsonTooDeep("JSON nested deeper than " + std::to_string(kMaxDepth) + " levels");
  std::istringstream stream{std::string(text)};
  Json document;
  stream >> document;
  return document;
}

Json LoadJson(const std::string& path) {
  const auto text = ReadWholeFile(path);
  return text ? ParseJson(*text) : Json();
}

void TellProblem(Telling telling, const std::string& text) {
  if (telling == Telling::kNotice) {
    platform::ReportNotice(text);
  } else {
    platform::ShowMessage(platform::kWarningCaption, text);
  }
}

CatalogProblems::~CatalogProblems() {
  if (lines_.empty()) return;
  std::string text = path_ + ": skipped what could not be read:";
  for (const auto& line : lines_) text += "\n- " + line;
  TellProblem(telling_, text);
}

void CatalogProblems::Entry(std::size_t index, const std::string& why) {
  lines_.push_back("entry " + std::to_string(index) + ": " + why);
}

void CatalogProblems::File(const std::string& why) {
  lines_.push_back(why);
  fileFailed_ = true;
}

namespace {

std::vector<Json> EntriesOf(const Json& document, const std::string& keyword, CatalogProblems* problems) {
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

}  // namespace

std::vector<Json> CatalogEntries(const std::string& path, const std::string& keyword,
                                 CatalogProblems* problems) {
  const auto text = ReadWholeFile(path);
  return text ? ParseCatalogEntries(*text, keyword, problems) : std::vector<Json>{};
}

std::vector<Json> ParseCatalogEntries(std::string_view text, const std::string& keyword,
                                      CatalogProblems* problems) {
  Json document;
  try {
    document = ParseJson(text);
  } catch (const std::exception& e) {
    problems->File(std::string("the file is not valid JSON (") + e.what() + ")");
    return {};
  }
  return EntriesOf(document, keyword, problems);
}

std::optional<std::vector<Json>> CatalogEntriesAgain(const std::string& path, const std::string& keyword,
                                                     CatalogProblems* problems) {
  const auto text = ReadWholeFile(path);
  if (!text) {
    problems->File("the file cannot be read; its labels stay as they were");
    return std::nullopt;
  }
  std::vector<Json> entries = ParseCatalogEntries(*text, keyword, problems);
  if (problems->FileFailed()) {
    problems->File("its labels stay as they were");
    return std::nullopt;
  }
  return entries;
}
