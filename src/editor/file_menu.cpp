// The main window's menu bar: File (the editor document, then the runtime exports and loads),
// Edit (undo, redo, copy, paste, duplicate), the document's name; and the shortcuts that do the
// same from either window.

#include <imgui.h>

#include <algorithm>
#include <filesystem>

#include "app/manager.h"
#include "editor/editor.h"
#include "effectfile/backup.h"
#include "effectfile/document_file.h"
#include "effectfile/export_losses.h"
#include "effectfile/particle_json.h"
#include "effectfile/particle_text.h"
#include "input/input.h"
#include "platform/dik.h"
#include "platform/interface/interface_backend.h"
#include "platform/message_sink.h"
#include "ui/item_log.h"
#include "ui/ui_items.h"

namespace {

std::string FileName(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

std::string CountOf(std::size_t count, const char* one) {
  return std::to_string(count) + " " + one + (count == 1 ? "" : "s");
}

// What a file holds, told by its content. A damaged document goes to the reader of the kind it
// looks like, which says where it broke: JSON naming a "Format" to the editor document's,
// other JSON to the particle JSON reader, anything else to the text reader, which refuses what
// is no text document. Unknown only for a file that cannot be read.
DocumentFormat FormatOf(const std::string& path) {
  std::optional<std::string> bytes;
  try {
    bytes = ReadDocumentFile(path);
  } catch (const std::exception&) {
    return DocumentFormat::Unknown;
  }
  if (!bytes) return DocumentFormat::Unknown;
  if (const DocumentFormat format = DetectDocumentFormat(*bytes); format != DocumentFormat::Unknown)
    return format;
  const std::size_t start = bytes->find_first_not_of(" \t\r\n");
  if (start == std::string::npos || (*bytes)[start] != '{') return DocumentFormat::ParticleText;
  return bytes->find("\"Format\"") != std::string::npos ? DocumentFormat::Editor
                                                        : DocumentFormat::ParticleJson;
}

}  // namespace

// ---- menus --------------------------------------------------------------------------------------

void CEditor::ShowFileMenu() {
  if (!ImGui::BeginMenuBar()) return;
  if (ui::BeginMenu("File")) {
    // Only the entry chosen runs; the later ones are not drawn in that frame.
    if (ui::MenuItem("New")) {
      AfterAskingToSave(PendingAction::New);
    } else if (ui::MenuItem("Open...")) {
      AfterAskingToSave(PendingAction::Open);
    } else if (ui::MenuItem("Save", "Ctrl+S")) {
      SaveDocument();
    } else if (ui::MenuItem("Save As...")) {
      OpenSaveBrowser();
    } else if (ShowRecentMenu()) {
    } else {
      ImGui::Separator();
      if (ui::MenuItem("SaveText")) {
        ExportRuntimeDocument(true);
      } else if (ui::MenuItem("LoadText")) {
        LoadText(std::string(kDataFolder) + "particle.txt");
      } else if (ui::MenuItem("SaveJson")) {
        ExportRuntimeDocument(false);
      } else if (ui::MenuItem("LoadJson")) {
        LoadJson(std::string(kDataFolder) + "particle.json");
      } else {
        ImGui::Separator();
        if (ui::MenuItem("Quit")) RequestQuit(platform::CloseRequest::Window);
      }
    }
    ImGui::EndMenu();
  }
  ShowEditMenu();
  ShowPreviewMenu();
  ShowDocumentName();
  ImGui::EndMenuBar();
}

bool CEditor::ShowRecentMenu() {
  if (!ui::BeginMenu("Open Recent")) return false;
  bool chosen = false;
  const std::vector<std::string> entries = recentFiles_.Entries();
  if (entries.empty()) ImGui::TextDisabled("(none)");
  for (const std::string& path : entries) {
    if (!ui::MenuItem(path.c_str())) continue;
    if (!std::filesystem::exists(path)) {
      recentFiles_.Remove(path);
      platform::PostNotice(path + " is no longer there");
    } else {
      OpenDroppedFile(path);
    }
    chosen = true;
    break;
  }
  ImGui::EndMenu();
  return chosen;
}

void CEditor::ShowEditMenu() {
  if (!ui::BeginMenu("Edit")) return;
  const std::string undo = history_.CanUndo() ? "Undo " + history_.UndoName() : std::string("Undo");
  const std::string redo = history_.CanRedo() ? "Redo " + history_.RedoName() : std::string("Redo");
  if (ui::MenuItem(undo.c_str(), "Ctrl+Z", history_.CanUndo())) {
    Undo();
  } else if (ui::MenuItem(redo.c_str(), "Ctrl+Shift+Z", history_.CanRedo())) {
    Redo();
  } else {
    ImGui::Separator();
    if (ui::MenuItem("Copy", "Ctrl+C", SelectedDefinition() != nullptr)) {
      CopyDefinition();
    } else if (ui::MenuItem("Paste", "Ctrl+V")) {
      PasteDefinitions();
    } else if (ui::MenuItem("Duplicate Effect", nullptr, TagIndex >= 0)) {
      DuplicateEffect();
    }
  }
  ImGui::EndMenu();
}

void CEditor::ShowDocumentName() {
  const std::string title = DocumentTitle();
  const float width = ImGui::CalcTextSize(title.c_str()).x;
  const float right = ImGui::GetWindowContentRegionMax().x - width;
  if (right > ImGui::GetCursorPosX()) ImGui::SetCursorPosX(right);
  ImGui::TextUnformatted(title.c_str());
  ui::LogLastItem("##document", "Text");
}

// ---- shortcuts, from either window --------------------------------------------------------------

void CEditor::HandleShortcuts() {
  bool ctrl = false, shift = false, typing = false;
  auto pressed = [](char letter) { return ImGui::IsKeyPressed(platform::CharacterKeyIndex(letter), false); };
  bool z = false, y = false, s = false, c = false, v = false;
  if (interface_ && ImGui::GetCurrentContext()) {
    const ImGuiIO& io = ImGui::GetIO();
    ctrl = io.KeyCtrl;
    shift = io.KeyShift;
    typing = io.WantTextInput;
    z = pressed('z'), y = pressed('y'), s = pressed('s'), c = pressed('c'), v = pressed('v');
  }
  // The scene window's keyboard reads only while that window has the focus.
  if (const CInputKeyboard* keys = CManager::GetInstance()->GetKeyboard()) {
    if (keys->GetPress(DIK_LCONTROL) || keys->GetPress(DIK_RCONTROL)) {
      ctrl = true;
      shift = shift || keys->GetPress(DIK_LSHIFT) || keys->GetPress(DIK_RSHIFT);
      z = z || keys->GetTrigger(DIK_Z), y = y || keys->GetTrigger(DIK_Y), s = s || keys->GetTrigger(DIK_S);
      c = c || keys->GetTrigger(DIK_C), v = v || keys->GetTrigger(DIK_V);
    }
  }
  if (!ctrl) return;
  if (s) SaveDocument();
  // A text field being typed into keeps its own undo, copy and paste.
  if (typing) return;
  if (z && !shift) {
    Undo();
  } else if ((z && shift) || y) {
    Redo();
  } else if (c) {
    CopyDefinition();
  } else if (v) {
    PasteDefinitions();
  }
}

// ---- the editor document --------------------------------------------------------------------------

void CEditor::NewDocument() {
  EditorDocument document;
  EditorEffect& begin = document.Effects.emplace_back();
  begin.Tag = "Begin";
  begin.Definitions.push_back(BeginDefinition());
  document.SelectedTag = "Begin";
  document.EmissionInterval = kDefaultEmissionInterval;
  ApplyDocument(document);
  documentPath_.clear();
  ResetHistory(true);
}

bool CEditor::SaveDocument() {
  if (documentPath_.empty()) {
    OpenSaveBrowser();
    return false;
  }
  return SaveDocumentAs(documentPath_);
}

bool CEditor::SaveDocumentAs(const std::string& path) {
  CommitPending();
  const EditorDocument document = MakeDocument();
  std::string error;
  if (!SaveEditorDocument(document, path, &error)) {
    platform::ShowMessage(platform::kWarningCaption, "The document was not saved: " + error);
    return false;
  }
  // The autosave of an untitled document, or of the document under its old name, is now older
  // than what the user saved.
  if (autosave_) {
    autosave_->Remove(documentPath_);
    autosave_->Remove(path);
  }
  documentPath_ = path;
  MarkSaved();
  recentFiles_.Add(path);
  platform::PostNotice("Saved " + FileName(path) + ": " + CountOf(document.Effects.size(), "effect"));
  return true;
}

bool CEditor::OpenEditorDocument(const std::string& path) {
  EditorDocument document;
  if (const DocumentError error = LoadEditorDocument(path, &document)) {
    platform::ShowMessage(platform::kWarningCaption, *error);
    documentFailed_ = true;
    return false;
  }
  ApplyDocument(document);
  documentPath_ = path;
  ResetHistory(true);
  recentFiles_.Add(path);
  return true;
}

bool CEditor::OpenDocument(const std::string& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) {
    platform::ShowMessage(platform::kWarningCaption,
                          "The effect document " + path + " cannot be opened: no such file.");
    documentFailed_ = true;
    return false;
  }
  switch (FormatOf(path)) {
    case DocumentFormat::Editor:
      return OpenEditorDocument(path);
    case DocumentFormat::ParticleJson:
      return LoadJson(path);
    case DocumentFormat::ParticleText:
      return LoadText(path);
    case DocumentFormat::Unknown:
      break;
  }
  // The loaders say why a file they cannot read was refused.
  return LoadText(path);
}

void CEditor::OpenDroppedFile(const std::string& path) {
  if (FormatOf(path) == DocumentFormat::Editor) {
    AfterAskingToSave(PendingAction::Open, path);
  } else {
    OpenDocument(path);
  }
}

// ---- the runtime's documents ----------------------------------------------------------------------

void CEditor::ExportRuntimeDocument(bool text) {
  if (text) {
    BackupDataFile("particle.txt");
    if (!SaveParticleText(Effects)) return;
  } else if (!SaveParticleJson(Effects, "particle.json")) {
    return;
  }
  const std::string name = text ? "particle.txt" : "particle.json";
  std::vector<LostField> lost;
  try {
    lost = FieldsLostBy(Effects, text ? DocumentFormat::ParticleText : DocumentFormat::ParticleJson);
  } catch (const std::exception& error) {
    // The export itself went through; only the comparison could not be made.
    platform::PostNotice("Saved " + name + "; what it cannot hold could not be checked: " + error.what());
    return;
  }
  if (lost.empty()) {
    platform::PostNotice("Saved " + name + ": " + CountOf(Effects.size(), "effect"));
  } else {
    platform::PostNotice(LostFieldsNotice(name, lost));
  }
}

bool CEditor::LoadText(const std::string& path) { return LoadDocument(path, LoadParticleText); }

bool CEditor::LoadJson(const std::string& path) { return LoadDocument(path, LoadParticleJson); }

// Each format merges by its own rule (JSON keeps the effects the editor has, text replaces
// the ones it names); both commit alike, as one step of the history.
bool CEditor::LoadDocument(const std::string& path, DocumentError (*load)(EffectTable*, const std::string&)) {
  EffectTable* table = CManager::GetInstance()->GetEffectTable();
  if (!table) return false;
  // A document that fails half way must leave the effects as they were: merge into a copy.
  EffectTable loaded = *table;
  if (const DocumentError error = load(&loaded, path)) {
    platform::ShowMessage(platform::kWarningCaption, *error);
    documentFailed_ = true;
    return false;
  }
  *table = std::move(loaded);
  Effects = *table;
  RefreshTags();
  NoteChange("Load " + FileName(path));
  return true;
}

void CEditor::RefreshTags() {
  for (const auto& [tag, list] : Effects)
    if (std::find(Tags.begin(), Tags.end(), tag) == Tags.end()) Tags.push_back(tag);
  TagIndex = static_cast<int>(Tags.size()) - 1;
  CurrentTag = Tags.empty() ? std::string() : Tags[TagIndex];
  ItemIndex = 0;
}

// ---- copy, paste, duplicate ----------------------------------------------------------------------------

void CEditor::CopyDefinition() {
  const ParticleParams* definition = SelectedDefinition();
  if (!definition) return;
  EditorDocument clip;
  EditorEffect& effect = clip.Effects.emplace_back();
  effect.Tag = Tags[TagIndex];
  effect.Definitions.push_back(*definition);
  clip.SelectedTag = effect.Tag;
  ImGui::SetClipboardText(EditorDocumentText(clip).c_str());
  platform::PostNotice("Copied Item : " + std::to_string(ItemIndex) + " of " + effect.Tag);
}

void CEditor::PasteDefinitions() {
  if (TagIndex < 0 || TagIndex >= static_cast<int>(Tags.size())) return;
  const char* text = ImGui::GetClipboardText();
  EditorDocument clip;
  if (!text || ParseEditorDocument(text, &clip)) {
    platform::PostNotice("Nothing to paste: the clipboard holds no effect definition");
    return;
  }
  std::vector<ParticleParams> pasted;
  for (const EditorEffect& effect : clip.Effects)
    pasted.insert(pasted.end(), effect.Definitions.begin(), effect.Definitions.end());
  if (pasted.empty()) return;
  std::vector<ParticleParams>& list = Effects[Tags[TagIndex]];
  const std::size_t at = std::min(list.size(), static_cast<std::size_t>(ItemIndex) + 1);
  list.insert(list.begin() + static_cast<std::ptrdiff_t>(at), pasted.begin(), pasted.end());
  ItemIndex = static_cast<int>(at);
  NoteChange("Paste");
}

void CEditor::DuplicateEffect() {
  if (TagIndex < 0 || TagIndex >= static_cast<int>(Tags.size())) return;
  const std::string source = Tags[TagIndex];
  std::string name = source + " copy";
  for (int n = 2; Effects.count(name); ++n) name = source + " copy " + std::to_string(n);
  Effects[name] = Effects[source];
  if (const auto tracks = Sound.TrackLists.find(source); tracks != Sound.TrackLists.end())
    Sound.TrackLists[name] = tracks->second;
  Tags.push_back(name);
  TagIndex = static_cast<int>(Tags.size()) - 1;
  SelectTag();
  if (EffectTable* table = CManager::GetInstance()->GetEffectTable()) (*table)[name] = Effects[name];
  NoteChange("Duplicate Effect");
}
