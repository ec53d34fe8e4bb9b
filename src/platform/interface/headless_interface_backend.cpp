#include "platform/interface/headless_interface_backend.h"

#include <imgui.h>

#include <span>

namespace platform {

HeadlessInterfaceBackend::HeadlessInterfaceBackend(WindowSystem& system, std::uint32_t windowId,
                                                   gfx::NullDevice* device, int width, int height,
                                                   InterfaceInput input)
    : InterfaceBackend(system, windowId, input), device_(device) {
  ImGuiIO& io = ImGui::GetIO();
  if (input == InterfaceInput::kNone)
    io.ConfigFlags |= ImGuiConfigFlags_NoMouse | ImGuiConfigFlags_NoMouseCursorChange;
  io.BackendPlatformName = "headless";
  io.BackendRendererName = "headless";
  // As the OpenGL 3 renderer: draw lists may pass 65,536 vertices (a plot of a thousand points).
  io.BackendFlags |= ImGuiBackendFlags_RendererHasVtxOffset;
  io.IniFilename = nullptr;
  io.DisplaySize = ImVec2(static_cast<float>(width), static_cast<float>(height));
  // The same key numbers as the SDL back end: scancodes.
  const std::pair<ImGuiKey, SDL_Scancode> keys[] = {
      {ImGuiKey_Tab, SDL_SCANCODE_TAB},           {ImGuiKey_LeftArrow, SDL_SCANCODE_LEFT},
      {ImGuiKey_RightArrow, SDL_SCANCODE_RIGHT},  {ImGuiKey_UpArrow, SDL_SCANCODE_UP},
      {ImGuiKey_DownArrow, SDL_SCANCODE_DOWN},    {ImGuiKey_PageUp, SDL_SCANCODE_PAGEUP},
      {ImGuiKey_PageDown, SDL_SCANCODE_PAGEDOWN}, {ImGuiKey_Home, SDL_SCANCODE_HOME},
      {ImGuiKey_End, SDL_SCANCODE_END},           {ImGuiKey_Insert, SDL_SCANCODE_INSERT},
      {ImGuiKey_Delete, SDL_SCANCODE_DELETE},     {ImGuiKey_Backspace, SDL_SCANCODE_BACKSPACE},
      {ImGuiKey_Space, SDL_SCANCODE_SPACE},       {ImGuiKey_Enter, SDL_SCANCODE_RETURN},
      {ImGuiKey_Escape, SDL_SCANCODE_ESCAPE},     {ImGuiKey_KeyPadEnter, SDL_SCANCODE_KP_ENTER},
      {ImGuiKey_A, SDL_SCANCODE_A},               {ImGuiKey_C, SDL_SCANCODE_C},
      {ImGuiKey_V, SDL_SCANCODE_V},               {ImGuiKey_X, SDL_SCANCODE_X},
      {ImGuiKey_Y, SDL_SCANCODE_Y},               {ImGuiKey_Z, SDL_SCANCODE_Z},
  };
  for (const auto& [key, scancode] : keys) io.KeyMap[key] = scancode;

  unsigned char* pixels = nullptr;
  int atlasWidth = 0, atlasHeight = 0;
  io.Fonts->GetTexDataAsRGBA32(&pixels, &atlasWidth, &atlasHeight);
  if (device && pixels) {
    fontTexture_ = device->CreateTexture(
        static_cast<UINT>(atlasWidth), static_cast<UINT>(atlasHeight),
        std::span<const std::uint8_t>(pixels, static_cast<std::size_t>(atlasWidth) * atlasHeight * 4));
  }
  io.Fonts->SetTexID(fontTexture_ ? reinterpret_cast<ImTextureID>(fontTexture_->NativeHandle()) : nullptr);
}

HeadlessInterfaceBackend::~HeadlessInterfaceBackend() {
  if (ImGui::GetCurrentContext()) ImGui::GetIO().Fonts->SetTexID(nullptr);
}

void HeadlessInterfaceBackend::NewFrame() {
  ImGuiIO& io = ImGui::GetIO();
  io.DeltaTime = kFrameSeconds;
  Events().DeliverFrame([this](const SDL_Event& event) { Apply(event); });
  for (std::size_t b = 0; b < buttonHeld_.size(); ++b) {
    io.MouseDown[b] = buttonHeld_[b] || buttonPressed_[b];
    buttonPressed_[b] = false;
  }
}

void HeadlessInterfaceBackend::RenderDrawData(ImDrawData* data) {
  if (!data || !device_) return;
  for (int list = 0; list < data->CmdListsCount; ++list) {
    for (const ImDrawCmd& command : data->CmdLists[list]->CmdBuffer) {
      if (command.UserCallback) continue;
      device_->RecordInterfaceDraw(reinterpret_cast<const gfx::Texture*>(command.GetTexID()),
                                   command.ElemCount);
    }
  }
}

void HeadlessInterfaceBackend::Apply(const SDL_Event& event) {
  ImGuiIO& io = ImGui::GetIO();
  switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      const int code = event.key.keysym.scancode;
      if (code >= 0 && code < IM_ARRAYSIZE(io.KeysDown)) io.KeysDown[code] = event.type == SDL_KEYDOWN;
      const Uint16 mod = event.key.keysym.mod;
      io.KeyShift = (mod & KMOD_SHIFT) != 0;
      io.KeyCtrl = (mod & KMOD_CTRL) != 0;
      io.KeyAlt = (mod & KMOD_ALT) != 0;
      io.KeySuper = (mod & KMOD_GUI) != 0;
      break;
    }
    case SDL_TEXTINPUT: io.AddInputCharactersUTF8(event.text.text); break;
    case SDL_MOUSEMOTION:
      io.MousePos = ImVec2(static_cast<float>(event.motion.x), static_cast<float>(event.motion.y));
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      // SDL numbers left, middle, right; the library left, right, middle.
      const int button = event.button.button == SDL_BUTTON_LEFT    ? 0
                         : event.button.button == SDL_BUTTON_RIGHT ? 1
                         : event.button.button == SDL_BUTTON_MIDDLE ? 2
                                                                     : -1;
      if (button < 0) break;
      const bool down = event.type == SDL_MOUSEBUTTONDOWN;
      buttonHeld_[button] = down;
      if (down) buttonPressed_[button] = true;
      io.MousePos = ImVec2(static_cast<float>(event.button.x), static_cast<float>(event.button.y));
      break;
    }
    case SDL_MOUSEWHEEL:
      if (event.wheel.y != 0) io.MouseWheel += event.wheel.y > 0 ? 1.0f : -1.0f;
      break;
    case SDL_WINDOWEVENT:
      if (event.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) io.AddFocusEvent(true);
      if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST) io.AddFocusEvent(false);
      break;
    default: break;
  }
}

}  // namespace platform
