#include "ui/file_browser.h"

#include <imgui_internal.h>
#include <imgui_stdlib.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string_view>
#include <system_error>
#include <utility>

#include "platform/utf8.h"
#include "ui/item_log.h"

namespace fs = std::filesystem;

namespace ui {

namespace {

const ImVec4 kProblemColour(1.0f, 0.75f, 0.3f, 1.0f);

// Names on disk are bytes; the library draws UTF-8, so a byte that is not part of a valid
// sequence shows as the replacement character.
std::string Displayable(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  while (!bytes.empty()) {
    const std::size_t length = Utf8CharacterLength(bytes, 0);
    if (length == 0) {
      text += "\xEF\xBF\xBD";
      bytes.remove_prefix(1);
    } else {
      text.append(bytes.substr(0, length));
      bytes.remove_prefix(length);
    }
  }
  return text;
}

// Absolute and lexically normal, without a trailing separator, so that paths compare and
// their parents are what a user expects.
fs::path Normal(const fs::path& path) {
  std::error_code error;
  fs::path absolute = fs::absolute(path, error);
  if (error) absolute = path;
  fs::path normal = absolute.lexically_normal();
  if (!normal.has_filename() && normal.has_relative_path()) normal = normal.parent_path();
  return normal;
}

// "~" and "~/..." as a shell reads them.
std::string ExpandHome(const std::string& text) {
  if (text != "~" && text.rfind("~/", 0) != 0) return text;
  const char* home = std::getenv("HOME");
  return home && *home ? home + text.substr(1) : text;
}

bool EndsWithAny(std::string_view name, const std::vector<std::string>& suffixes) {
  if (suffixes.empty()) return true;
  return std::any_of(suffixes.begin(), suffixes.end(), [&](const std::string& suffix) {
    return name.size() >= suffix.size() && name.substr(name.size() - suffix.size()) == suffix;
  });
}

// Letters compare without their case, so that "b" sorts between "A" and "C"; names that
// differ only in case keep a fixed order.
bool NameLess(const std::string& a, const std::string& b) {
  const auto lower = [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); };
  const auto mismatch = std::mismatch(a.begin(), a.end(), b.begin(), b.end(),
                                      [&](char x, char y) { return lower(x) == lower(y); });
  if (mismatch.first == a.end() || mismatch.second == b.end())
    return a.size() != b.size() ? a.size() < b.size() : a < b;
  return static_cast<unsigned char>(lower(*mismatch.first)) <
         static_cast<unsigned char>(lower(*mismatch.second));
}

bool KeyPressed(ImGuiKey key, bool repeat) { return ImGui::IsKeyPressed(ImGui::GetKeyIndex(key), repeat); }

// A one-line field with its label to the right, logged by its frame (where a click lands)
// with its text. True on Enter; *active tells whether it is being typed into.
bool TextField(const char* label, std::string* text, ImGuiInputTextFlags flags,
               ImGuiInputTextCallback callback, void* data, bool* active) {
  const float labelRoom = ImGui::CalcTextSize("File name").x + ImGui::GetStyle().ItemInnerSpacing.x;
  ImGui::SetNextItemWidth(-labelRoom);
  const ImVec2 at = ImGui::GetCursorScreenPos();
  const float width = ImGui::CalcItemWidth();
  const bool enter =
      ImGui::InputText(label, text, flags | ImGuiInputTextFlags_EnterReturnsTrue, callback, data);
  *active = ImGui::IsItemActive();
  if (ItemLog* log = ItemLog::Installed())
    log->Add({ImGui::GetCurrentWindowRead()->Name, label, at,
              ImVec2(at.x + width, at.y + ImGui::GetFrameHeight()), "InputText", Displayable(*text)});
  return enter;
}

}  // namespace

// ---- opening and closing -----------------------------------------------------------------------

FileBrowser::~FileBrowser() { Close(); }

void FileBrowser::Open(Mode mode, std::string title, std::string folder, std::vector<std::string> suffixes,
                       std::string fileName) {
  Close();
  mode_ = mode;
  title_ = title.empty() ? (mode == Mode::Open ? "Open" : "Save As") : std::move(title);
  suffixes_ = std::move(suffixes);
  proposedName_ = nameText_ = std::move(fileName);
  open_ = openPending_ = true;
  selectStem_ = focusName_ = mode == Mode::Save;
  typing_ = false;
  chosen_.reset();
  problem_.clear();
  folder_.clear();
  entries_.clear();

  std::error_code error;
  fs::path start = folder.empty() ? fs::current_path(error) : fs::path(ExpandHome(folder));
  if (start.empty()) start = "/";
  start = Normal(start);
  // A folder that went away since it was last used still opens the browser, nearby.
  std::string reason;
  for (fs::path at = start;; at = at.parent_path()) {
    if (GoTo(at)) break;
    if (reason.empty()) reason = problem_;
    if (at == at.parent_path()) {
      folder_ = start;
      pathText_ = start.string();
      break;
    }
  }
  problem_ = reason;
}

void FileBrowser::Close() {
  open_ = openPending_ = false;
  if (popupId_ == 0 || !ImGui::GetCurrentContext()) return;
  // Closed from outside its Draw, the window must still leave the library's popup stack: a
  // popup stays open until closed, and left there it would count as the topmost modal window.
  const ImVector<ImGuiPopupData>& stack = ImGui::GetCurrentContext()->OpenPopupStack;
  for (int level = 0; level < stack.Size; ++level)
    if (stack[level].PopupId == popupId_) {
      ImGui::ClosePopupToLevel(level, true);
      break;
    }
  popupId_ = 0;
}

// ---- the frame ---------------------------------------------------------------------------------

std::optional<std::string> FileBrowser::Draw() {
  if (!open_) return std::nullopt;
  if (std::exchange(openPending_, false)) {
    popupId_ = ImGui::GetID(title_.c_str());
    ImGui::OpenPopup(title_.c_str());
  }
  const ImGuiViewport* screen = ImGui::GetMainViewport();
  ImGui::SetNextWindowPos(screen->GetCenter(), ImGuiCond_Appearing, ImVec2(0.5f, 0.5f));
  ImGui::SetNextWindowSize(
      ImVec2(std::min(560.0f, screen->Size.x - 20.0f), std::min(480.0f, screen->Size.y - 20.0f)),
      ImGuiCond_Appearing);
  if (!ImGui::BeginPopupModal(title_.c_str(), nullptr, ImGuiWindowFlags_NoSavedSettings)) {
    open_ = false;  // closed by someone else
    popupId_ = 0;
    return std::nullopt;
  }
  if (ItemLog* log = ItemLog::Installed()) {
    const ImVec2 at = ImGui::GetWindowPos(), size = ImGui::GetWindowSize();
    const char* name = ImGui::GetCurrentWindowRead()->Name;
    log->Add({name, name, at, ImVec2(at.x + size.x, at.y + size.y), "Window"});
  }

  Request request;
  bool pathActive = false, nameActive = false;
  if (TextField("Path", &pathText_, ImGuiInputTextFlags_None, nullptr, nullptr, &pathActive))
    request.kind = Request::Kind::TypedPath;

  DrawList(request);

  if (mode_ == Mode::Save) {
    if (std::exchange(focusName_, false)) ImGui::SetKeyboardFocusHere();
    if (TextField("File name", &nameText_, ImGuiInputTextFlags_CallbackAlways, SelectStem, this, &nameActive))
      request.kind = Request::Kind::SaveName;
  }

  if (problem_.empty()) {
    ImGui::TextUnformatted("");
  } else {
    ImGui::PushStyleColor(ImGuiCol_Text, kProblemColour);
    ImGui::TextUnformatted(problem_.c_str());
    ImGui::PopStyleColor();
  }
  LogLastItem("##problem", "Text", problem_);

  const char* confirm = mode_ == Mode::Open ? "Open" : "Save";
  if (ImGui::Button(confirm)) request.kind = Request::Kind::Confirm;
  LogLastItem(confirm, "Button");
  ImGui::SameLine();
  if (ImGui::Button("Cancel")) request.kind = Request::Kind::Cancel;
  LogLastItem("Cancel", "Button");

  // A key that a text field took this frame or the last (its Enter, its Backspace) is the
  // field's, not the list's.
  const bool typing = pathActive || nameActive;
  HandleKeys(typing || typing_, request);
  typing_ = typing;

  Carry(request);
  if (chosen_ || request.kind == Request::Kind::Cancel) {
    ImGui::CloseCurrentPopup();
    open_ = false;
    popupId_ = 0;
  }
  ImGui::EndPopup();
  return std::exchange(chosen_, std::nullopt);
}

void FileBrowser::DrawList(Request& request) {
  const float footer = ImGui::GetFrameHeightWithSpacing() * (mode_ == Mode::Save ? 2.0f : 1.0f) +
                       ImGui::GetTextLineHeightWithSpacing();
  ImGui::BeginChild("##entries", ImVec2(0.0f, -footer), true);
  const ImU32 textColour = ImGui::GetColorU32(ImGuiCol_Text);
  ImGuiListClipper clipper;
  clipper.Begin(static_cast<int>(entries_.size()));
  const bool scroll = std::exchange(scrollToHighlight_, false) && highlight_ >= 0;
  if (scroll) clipper.ForceDisplayRangeByIndices(highlight_, highlight_ + 1);
  while (clipper.Step()) {
    for (int i = clipper.DisplayStart; i < clipper.DisplayEnd; ++i) {
      const Entry& entry = entries_[i];
      ImGui::PushID(i);
      // The label is drawn apart: a name may hold "##", which the library would read as an id.
      const ImVec2 at = ImGui::GetCursorScreenPos();
      const bool clicked =
          ImGui::Selectable("##entry", i == highlight_,
                            ImGuiSelectableFlags_AllowDoubleClick | ImGuiSelectableFlags_DontClosePopups);
      ImGui::GetWindowDrawList()->AddText(at, textColour, entry.label.c_str());
      LogLastItem(entry.label, "Selectable");
      if (clicked) {
        highlight_ = i;
        if (ImGui::IsMouseDoubleClicked(ImGuiMouseButton_Left)) {
          request = {Request::Kind::Activate, i};
        } else if (mode_ == Mode::Save && entry.kind == Entry::Kind::File) {
          nameText_ = entry.name;
        }
      }
      if (scroll && i == highlight_) {
        const ImRect view = ImGui::GetCurrentWindowRead()->ClipRect;
        if (ImGui::GetItemRectMin().y < view.Min.y) ImGui::SetScrollHereY(0.0f);
        if (ImGui::GetItemRectMax().y > view.Max.y) ImGui::SetScrollHereY(1.0f);
      }
      ImGui::PopID();
    }
  }
  ImGui::EndChild();
}

void FileBrowser::HandleKeys(bool typing, Request& request) {
  if (KeyPressed(ImGuiKey_Escape, false)) {
    request.kind = Request::Kind::Cancel;
    return;
  }
  if (typing || request.kind != Request::Kind::None) return;
  const int count = static_cast<int>(entries_.size());
  if (KeyPressed(ImGuiKey_DownArrow, true) && count > 0) {
    highlight_ = std::min(highlight_ + 1, count - 1);
    scrollToHighlight_ = true;
  } else if (KeyPressed(ImGuiKey_UpArrow, true) && count > 0) {
    highlight_ = std::max(highlight_ - 1, 0);
    scrollToHighlight_ = true;
  } else if (KeyPressed(ImGuiKey_Enter, false) || KeyPressed(ImGuiKey_KeyPadEnter, false)) {
    if (highlight_ >= 0) request = {Request::Kind::Activate, highlight_};
  } else if (KeyPressed(ImGuiKey_Backspace, false)) {
    request.kind = Request::Kind::Up;
  }
}

void FileBrowser::Carry(const Request& request) {
  switch (request.kind) {
    case Request::Kind::Activate: Activate(request.index); break;
    case Request::Kind::Up: GoUp(); break;
    case Request::Kind::TypedPath: OpenTypedPath(); break;
    case Request::Kind::SaveName: AcceptSaveName(); break;
    case Request::Kind::Confirm: Confirm(); break;
    case Request::Kind::None:
    case Request::Kind::Cancel: break;
  }
}

// The name proposed for a save is ready to be typed over, its suffix kept.
int FileBrowser::SelectStem(ImGuiInputTextCallbackData* data) {
  auto* browser = static_cast<FileBrowser*>(data->UserData);
  if (!std::exchange(browser->selectStem_, false)) return 0;
  const std::string_view text(data->Buf, static_cast<std::size_t>(data->BufTextLen));
  // The suffix the browser lists by ("NAME.effects.json" keeps ".effects.json"), else the
  // last extension.
  std::size_t dot = text.rfind('.');
  for (const std::string& suffix : browser->suffixes_)
    if (text.size() > suffix.size() && text.ends_with(suffix)) dot = text.size() - suffix.size();
  const int end = dot == std::string_view::npos || dot == 0 ? data->BufTextLen : static_cast<int>(dot);
  data->SelectionStart = 0;
  data->SelectionEnd = data->CursorPos = end;
  return 0;
}

// ---- moving and choosing -------------------------------------------------------------------------

bool FileBrowser::GoTo(const fs::path& folder) {
  std::error_code error;
  std::vector<Entry> folders, files;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    std::string name = it->path().filename().string();
    if (name.empty() || name.front() == '.') continue;  // hidden
    std::error_code typeError;
    if (it->is_directory(typeError)) {
      folders.push_back({Entry::Kind::Folder, name, Displayable(name) + "/"});
    } else if (it->is_regular_file(typeError) && EndsWithAny(name, suffixes_)) {
      files.push_back({Entry::Kind::File, name, Displayable(name)});
    }
  }
  if (error) {
    SetProblem("Cannot read the folder " + folder.string() + ": " + error.message() + ".");
    return false;
  }
  const auto byName = [](const Entry& a, const Entry& b) { return NameLess(a.name, b.name); };
  std::sort(folders.begin(), folders.end(), byName);
  std::sort(files.begin(), files.end(), byName);

  entries_.clear();
  if (folder.has_relative_path()) entries_.push_back({Entry::Kind::Parent, "..", ".."});
  std::move(folders.begin(), folders.end(), std::back_inserter(entries_));
  std::move(files.begin(), files.end(), std::back_inserter(entries_));
  folder_ = folder;
  pathText_ = folder.string();
  highlight_ = -1;
  // A press that began on a row of the folder left must not end as a click on the new one.
  if (ImGui::GetCurrentContext()) ImGui::ClearActiveID();
  problem_.clear();
  return true;
}

void FileBrowser::GoUp() {
  if (!folder_.has_relative_path()) return;
  const std::string child = folder_.filename().string();
  if (!GoTo(folder_.parent_path())) return;
  // The folder just left stays highlighted, so that Enter goes back into it.
  for (int i = 0; i < static_cast<int>(entries_.size()); ++i)
    if (entries_[i].kind == Entry::Kind::Folder && entries_[i].name == child) {
      highlight_ = i;
      scrollToHighlight_ = true;
    }
}

void FileBrowser::Activate(int index) {
  if (index < 0 || index >= static_cast<int>(entries_.size())) return;
  const Entry& entry = entries_[index];
  switch (entry.kind) {
    case Entry::Kind::Parent: GoUp(); break;
    case Entry::Kind::Folder: GoTo(folder_ / entry.name); break;
    case Entry::Kind::File: Accept(folder_ / entry.name); break;
  }
}

void FileBrowser::OpenTypedPath() {
  if (pathText_.empty()) return;
  Accept(Normal(folder_ / ExpandHome(pathText_)));
}

void FileBrowser::AcceptSaveName() {
  if (nameText_.empty()) {
    SetProblem("Type a file name.");
    return;
  }
  Accept(Normal(folder_ / ExpandHome(nameText_)));
}

void FileBrowser::Confirm() {
  if (mode_ == Mode::Save) {
    AcceptSaveName();
  } else if (highlight_ >= 0) {
    Activate(highlight_);
  } else {
    SetProblem("Choose a file.");
  }
}

void FileBrowser::Accept(fs::path path) {
  std::error_code error;
  fs::file_status status = fs::status(path, error);
  if (fs::is_directory(status)) {
    if (GoTo(path) && mode_ == Mode::Save) nameText_ = proposedName_;
    return;
  }
  if (mode_ == Mode::Save && !suffixes_.empty() && !EndsWithAny(path.filename().string(), suffixes_)) {
    path += suffixes_.front();
    status = fs::status(path, error);
  }
  if (fs::is_regular_file(status)) {
    chosen_ = path.string();
    return;
  }
  if (status.type() != fs::file_type::not_found) {
    SetProblem(status.type() == fs::file_type::none ? path.string() + ": " + error.message() + "."
                                                    : path.string() + " is not a file.");
    return;
  }
  if (mode_ == Mode::Open) {
    SetProblem(path.string() + " does not exist.");
    return;
  }
  // A new file: its folder must be there.
  if (!fs::is_directory(path.parent_path(), error)) {
    SetProblem("The folder " + path.parent_path().string() + " does not exist.");
    return;
  }
  chosen_ = path.string();
}

void FileBrowser::SetProblem(const std::string& problem) { problem_ = Displayable(problem); }

}  // namespace ui
