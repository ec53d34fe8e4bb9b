#include "editor/autosave.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/message_sink.h"

namespace {

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

// The same document always gets the same file; two documents of the same name in different
// folders get different ones.
std::string PathHash(const std::string& path) {
  std::uint32_t hash = 2166136261u;
  for (const unsigned char c : path) hash = (hash ^ c) * 16777619u;
  char text[9];
  std::snprintf(text, sizeof text, "%08x", hash);
  return text;
}

std::string LocalTime(std::filesystem::file_time_type time) {
  const auto system = std::chrono::file_clock::to_sys(time);
  const std::time_t seconds = std::chrono::system_clock::to_time_t(
      std::chrono::time_point_cast<std::chrono::system_clock::duration>(system));
  std::tm local{};
  localtime_r(&seconds, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

}  // namespace

std::string Autosave::DefaultFolder() {
  if (const std::string state = Variable("XDG_STATE_HOME"); !state.empty()) return state + "/particle-editor";
  if (const std::string home = Variable("HOME"); !home.empty()) return home + "/.local/state/particle-editor";
  return {};
}

Autosave::Autosave(std::string folder, platform::Clock& clock)
    : folder_(std::move(folder)), clock_(clock), lastChangeMs_(clock.NowMs()), lastWriteMs_(lastChangeMs_) {}

std::string Autosave::PathFor(const std::string& documentPath) const {
  if (documentPath.empty()) return folder_ + "/untitled.effects.json";
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(documentPath, error).lexically_normal();
  std::string stem = absolute.filename().string();
  if (stem.ends_with(kEditorDocumentSuffix)) stem.resize(stem.size() - kEditorDocumentSuffix.size());
  return folder_ + "/" + stem + "-" + PathHash(absolute.string()) + std::string(kEditorDocumentSuffix);
}

bool Autosave::Due(std::uint64_t stateId, bool unsaved) {
  const std::uint32_t now = clock_.NowMs();
  if (stateId != seenId_) {
    seenId_ = stateId;
    lastChangeMs_ = now;
  }
  // The period runs from the last moment the autosave was up to date.
  if (!unsaved || stateId == writtenId_ || folder_.empty()) {
    lastWriteMs_ = now;
    return false;
  }
  return now - lastChangeMs_ >= kQuietMs || now - lastWriteMs_ >= kPeriodMs;
}

bool Autosave::Write(const EditorDocument& document, std::uint64_t stateId, const std::string& documentPath) {
  lastWriteMs_ = clock_.NowMs();
  writtenId_ = stateId;
  std::error_code ignored;
  std::filesystem::create_directories(folder_, ignored);
  std::string error;
  if (SaveEditorDocument(document, PathFor(documentPath), &error)) return true;
  platform::ReportNotice("The autosave failed: " + error);
  return false;
}

void Autosave::Remove(const std::string& documentPath) {
  if (folder_.empty()) return;
  std::error_code ignored;
  std::filesystem::remove(PathFor(documentPath), ignored);
  writtenId_ = 0;
}

std::optional<Autosave::Recovery> Autosave::Find(const std::string& documentPath) const {
  if (folder_.empty()) return std::nullopt;
  const std::string path = PathFor(documentPath);
  std::error_code error;
  const auto saved = std::filesystem::last_write_time(path, error);
  if (error) return std::nullopt;
  if (!documentPath.empty()) {
    const auto document = std::filesystem::last_write_time(documentPath, error);
    if (!error && document >= saved) return std::nullopt;
  }
  return Recovery{path, LocalTime(saved)};
}
