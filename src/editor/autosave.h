#pragma once
// Autosaves of the document being edited: while it has unsaved changes it is written, whole and
// atomically, 5 seconds after the last change and at least every 30 seconds, to a folder of the
// program's own, one file per document (untitled ones too), never over the user's file.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "effectfile/editor_document.h"
#include "platform/clock.h"

class Autosave {
 public:
  static constexpr std::uint32_t kQuietMs = 5000;
  static constexpr std::uint32_t kPeriodMs = 30000;

  // $XDG_STATE_HOME/particle-editor, else ~/.local/state/particle-editor; empty when neither
  // variable names a folder.
  static std::string DefaultFolder();

  Autosave(std::string folder, platform::Clock& clock);

  // Where the autosave of the document goes (an empty path is the untitled document).
  std::string PathFor(const std::string& documentPath) const;

  // Once a frame, with the id of the document's state and whether it differs from what is on
  // disk. True when this frame made the document's autosave. make() is called only then.
  template <class MakeDocument>
  bool Update(std::uint64_t stateId, bool unsaved, const std::string& documentPath, MakeDocument make) {
    if (!Due(stateId, unsaved)) return false;
    return Write(make(), stateId, documentPath);
  }
  // Writes now (an ending run with unsaved changes). False, having told the user, on failure.
  bool Write(const EditorDocument& document, std::uint64_t stateId, const std::string& documentPath);
  // A saved document, a clean quit, a discarded recovery: the autosave goes.
  void Remove(const std::string& documentPath);

  struct Recovery {
    std::string path;
    std::string time;  // when it was written, local time, "2026-12-08 11:30:05"
  };
  // An autosave newer than its document (any, for the untitled document or a document gone).
  std::optional<Recovery> Find(const std::string& documentPath) const;

  const std::string& Folder() const { return folder_; }

 private:
  bool Due(std::uint64_t stateId, bool unsaved);

  std::string folder_;
  platform::Clock& clock_;
  std::uint64_t seenId_ = 0;
  std::uint64_t writtenId_ = 0;
  std::uint32_t lastChangeMs_ = 0;
  std::uint32_t lastWriteMs_ = 0;
};
