#include "editor/recent_files.h"

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "effectfile/document_file.h"

namespace fs = std::filesystem;

namespace {

// Absolute and lexically normal, so that two spellings of one path are one entry.
std::string Normal(const std::string& path) {
  std::error_code error;
  fs::path absolute = fs::absolute(path, error);
  if (error) absolute = path;
  fs::path normal = absolute.lexically_normal();
  if (!normal.has_filename() && normal.has_relative_path()) normal = normal.parent_path();
  return normal.string();
}

// A line that can only be an entry the list itself wrote.
bool Acceptable(std::string_view line) {
  return !line.empty() && line.size() <= RecentFiles::kMaxPathBytes && line.front() == '/' &&
         line.find('\0') == std::string_view::npos;
}

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

}  // namespace

RecentFiles::RecentFiles(std::string file) : file_(std::move(file)) {
  if (file_.empty()) return;
  std::optional<std::string> bytes;
  try {
    bytes = ReadDocumentFile(file_);
  } catch (const std::exception&) {
    return;  // a list that cannot be read is an empty one: nothing the user did depends on it
  }
  if (!bytes) return;
  std::string_view rest = *bytes;
  while (!rest.empty() && entries_.size() < kLimit) {
    const std::size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!Acceptable(line)) continue;
    const std::string path = Normal(std::string(line));
    if (std::find(entries_.begin(), entries_.end(), path) == entries_.end()) entries_.push_back(path);
  }
}

std::string RecentFiles::DefaultPath() {
  const std::string config = Variable("XDG_CONFIG_HOME");
  if (!config.empty() && config.front() == '/')
    return (fs::path(config) / "particle-editor" / "recent").string();
  const std::string home = Variable("HOME");
  if (home.empty()) return "";
  return (fs::path(home) / ".config" / "particle-editor" / "recent").string();
}

RecentFiles::WriteError RecentFiles::Add(const std::string& document) {
  if (document.empty()) return "An empty path cannot be kept among the recent documents.";
  const std::string path = Normal(document);
  if (path.find_first_of("\r\n") != std::string::npos || path.size() > kMaxPathBytes)
    return path + " cannot be kept among the recent documents: its name would not read back.";
  std::erase(entries_, path);
  entries_.insert(entries_.begin(), path);
  if (entries_.size() > kLimit) entries_.resize(kLimit);
  return Write();
}

RecentFiles::WriteError RecentFiles::Remove(const std::string& document) {
  if (std::erase(entries_, Normal(document)) == 0) return std::nullopt;
  return Write();
}

RecentFiles::WriteError RecentFiles::Write() const {
  if (file_.empty())
    return std::string("The recent documents cannot be kept: neither XDG_CONFIG_HOME nor HOME is set.");
  std::error_code error;
  const fs::path folder = fs::path(file_).parent_path();
  if (!folder.empty()) fs::create_directories(folder, error);
  if (error)
    return "The recent documents cannot be kept in " + folder.string() + ": " + error.message() + ".";
  std::string bytes;
  for (const std::string& entry : entries_) bytes += entry + '\n';
  std::string reason;
  if (!WriteFileAtomically(file_, bytes, &reason))
    return "The recent documents cannot be kept: " + reason + ".";
  return std::nullopt;
}
