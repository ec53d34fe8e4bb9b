#pragma once
// The shared JSON reader, and the walk over a resource catalog's entries.

#include <nlohmann/json.hpp>

#include <stdexcept>
#include <string>
#include <vector>

using Json = nlohmann::ordered_json;

class JsonTooDeep : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads a whole JSON file. A file that cannot be opened gives null, silently. A file that
// does not parse throws the library's parse_error; one nested deeper than any of the
// program's documents throws too, before the depth can hurt.
Json LoadJson(const std::string& path);

// The same reading of a document already in memory.
Json ParseJson(const std::string& text);

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
std::vector<Json> CatalogEntries(const std::string& path, const std::string& keyword, CatalogProblems* problems);
