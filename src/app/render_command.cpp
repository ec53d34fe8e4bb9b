#include "app/render_command.h"

#include <unistd.h>

#include "app/effect_renderer.h"
#include "app/manager.h"
#include "effectfile/document_conversion.h"
#include "platform/sdl_window_system.h"
#include "platform/termination.h"

namespace {

// The window the device's context lives on; the frames are drawn into a render target of their own size.
constexpr int kWindowSide = 64;

// Ends the manager, the renderer first (its render target goes before the device).
class RenderSession {
 public:
  ~RenderSession() {
    renderer.reset();
    if (started) CManager::GetInstance()->Uninit();
  }
  bool started = false;
  std::unique_ptr<EffectRenderer> renderer;
};

std::string DefaultTag(const EditorDocument& document) {
  for (const EditorEffect& effect : document.Effects)
    if (effect.Tag == document.SelectedTag) return effect.Tag;
  return document.Effects.empty() ? std::string() : document.Effects.back().Tag;
}

}  // namespace

bool RenderSettingsFrom(const CommandLine& options, RenderSettings* settings, std::string* error) {
  RenderSettings s;
  s.output = options.renderOutput;
  s.seed = options.seed.value_or(0);
  const auto& values = options.renderValues;
  const auto given = [&](const char* name) -> const std::string* {
    const auto found = values.find(name);
    return found == values.end() ? nullptr : &found->second;
  };
  if (const std::string* tag = given("--tag")) s.tag = *tag;
  if (const std::string* size = given("--size"); size && !ParseFrameSize(*size, &s.width, &s.height, error))
    return false;
  if (const std::string* sheet = given("--sheet");
      sheet && !ParseSheetLayout(*sheet, &s.columns, &s.rows, error))
    return false;
  if (const std::string* length = given("--length")) {
    int frames = 0;
    if (!ParseWholeNumber("--length", *length, 1, RenderSettings::kMaxFrames, &frames, error)) return false;
    s.length = frames;
  }
  if (const std::string* fps = given("--fps");
      fps && !ParseWholeNumber("--fps", *fps, 1, RenderSettings::kMaxFps, &s.fps, error))
    return false;
  if (const std::string* camera = given("--camera"); camera && !ParseCamera(*camera, &s.camera, error))
    return false;
  if (const std::string* background = given("--background")) {
    std::uint32_t rgb = 0;
    if (!ParseBackground(*background, &rgb, error)) return false;
    s.background = rgb;
  }
  if (!OutputKindOf(s.output, given("--sheet") != nullptr, &s.kind, error)) return false;
  if (!CheckRenderSettings(s, error)) return false;
  *settings = s;
  return true;
}

bool RenderDocument(RenderSettings settings, const std::string& document, platform::WindowSystem& system,
                    std::FILE* progress, std::string* error) {
  EditorDocument effects;
  if (const DocumentError failed = ReadAnyDocument(document, &effects)) {
    *error = *failed;
    return false;
  }
  if (settings.tag.empty()) settings.tag = DefaultTag(effects);
  if (settings.tag.empty()) {
    *error = document + " holds no effect to render";
    return false;
  }
  std::unique_ptr<platform::Window> window = system.CreateWindow("render", kWindowSide, kWindowSide);
  if (!window) {
    *error = "no window could be made for the graphics device";
    return false;
  }
  RenderSession session;
  CManager* manager = CManager::GetInstance();
  std::string why;
  session.started = true;
  if (FAILED(manager->InitForRender(window.get(), &why))) {
    *error = "the graphics device could not start" + (why.empty() ? std::string() : ": " + why);
    return false;
  }
  *manager->GetEffectTable() = effects.Table();
  session.renderer = EffectRenderer::Start(settings, error);
  if (!session.renderer) return false;
  EffectRenderer& renderer = *session.renderer;
  while (!renderer.Done()) {
    if (platform::TerminationRequested()) {
      *error = "the render was interrupted";
      return false;
    }
    if (!renderer.RenderNext(error)) return false;
    if (progress)
      std::fprintf(progress, "\rrendering %s: %d/%d frames", settings.output.c_str(), renderer.FramesDone(),
                   renderer.FramesToDraw());
  }
  if (progress) std::fputc('\n', progress);
  return true;
}

int RunRenderCommand(const CommandLine& options) {
  std::string error;
  const auto fail = [&] {
    std::fprintf(stderr, "particle-editor: %s; nothing was written\n", error.c_str());
    return 1;
  };
  RenderSettings settings;
  if (!RenderSettingsFrom(options, &settings, &error)) return fail();
  auto system = platform::SdlWindowSystem::CreateOffscreen(&error);
  if (!system) return fail();
  if (!RenderDocument(settings, options.document, *system, ::isatty(STDERR_FILENO) ? stderr : nullptr,
                      &error))
    return fail();
  return 0;
}
