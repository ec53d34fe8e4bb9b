#pragma once
// The shared JSON reader, and the walk over a resource catalog's entries.

#include <nlohmann/json.hpp>

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

// Problems met while reading one catalog, told to the user in one message at the end.
class CatalogProblems {
 public:
  explicit CatalogProblems(std::string path) : path_(std::move(path)) {}
  ~CatalogProblems();  // shows the message, if there is anything to say
  CatalogProblems(const CatalogProblems&) = delete;
  CatalogProblems& operator=(const CatalogProblems&) = delete;

  void Entry(std::size_t index, const std::string& why);
  void File(const std::string& why);

 private:
  std::string path_;
  std::vector<std::string> lines_;
};

// The entries of a catalog's keyword, in file order. A missing file or keyword is an empty
// catalog; a file that does not parse, or a keyword that is not a list, is reported and
// gives no entries.
std::vector<Json> CatalogEntries(const std::string& path, const std::string& keyword,
                                 CatalogProblems* problems);
// The same walk over a catalog's text held in memory.
std::vector<Json> ParseCatalogEntries(std::string_view text, const std::string& keyword,
                                      CatalogProblems* problems);
