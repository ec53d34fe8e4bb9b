// What the editor asks before work could be lost (Save / Don't Save / Cancel), the offer of an
// autosave at start (Recover / Discard), and the file browser of Open and Save As.

#include <imgui.h>

#include <filesystem>

#include "editor/editor.h"
#include "platform/interface/interface_backend.h"
#include "platform/message_sink.h"
#include "ui/item_log.h"
#include "ui/ui_items.h"

namespace {

constexpr const char* kUnsavedTitle = "Unsaved Changes";
constexpr const char* kRecoveryTitle = "Recover Autosave";

// A question answered elsewhere (Escape) still has its popup open in the library: it closes
// the next time it is built.
void CloseIfOpen(const char* title) {
  if (!ImGui::IsPopupOpen(title) || !ImGui::BeginPopupModal(title)) return;
  ImGui::CloseCurrentPopup();
  ImGui::EndPopup();
}

}  // namespace

// ---- the document's lifecycle ------------------------------------------------------------------------

void CEditor::EnableAutosave(std::string folder, platform::Clock& clock) {
  autosave_ = std::make_unique<Autosave>(std::move(folder), clock);
}

void CEditor::OfferRecovery() {
  if (autosave_) recovery_ = autosave_->Find(documentPath_);
}

void CEditor::RequestQuit(platform::CloseRequest how) {
  if (how == platform::CloseRequest::Escape && (askingToSave_ || recovery_ || browser_.IsOpen())) {
    // Escape answers the question or browser on screen, not the program.
    if (askingToSave_) ui::FocusWindow(std::exchange(focusBeforeQuestion_, {}));
    askingToSave_ = false;
    recovery_.reset();
    browser_.Close();
    pendingAction_ = PendingAction::None;
    return;
  }
  AfterAskingToSave(PendingAction::Quit);
}

void CEditor::AfterAskingToSave(PendingAction action, std::string path) {
  pendingAction_ = action;
  pendingPath_ = std::move(path);
  // Automated runs never ask.
  if (autosave_) CommitPending();
  if (autosave_ && IsDirty()) {
    askingToSave_ = true;
    focusBeforeQuestion_ = ui::FocusedWindow();
  } else {
    RunPendingAction();
  }
}

void CEditor::RunPendingAction() {
  const PendingAction action = std::exchange(pendingAction_, PendingAction::None);
  switch (action) {
    case PendingAction::None:
      break;
    case PendingAction::Quit:
      // One more frame first, so that the last picture shows the windows, not the question.
      quitFrames_ = 2;
      break;
    case PendingAction::New:
      NewDocument();
      break;
    case PendingAction::Open:
      if (pendingPath_.empty()) {
        browsePurpose_ = BrowsePurpose::Open;
        browser_.Open(ui::FileBrowser::Mode::Open, "Open", BrowserFolder(), {".json", ".txt"});
      } else {
        OpenDocument(pendingPath_);
      }
      break;
  }
}

void CEditor::OpenSaveBrowser() {
  browsePurpose_ = BrowsePurpose::SaveAs;
  const std::string name = documentPath_.empty() ? "untitled" + std::string(kEditorDocumentSuffix)
                                                 : std::filesystem::path(documentPath_).filename().string();
  browser_.Open(ui::FileBrowser::Mode::Save, "Save As", BrowserFolder(), {std::string(kEditorDocumentSuffix)},
                name);
}

std::string CEditor::BrowserFolder() const {
  if (!documentPath_.empty()) return std::filesystem::path(documentPath_).parent_path().string();
  std::error_code error;
  if (std::filesystem::is_directory(kDataFolder, error)) return kDataFolder;
  return {};
}

void CEditor::SaveForRecovery() {
  if (!autosave_) return;
  CommitPending();
  if (IsDirty()) autosave_->Write(MakeDocument(), history_.Current().Id, documentPath_);
}

void CEditor::EndSession() {
  if (autosave_ && !IsDirty()) autosave_->Remove(documentPath_);
}

// ---- what is on screen ------------------------------------------------------------------------------

void CEditor::ShowDialogs() {
  if (browser_.IsOpen()) {
    if (const std::optional<std::string> chosen = browser_.Draw()) {
      if (browsePurpose_ == BrowsePurpose::Open) {
        OpenDroppedFile(*chosen);
      } else if (SaveDocumentAs(*chosen)) {
        // A save asked for by the unsaved-changes question goes on to what was asked.
        RunPendingAction();
      }
    } else if (!browser_.IsOpen()) {
      pendingAction_ = PendingAction::None;
    }
  }
  ShowUnsavedQuestion();
  ShowRecoveryOffer();
}

void CEditor::ShowUnsavedQuestion() {
  if (!askingToSave_) return CloseIfOpen(kUnsavedTitle);
  if (!ImGui::IsPopupOpen(kUnsavedTitle)) ImGui::OpenPopup(kUnsavedTitle);
  if (!ImGui::BeginPopupModal(kUnsavedTitle, nullptr, ImGuiWindowFlags_AlwaysAutoResize)) return;
  ui::LogLastItem(kUnsavedTitle, "Window");
  const std::string name =
      documentPath_.empty() ? "untitled" : std::filesystem::path(documentPath_).filename().string();
  ImGui::Text("Save the changes to %s?", name.c_str());
  ImGui::TextDisabled("Otherwise they are lost.");
  const bool enter = ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Enter), false) ||
                     ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_KeyPadEnter), false);
  const bool save = ui::Button("Save") || enter;
  ImGui::SameLine();
  const bool discard =
      ui::Button("Don't Save") || ImGui::IsKeyPressed(platform::CharacterKeyIndex('d'), false);
  ImGui::SameLine();
  const bool cancel = ui::Button("Cancel");
  if (save || discard || cancel) {
    askingToSave_ = false;
    ImGui::CloseCurrentPopup();
  }
  ImGui::EndPopup();
  if (!askingToSave_) ui::FocusWindow(std::exchange(focusBeforeQuestion_, {}));
  if (save) {
    if (SaveDocument()) RunPendingAction();
  } else if (discard) {
    if (autosave_) autosave_->Remove(documentPath_);
    RunPendingAction();
  } else if (cancel) {
    pendingAction_ = PendingAction::None;
  }
}

void CEditor::ShowRecoveryOffer() {
  if (!recovery_) return CloseIfOpen(kRecoveryTitle);
  if (!ImGui::IsPopupOpen(kRecoveryTitle)) ImGui::OpenPopup(kRecoveryTitle);
  if (!ImGui::BeginPopupModal(kRecoveryTitle, nullptr, ImGuiWindowFlags_AlwaysAutoResize)) return;
  ui::LogLastItem(kRecoveryTitle, "Window");
  const std::string name = documentPath_.empty() ? "the untitled document"
                                                 : std::filesystem::path(documentPath_).filename().string();
  ImGui::Text("An autosave of %s from %s is newer than the document.", name.c_str(), recovery_->time.c_str());
  const bool recover = ui::Button("Recover");
  ImGui::SameLine();
  const bool discard = ui::Button("Discard");
  if (recover || discard) ImGui::CloseCurrentPopup();
  ImGui::EndPopup();
  if (recover) {
    EditorDocument document;
    if (const DocumentError error = LoadEditorDocument(recovery_->path, &document)) {
      platform::ShowMessage(platform::kWarningCaption, *error);
    } else {
      ApplyDocument(document);
      // What was recovered is not what the document on disk holds.
      ResetHistory(false);
    }
    recovery_.reset();
  } else if (discard) {
    autosave_->Remove(documentPath_);
    recovery_.reset();
  }
}
