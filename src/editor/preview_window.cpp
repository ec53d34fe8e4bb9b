// The "Preview" window: the transport of the playing scene (play and pause, step, restart,
// emit now, loop, speed), the timeline of the last emission and the seed; and the keys that do
// the same from either window.

#include <imgui.h>

#include <algorithm>
#include <string>

#include "app/manager.h"
#include "editor/editor.h"
#include "input/input.h"
#include "platform/dik.h"
#include "platform/interface/interface_backend.h"
#include "ui/item_log.h"
#include "ui/ui_items.h"

namespace {

constexpr const char* kPlayTip = "Play or pause the preview (Space)";
constexpr const char* kStepTip = "One frame on, paused (period; hold to repeat)";
constexpr const char* kRestartTip =
    "Clear every emission and emit the selected effect at the pointer, frame 0 (Backspace)";
constexpr const char* kEmitTip = "Emit the selected effect at the pointer now (Enter)";
constexpr const char* kLoopTip = "Emit again every Emission Interval frames";
constexpr const char* kSpeedTip = "Effect time per wall time, 0.1x to 4x (Ctrl+click to type)";
constexpr const char* kTimelineTip =
    "The last emission, from frame 0 to the frame its last particle ends: drag to see any frame";
constexpr const char* kSeedTip =
    "Both random sources start from this seed: the run plays the same, frame for frame, every time";

void Tip(const char* text) {
  if (ImGui::IsItemHovered(ImGuiHoveredFlags_AllowWhenDisabled)) ImGui::SetTooltip("%s", text);
}

// Held for this many frames, the step key repeats once a frame.
constexpr int kStepRepeatDelay = 30;

}  // namespace

void CEditor::ShowPreviewWindow() {
  if (!ShowPreview) return;
  // Right of the main window, above where the panel windows open.
  ImGui::SetNextWindowPos(ImVec2(405.0f, 20.0f), ImGuiCond_FirstUseEver);
  ImGui::SetNextWindowSize(ImVec2(290.0f, 135.0f), ImGuiCond_FirstUseEver);
  // The main window keeps the focus it starts with.
  const bool visible = ui::Begin("Preview", &ShowPreview, ImGuiWindowFlags_NoFocusOnAppearing);
  if (!visible) {
    ImGui::End();
    return;
  }
  PreviewControls& p = Preview;
  if (ui::Button(p.Playing ? "Pause" : "Play", ImVec2(50.0f, 0.0f))) p.Playing = !p.Playing;
  Tip(kPlayTip);
  ImGui::SameLine();
  ImGui::PushButtonRepeat(true);
  if (ui::Button("Step")) StepPreview();
  ImGui::PopButtonRepeat();
  Tip(kStepTip);
  ImGui::SameLine();
  if (ui::Button("Restart")) p.RestartAsked = true;
  Tip(kRestartTip);
  ImGui::SameLine();
  if (ui::Button("Emit")) p.EmitAsked = true;
  Tip(kEmitTip);

  ui::Checkbox("Loop", &p.Loop);
  Tip(kLoopTip);
  ImGui::SameLine();
  if (ui::Checkbox("Repeatable", &p.Repeatable)) p.SeedChanged = true;
  Tip(kSeedTip);
  ImGui::SameLine();
  ImGui::SetNextItemWidth(-ImGui::CalcTextSize("Seed").x - ImGui::GetStyle().ItemInnerSpacing.x);
  std::uint32_t seed = p.Seed;
  if (ui::InputScalar("Seed", ImGuiDataType_U32, &seed, ImGuiInputTextFlags_EnterReturnsTrue) &&
      seed != p.Seed) {
    p.Seed = seed;
    p.Repeatable = true;
    p.SeedChanged = true;
  }
  Tip(kSeedTip);

  ui::SliderFloat("Speed", &p.Speed, PreviewControls::kMinSpeed, PreviewControls::kMaxSpeed, "%.2fx",
                  ImGuiSliderFlags_Logarithmic | ImGuiSliderFlags_AlwaysClamp);
  Tip(kSpeedTip);
  p.Speed = std::clamp(p.Speed, PreviewControls::kMinSpeed, PreviewControls::kMaxSpeed);

  // The slider shows the frame the scene reports; a drag asks for a seek and pauses, so the
  // frame dragged to stays on show.
  int frame = p.Frame;
  const std::string format = "%d / " + std::to_string(p.Length);
  if (!p.HasEmission) ImGui::BeginDisabled();
  if (ui::SliderInt("Frame", &frame, 0, std::max(p.Length, 1), format.c_str()) && frame != p.Frame) {
    p.SeekAsked = std::clamp(frame, 0, p.Length);
    p.Playing = false;
  }
  if (!p.HasEmission) ImGui::EndDisabled();
  Tip(kTimelineTip);
  ImGui::End();
}

void CEditor::ShowPreviewMenu() {
  if (!ui::BeginMenu("Preview")) return;
  PreviewControls& p = Preview;
  if (ui::MenuItem(p.Playing ? "Pause" : "Play", "Space")) {
    p.Playing = !p.Playing;
  } else if (ui::MenuItem("Step", ".")) {
    StepPreview();
  } else if (ui::MenuItem("Restart", "Backspace")) {
    p.RestartAsked = true;
  } else if (ui::MenuItem("Emit", "Enter")) {
    p.EmitAsked = true;
  } else {
    ImGui::Separator();
    ui::MenuItem("Loop", &p.Loop);
    ui::MenuItem("Preview Window", &ShowPreview);
  }
  ImGui::EndMenu();
}

bool CEditor::CanIdle() const {
  if (!Preview.Idle()) return false;
  if (!interface_ || !ImGui::GetCurrentContext()) return true;
  return !ImGui::GetIO().WantTextInput && !ImGui::IsAnyItemActive();
}

void CEditor::StepPreview() {
  Preview.Playing = false;
  ++Preview.StepsAsked;
}

void CEditor::HandlePreviewShortcuts() {
  bool play = false, step = false, restart = false, emit = false;
  if (interface_ && ImGui::GetCurrentContext()) {
    const ImGuiIO& io = ImGui::GetIO();
    // A field being typed into keeps its keys, and a question its Enter; so does any chord.
    if (io.WantTextInput ||
        ImGui::IsPopupOpen("", ImGuiPopupFlags_AnyPopupId | ImGuiPopupFlags_AnyPopupLevel))
      return;
    if (!io.KeyCtrl && !io.KeyAlt && !io.KeySuper) {
      play = ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Space), false);
      step = ImGui::IsKeyPressed(platform::CharacterKeyIndex('.'), true);
      restart = ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Backspace), false);
      emit = ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Enter), false) ||
             ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_KeyPadEnter), false);
    }
  }
  // The scene window's keyboard reads only while that window has the focus.
  if (const CInputKeyboard* keys = CManager::GetInstance()->GetKeyboard()) {
    const bool chord = keys->GetPress(DIK_LCONTROL) || keys->GetPress(DIK_RCONTROL) ||
                       keys->GetPress(DIK_LMENU) || keys->GetPress(DIK_RMENU);
    stepKeyHeld_ = keys->GetPress(DIK_PERIOD) ? stepKeyHeld_ + 1 : 0;
    if (!chord) {
      play = play || keys->GetTrigger(DIK_SPACE);
      step = step || keys->GetTrigger(DIK_PERIOD) || stepKeyHeld_ > kStepRepeatDelay;
      restart = restart || keys->GetTrigger(DIK_BACK);
      emit = emit || keys->GetTrigger(DIK_RETURN) || keys->GetTrigger(DIK_NUMPADENTER);
    }
  }
  if (play) Preview.Playing = !Preview.Playing;
  if (step) StepPreview();
  if (restart) Preview.RestartAsked = true;
  if (emit) Preview.EmitAsked = true;
}
