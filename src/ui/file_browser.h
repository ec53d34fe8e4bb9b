#pragma once
// A file chooser for "Open..." and "Save As..." drawn with the interface library in the
// current context: a modal window over everything else, so the keys go to it alone.
//
// Keys: Up/Down move the highlight, Enter enters the highlighted folder or accepts the
// highlighted file, Backspace goes to the parent folder (unless a text field is being typed
// into), Escape cancels (always). Enter in the path field goes to the folder typed or accepts
// the file typed; Enter in the file name field (Save) accepts it. A click highlights, a
// double-click enters or accepts.
//
// Every row, field and button is logged in the item log (ui/item_log.h) under what it shows:
// "..", folders as "name/", files as "name", "Path", "File name", "Open" or "Save", "Cancel",
// and "##problem" (shown: the message of the problems line, empty when there is none).

#include <imgui.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace ui {

class FileBrowser {
 public:
  enum class Mode { Open, Save };

  FileBrowser() = default;
  // Closes its window, when still open, in the context current then.
  ~FileBrowser();
  FileBrowser(const FileBrowser&) = delete;
  FileBrowser& operator=(const FileBrowser&) = delete;

  // Opens the browser in the folder (the current folder when empty; the nearest readable one
  // above it, with the reason on the problems line, when it cannot be read), listing folders
  // and the files whose names end with one of the suffixes (all files when none). Save mode
  // proposes fileName, and a name saved without one of the suffixes gets the first.
  void Open(Mode mode, std::string title, std::string folder, std::vector<std::string> suffixes,
            std::string fileName = "");
  bool IsOpen() const { return open_; }
  // Draws it once a frame while open (nothing otherwise). Returns the chosen absolute path
  // once, the frame the user accepts; closes itself on accept or cancel.
  std::optional<std::string> Draw();
  void Close();

  // The folder shown, absolute: where to open next time.
  std::string Folder() const { return folder_.string(); }

 private:
  struct Entry {
    enum class Kind { Parent, Folder, File } kind;
    std::string name;   // the bytes of the name on disk
    std::string label;  // what the row shows: valid UTF-8, folders with a trailing "/"
  };
  // What the user asked for this frame, carried out once the list is drawn.
  struct Request {
    enum class Kind { None, Activate, Up, TypedPath, SaveName, Confirm, Cancel } kind = Kind::None;
    int index = -1;  // the row, for Activate
  };

  // Lists the folder; false, with the reason on the problems line, when it cannot be read.
  bool GoTo(const std::filesystem::path& folder);
  void GoUp();
  void Activate(int index);
  void OpenTypedPath();
  void AcceptSaveName();
  void Confirm();
  // Takes the path as the choice, enters it when it is a folder, or says why not.
  void Accept(std::filesystem::path path);
  void DrawList(Request& request);
  void HandleKeys(bool typing, Request& request);
  void Carry(const Request& request);
  void SetProblem(const std::string& problem);
  static int SelectStem(ImGuiInputTextCallbackData* data);

  Mode mode_ = Mode::Open;
  std::string title_;
  std::vector<std::string> suffixes_;
  std::string proposedName_;
  bool open_ = false;
  bool openPending_ = false;   // the window opens in the next Draw, at the caller's place
  ImGuiID popupId_ = 0;        // the library's id of the window while it is open
  std::filesystem::path folder_;
  std::vector<Entry> entries_;
  int highlight_ = -1;
  bool scrollToHighlight_ = false;
  std::string pathText_;
  std::string nameText_;
  bool selectStem_ = false;  // the name field selects the name without its suffix when focused
  bool focusName_ = false;
  bool typing_ = false;      // a text field was being typed into last frame
  std::string problem_;
  std::optional<std::string> chosen_;
};

}  // namespace ui
