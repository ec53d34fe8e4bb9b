#include "editor/editor.h"
#include "editor/row_help.h"

#include <imgui.h>

#include <algorithm>
#include <string_view>
#include <utility>

#include "app/manager.h"
#include "ui/implot.h"
#include "ui/item_log.h"
#include "ui/ui_items.h"
#include "platform/interface/interface_backend.h"
#include "platform/message_sink.h"
#include "resource/texture_manager.h"

namespace {

EffectTable* Table() {
  return CManager::GetInstance()->GetEffectTable();
}

const gfx::Texture* IconTexture(const std::string& label) {
  CTextureManager* textures = CManager::GetInstance()->GetTextureManager();
  return textures ? textures->GetTexture(true, label) : nullptr;
}

}  // namespace

CEditor::CEditor() { Widgets.RowTip = &RowTooltip; }
CEditor::~CEditor() = default;

// ---- start and end --------------------------------------------------------------------------

ParticleParams CEditor::BeginDefinition() {
  ParticleParams p;
  p.Billboard.Position = {0.0f, 10.0f, 0.0f};
  p.Billboard.PosOffset = {};
  p.Billboard.Velocity = {};
  p.Billboard.Scaling = {};
  p.Billboard.Scale = {10.0f, 10.0f, 0.0f};
  const D3DXCOLOR white(1.0f, 1.0f, 1.0f, 1.0f);
  p.Billboard.Color = p.Billboard.DestColor = p.Billboard.BeginTrailColor = p.Billboard.EndTrailColor = white;
  p.Billboard.RotateAngle = 0.0f;
  p.Billboard.PopTime = 50;
  p.Billboard.VelocityAttenuation = 0.005f;
  p.Billboard.ColorAttenuation = 0.5f;
  p.Billboard.UseRandom = false;
  p.Mesh.Scale = {1.0f, 1.0f, 1.0f};
  p.Mesh.Color = p.Mesh.DestColor = white;
  p.Mesh.ColorAttenuation = 0.5f;
  p.Mesh.PopTime = 100;
  p.Emission.ParticleType = Object_Billboard;
  p.Emission.Radius = 360.0f;
  p.Emission.Quantity = 5;
  p.Emission.ModelTag = "CUBE";
  p.Emission.DataTag = "Begin";
  p.Emission.TextureTag = "FLARE";
  return p;
}

int CEditor::Init() {
  const ParticleParams first = BeginDefinition();
  if (EffectTable* table = Table()) (*table)["Begin"] = {first};
  Effects["Begin"].push_back(first);
  CurrentTag = "Begin";
  Tags.push_back("Begin");
  ResetHistory(true);
  return 0;
}

void CEditor::AttachInterface(std::unique_ptr<platform::InterfaceBackend> backend) {
  interface_ = std::move(backend);
}

void CEditor::Uninit() {
  interface_.reset();
  if (ImGui::GetCurrentContext()) {
    ImPlot::DestroyContext();
    ImGui::DestroyContext();
  }
  frameStarted_ = false;
}

// ---- the frame ------------------------------------------------------------------------------

bool CEditor::Update(bool show, bool showAnother) {
  if (interface_) {
    // A frame that was never drawn (the device could not begin its scene) is ended first.
    if (std::exchange(frameStarted_, false)) ImGui::EndFrame();
    interface_->NewFrame();
    ImGui::NewFrame();
    frameStarted_ = true;
    if (ui::ItemLog* log = ui::ItemLog::Installed()) log->StartFrame();
    ImGui::SetNextWindowPos(ImVec2(0.0f, 20.0f), ImGuiCond_Once);
    ImGui::SetNextWindowSize(ImVec2(400.0f, 400.0f), ImGuiCond_Once);
  }
  CManager* manager = CManager::GetInstance();
  if (std::exchange(firstUpdate_, false) && manager->GetPointer())
    PointerHidden = manager->IsPointerVisible();

  // The selected effect reaches the table every frame, shown or not.
  if (TagIndex >= 0 && TagIndex < static_cast<int>(Tags.size())) {
    const std::string& tag = Tags[TagIndex];
    if (EffectTable* table = Table()) (*table)[tag] = Effects[tag];
  }
  KeepItemIndexInside();
  if (!show) {
    KeepDocumentSafe();
    return false;
  }
  if (!interface_) {
    ShowPointerButton();
    KeepDocumentSafe();
    return showAnother;
  }

  HandleShortcuts();
  HandlePreviewShortcuts();
  ui::Begin("Hello, world!", nullptr, ImGuiWindowFlags_MenuBar);
  ShowFileMenu();
  TestMouseOverWindow();
  const float fps = ImGui::GetIO().Framerate;
  ImGui::Text("Application average %.3f ms/frame (%.1f FPS)", 1000.0f / fps, fps);
  ShowRealtime();
  ShowNotices();
  ShowPointerButton();
  ShowStatsToggle();
  panelSizePending_ = true;
  ShowTagCreation();
  ShowTagList();
  ShowTagContextMenu();
  ShowRename();
  ImGui::Separator();
  ShowCopy();
  ImGui::Separator();
  ShowDefinitionList();
  ImGui::Separator();
  ShowEmissionInterval();
  ImGui::Separator();
  if (IconButton(Widgets, IconTexture("ICON_PARTICLE"), "ICON_PARTICLE", ImVec2(100.0f, 100.0f)))
    ShowParticles = !ShowParticles;
  ImGui::SameLine();
  if (IconButton(Widgets, IconTexture("ICON_SOUND"), "ICON_SOUND", ImVec2(100.0f, 100.0f)))
    ShowSounds = !ShowSounds;
  ShowPanelWindows();
  ui::Checkbox("Another Window", &showAnother);
  ShowDialogs();
  ImGui::End();
  ShowPreviewWindow();

  if (showAnother) {
    BeginPanelWindow("Another Window", &showAnother);
    ImGui::TextUnformatted("Hello from another window!");
    ImGui::End();
  }
  ShowStatsWindow();
  KeepDocumentSafe();
  return showAnother;
}

void CEditor::Draw() {
  if (!interface_ || !std::exchange(frameStarted_, false)) return;
  ImGui::Render();
  interface_->RenderDrawData(ImGui::GetDrawData());
}

namespace {

// Where each panel window first opens in the 700 x 1000 editor window, beside the main window
// (0,20 to 400,420) and the Preview window (right of it). The 500 x 600 window goes below
// the main window, right-aligned: 600 high fits under it only over its empty last 20 pixels.
// A window that does not take that size gets its own, fitted to what it shows.
struct Placement {
  float x, y, width, height;
};
constexpr Placement kPartsPanel{200.0f, 400.0f, 500.0f, 600.0f};
constexpr Placement kSoundsPanel{405.0f, 160.0f, 290.0f, 235.0f};
constexpr Placement kOtherPanel{405.0f, 160.0f, 290.0f, 80.0f};

Placement OwnPlacement(std::string_view name) {
  if (name == "Particles") return kPartsPanel;
  return name == "Sounds" ? kSoundsPanel : kOtherPanel;
}

}  // namespace

void CEditor::BeginPanelWindow(const char* name, bool* open) {
  // The first of the panel windows begun in a frame takes 500 x 600 the first time it
  // appears. Asked for earlier, the size would go to the list box, itself a child window.
  const Placement placement = std::exchange(panelSizePending_, false) ? kPartsPanel : OwnPlacement(name);
  ImGui::SetNextWindowSize(ImVec2(placement.width, placement.height), ImGuiCond_Once);
  ImGui::SetNextWindowPos(ImVec2(placement.x, placement.y), ImGuiCond_FirstUseEver);
  ui::Begin(name, open);
}

void CEditor::TestMouseOverWindow() {
  const ImVec2 at = ImGui::GetWindowPos();
  const ImVec2 size = ImGui::GetWindowSize();
  MouseOverWindow = ImGui::IsMouseHoveringRect(at, ImVec2(at.x + size.x, at.y + size.y), true);
}

// ---- the main window's parts ---------------------------------------------------------------------

void CEditor::ShowPointerButton() {
  if (interface_ && ui::Button(PointerHidden ? "Show Pointer" : "Hide Pointer"))
    PointerHidden = !PointerHidden;
  CManager::GetInstance()->SetPointerVisible(!PointerHidden);
}

void CEditor::ShowRealtime() {
  // On the frame-rate line, so that it moves nothing when it comes and goes.
  const double realtime = CManager::GetInstance()->GetRealtime();
  if (realtime >= kRealtimeShown) return;
  ImGui::SameLine();
  ImGui::TextColored(ImVec4(1.0f, 0.75f, 0.3f, 1.0f), "realtime %.2fx", realtime);
  ui::LogLastItem("realtime", "Text");
}

void CEditor::ShowNotices() {
  const auto& notices = platform::GetNotices().Recent();
  if (notices.empty()) return;
  // One line, whatever its length, so that a notice moves the widgets below it by one line
  // only; the whole text, and the notices before it, show on hover.
  ImGui::PushStyleColor(ImGuiCol_Text, ImVec4(1.0f, 0.75f, 0.3f, 1.0f));
  ImGui::TextUnformatted(notices.back().c_str());
  ImGui::PopStyleColor();
  ui::LogLastItem("##notice");
  if (ImGui::IsItemHovered()) {
    ImGui::BeginTooltip();
    ImGui::PushTextWrapPos(ImGui::GetFontSize() * 45.0f);
    for (const std::string& notice : notices) ImGui::TextUnformatted(notice.c_str());
    ImGui::PopTextWrapPos();
    ImGui::EndTooltip();
  }
}

void CEditor::ShowTagCreation() {
  ui::InputText("##ParticleTag", TagInput.data(), TagInput.size());
  ImGui::SameLine();
  if (!ui::Button("SetTag")) return;
  const std::string name = TagInput.data();
  const ParticleParams first = TemplateDefinition();
  Tags.push_back(name);
  Effects[name].push_back(first);
  if (EffectTable* table = Table()) {
    const auto& source = Effects[Tags.front()];
    (*table)[name] = source.empty() ? std::vector<ParticleParams>{first} : source;
  }
}

void CEditor::ShowTagList() {
  if (Tags.empty()) return;
  ComboList(TagIndex, Tags, "EmitterTagList", [this] { SelectTag(); });
}

void CEditor::ShowTagContextMenu() {
  if (ImGui::IsItemHovered() && ImGui::IsMouseClicked(ImGuiMouseButton_Right)) ContextArmed = true;
  if (!ContextArmed || !ImGui::BeginPopupContextItem()) return;
  if (ui::Selectable("Change", false)) {
    RenameMode = true;
  } else if (ui::Selectable("Copy", false)) {
    CopyMode = true;
  }
  ImGui::EndPopup();
}

void CEditor::ShowRename() {
  if (!RenameMode) return;
  ui::InputText("ChangeTag", NewTagInput.data(), NewTagInput.size());
  const bool enter = ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Enter), true) ||
                     ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_KeyPadEnter), true);
  if (!enter || NewTagInput[0] == '\0') return;
  RenameSelectedTag(NewTagInput.data());
  RenameMode = false;
}

void CEditor::ShowCopy() {
  if (!CopyMode) return;
  ComboList(TagIndex, Tags, "CopySource", [this] { SelectTag(); });
  ComboList(CopyTargetIndex, Tags, "CopyTarget");
  if (ui::Button("OK")) {
    const int count = static_cast<int>(Tags.size());
    if (TagIndex >= 0 && TagIndex < count && CopyTargetIndex >= 0 && CopyTargetIndex < count) {
      if (const auto source = Effects.find(Tags[TagIndex]); source != Effects.end()) {
        const std::vector<ParticleParams> copy = source->second;
        Effects[Tags[CopyTargetIndex]] = copy;
        NoteChange("Copy Effect");
      }
    }
    CopyTargetIndex = 0;
    CopyMode = false;
  }
  ImGui::SameLine();
  if (ui::Button("NO")) {
    CopyTargetIndex = 0;
    CopyMode = false;
  }
}

void CEditor::ShowDefinitionList() {
  if (TagIndex < 0 || TagIndex >= static_cast<int>(Tags.size())) return;
  std::vector<ParticleParams>& list = Effects[Tags[TagIndex]];
  // The labels are made once per count, not every frame.
  while (itemLabels_.size() < list.size())
    itemLabels_.push_back("Item : " + std::to_string(itemLabels_.size()));
  ui::ListBox("Index", &ItemIndex, std::span(itemLabels_).first(list.size()));
  ImGui::SameLine();
  if (ui::Button("+")) list.push_back(TemplateDefinition());
  ImGui::SameLine();
  if (ui::Button("-") && list.size() > 1) {
    list.pop_back();
    --ItemIndex;
  }
  KeepItemIndexInside();
}

void CEditor::ShowEmissionInterval() {
  // Typed values (Ctrl+click) are held to the range too.
  ui::DragInt("Emission Interval", &EmissionInterval, 1.0f, kMinEmissionInterval, kMaxEmissionInterval, "%d",
              ImGuiSliderFlags_AlwaysClamp);
}

void CEditor::ShowPanelWindows() {
  if (ShowParticles) {
    BeginPanelWindow("Particles");
    TestMouseOverWindow();
    if (ParticleParams* definition = SelectedDefinition()) ShowParticlePanel(*definition);
    ImGui::End();
  }
  if (ShowSounds) {
    BeginPanelWindow("Sounds");
    TestMouseOverWindow();
    if (ParticleParams* definition = SelectedDefinition()) ShowSoundPanel(definition->Emission);
    ImGui::End();
  }
}

// ---- what the controls do ---------------------------------------------------------------------------

void CEditor::SelectTag() {
  if (TagIndex < 0 || TagIndex >= static_cast<int>(Tags.size())) return;
  CurrentTag = Tags[TagIndex];
  ItemIndex = 0;
}

ParticleParams CEditor::TemplateDefinition() {
  if (!Tags.empty()) {
    const auto first = Effects.find(Tags.front());
    if (first != Effects.end() && !first->second.empty()) return first->second.front();
  }
  return BeginDefinition();
}

void CEditor::RenameSelectedTag(const std::string& newName) {
  if (TagIndex < 0 || TagIndex >= static_cast<int>(Tags.size())) return;
  const std::string oldName = Tags[TagIndex];
  // Renaming to the same name would copy the list onto itself and then erase it.
  if (oldName == newName) return;
  if (const auto old = Effects.find(oldName); old != Effects.end()) {
    std::vector<ParticleParams> list = std::move(old->second);
    Effects.erase(old);
    Effects[newName] = std::move(list);
  }
  // What else the editor keeps by tag goes with the effect.
  if (auto tracks = Sound.TrackLists.extract(oldName))
    Sound.TrackLists.insert_or_assign(newName, std::move(tracks.mapped()));
  if (auto unknown = unknownByTag_.extract(oldName))
    unknownByTag_.insert_or_assign(newName, std::move(unknown.mapped()));
  Tags[TagIndex] = newName;
  // The pointer plays what the panels edit: a renamed current effect plays under its new name
  // from the next emission on (emitters already playing keep their own copies).
  if (oldName == CurrentTag) {
    CurrentTag = newName;
    if (EffectTable* table = CManager::GetInstance()->GetEffectTable()) {
      table->erase(oldName);
      (*table)[newName] = Effects[newName];
    }
  }
}

void CEditor::KeepItemIndexInside() {
  int count = 0;
  if (TagIndex >= 0 && TagIndex < static_cast<int>(Tags.size())) {
    const auto it = Effects.find(Tags[TagIndex]);
    if (it != Effects.end()) count = static_cast<int>(it->second.size());
  }
  ItemIndex = std::clamp(ItemIndex, 0, std::max(0, count - 1));
}

ParticleParams* CEditor::SelectedDefinition() {
  if (TagIndex < 0 || TagIndex >= static_cast<int>(Tags.size())) return nullptr;
  const auto it = Effects.find(Tags[TagIndex]);
  if (it == Effects.end() || ItemIndex < 0 || ItemIndex >= static_cast<int>(it->second.size()))
    return nullptr;
  return &it->second[ItemIndex];
}
