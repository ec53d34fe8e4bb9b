#pragma once
// The shared JSON reader, and the walk over a resource catalog's entries.

#include <nlohmann/json.hpp>

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

using Json = nlohmann::ordered_json;

class JsonTooDeep : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Parses a JSON document held in memory: the first value counts and what follows it is
// ignored. Text that does not parse throws the library's parse_error; a document nested
// deeper than any of the program's documents throws JsonTooDeep, before the depth can hurt.
Json ParseJson(std::string_view text);
// Reads a whole JSON file and parses it as ParseJson does. A file that cannot be opened gives
// null, silently.
Json LoadJson(const std::string& path);

// Where a resource's problem is told: in a message box at start, when the user waits for the
// program; on the notice line (and standard error) when a file changed while the preview plays.
enum class Telling { kBox, kNotice };
void TellProblem(Telling telling, const std::string& text);

// Problems met while reading one catalog, told to the user in one message at the end.
class CatalogProblems {
 public:
  explicit CatalogProblems(std::string path, Telling telling = Telling::kBox)
      : path_(std::move(path)), telling_(telling) {}
  ~CatalogProblems();  // tells the message, if there is anything to say
  CatalogProblems(const CatalogProblems&) = delete;
  CatalogProblems& operator=(const CatalogProblems&) = delete;

  void Entry(std::size_t index, const std::string& why);
  void File(const std::string& why);
  // The file as a whole could not be read (not JSON, the keyword not a list): no entry is known.
  bool FileFailed() const { return fileFailed_; }

 private:
  std::string path_;
  Telling telling_;
  std::vector<std::string> lines_;
  bool fileFailed_ = false;
};

// The entries of a catalog's keyword, in file order. A missing file or keyword is an empty
// catalog; a file that does not parse, or a keyword that is not a list, is reported and
// gives no entries.
std::vector<Json> CatalogEntries(const std::string& path, const std::string& keyword,
                                 CatalogProblems* problems);
// The same walk over a catalog's text held in memory.
std::vector<Json> ParseCatalogEntries(std::string_view text, const std::string& keyword,
                                      CatalogProblems* problems);
// A catalog read again while the program runs: its entries, or nothing when the file cannot be
// read as a whole (gone, not JSON, the keyword not a list), which is told to problems: the labels
// then stay as they were, rather than vanish in the middle of a save.
std::optional<std::vector<Json>> CatalogEntriesAgain(const std::string& path, const std::string& keyword,
                                                     CatalogProblems* problems);
