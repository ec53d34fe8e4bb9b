// The library's vector arithmetic, which its internal header defines on request.
#define IMGUI_DEFINE_MATH_OPERATORS
#include "ui/implot.h"

#include <imgui_internal.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

// ---- look -------------------------------------------------------------------------------------

constexpr float kPadding = 8.0f;  // between the frame and what it holds
constexpr float kTickLength = 4.0f;
constexpr float kMinTickSpacing = 40.0f;  // pixels between two tick labels, at least
constexpr float kLineWeight = 1.0f;       // whole pixels draw through the library's line texture
constexpr float kMarkerSize = 4.0f;
constexpr float kMinGrabRadius = 6.0f;
constexpr double kWheelZoom = 0.1;  // share of the range per wheel notch
constexpr int kCircleSegments = 12;
const ImVec4 kPlotBackground{0.06f, 0.06f, 0.08f, 1.0f};
const ImVec4 kGrid{1.0f, 1.0f, 1.0f, 0.12f};
const ImVec4 kBorder{1.0f, 1.0f, 1.0f, 0.35f};
const ImVec4 kSelectionFill{1.0f, 1.0f, 1.0f, 0.12f};
const ImVec4 kSelectionEdge{1.0f, 1.0f, 1.0f, 0.7f};
// Colours of items that were given none, chosen by label so an item keeps its colour.
const std::array<ImVec4, 4> kItemColours{{
    {1.0f, 0.75f, 0.1f, 1.0f},   // amber
    {0.2f, 0.8f, 0.95f, 1.0f},   // cyan
    {0.75f, 0.45f, 1.0f, 1.0f},  // violet
    {1.0f, 0.5f, 0.2f, 1.0f},    // orange
}};

// Marks the hook by which the interface context holds the plot context.
constexpr ImGuiID kHookOwner = 0x504C4F54;  // "PLOT"

bool IsAuto(float value) {
  return value < 0.0f;
}
bool IsAuto(const ImVec4& colour) {
  return colour.w < 0.0f;
}

}  // namespace

// ---- the context ---------------------------------------------------------------------------------

// The plot records live outside the context: a nested class with member initialisers is not
// yet default-constructible where std::optional<Current> below needs it (clang rejects it).
enum class ImPlotHold { kNone, kPoint, kBox };

// What a plot keeps from frame to frame, by its id.
struct ImPlotState {
  std::array<ImPlotRange, ImAxis_COUNT> limits{{{0.0, 1.0}, {0.0, 1.0}}};
  bool shown = false;  // limits given "once" were applied
  ImPlotHold hold = ImPlotHold::kNone;
  int heldPoint = 0;
  ImPlotPoint pointAtPress, mouseAtPress;  // the held point follows the pointer from these
  ImPlotPoint boxStart;
};

// The plot between BeginPlot and EndPlot.
struct ImPlotCurrent {
  ImGuiID id = 0;
  ImPlotState* state = nullptr;
  ImRect frame, area;
  std::string title;
  std::array<std::string, ImAxis_COUNT> labels;
  std::array<ImPlotAxisFlags, ImAxis_COUNT> flags{};
  std::array<bool, ImAxis_COUNT> pinned{};  // limits applied every frame
  bool laidOut = false;
  bool frameHovered = false;
};

struct ImPlotContext {
  using Hold = ImPlotHold;
  using PlotState = ImPlotState;
  using Current = ImPlotCurrent;

  struct MarkerStyle {
    ImPlotMarker marker = IMPLOT_AUTO;
    float size = IMPLOT_AUTO, weight = IMPLOT_AUTO;
    ImVec4 fill = IMPLOT_AUTO_COL, outline = IMPLOT_AUTO_COL;
  };

  std::unordered_map<ImGuiID, PlotState> plots;
  std::optional<Current> plot;
  std::vector<std::pair<ImPlotCol, ImVec4>> colours;
  MarkerStyle nextMarker;
  std::vector<ImVec2> scratch;  // a line's points in pixels
};

namespace ImPlot {

namespace {

ImGuiContextHook* FindHook(ImGuiContext& interface) {
  for (ImGuiContextHook& hook : interface.Hooks)
    if (hook.Owner == kHookOwner && hook.Type == ImGuiContextHookType_Shutdown) return &hook;
  return nullptr;
}

// The interface context owns the plot context through this hook, so the two go together even
// when the plot context is not destroyed first.
void DeleteWithInterface(ImGuiContext*, ImGuiContextHook* hook) {
  std::unique_ptr<ImPlotContext> owned(static_cast<ImPlotContext*>(hook->UserData));
  hook->UserData = nullptr;
}

ImPlotContext& Context() {
  ImPlotContext* context = GetCurrentContext();
  IM_ASSERT(context && "ImPlot::CreateContext() was not called for this interface context");
  return *context;
}

ImPlotContext::Current& Plot() {
  ImPlotContext& context = Context();
  IM_ASSERT(context.plot && "only between BeginPlot and EndPlot");
  return *context.plot;
}

// ---- ranges and ticks

ImPlotRange Usable(double min, double max) {
  if (!std::isfinite(min) || !std::isfinite(max) || !std::isfinite(max - min)) return {0.0, 1.0};
  if (max <= min) max = min + 1.0;
  if (max <= min) return {0.0, 1.0};  // so large that one unit is lost in rounding
  return {min, max};
}

struct Ticks {
  double first = 0.0, step = 1.0;
  int count = 0, decimals = 0;
  double At(int i) const { return first + step * i; }
};

Ticks MakeTicks(const ImPlotRange& range, float pixels, float spacing) {
  const int most = std::max(2, static_cast<int>(pixels / std::max(spacing, 1.0f)));
  const double raw = range.Size() / most;
  const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
  const double scaled = raw / magnitude;
  Ticks ticks;
  ticks.step = magnitude * (scaled <= 1.0 ? 1.0 : scaled <= 2.0 ? 2.0 : scaled <= 5.0 ? 5.0 : 10.0);
  if (!std::isfinite(ticks.step) || ticks.step <= 0.0) return {};
  ticks.first = std::ceil(range.Min / ticks.step) * ticks.step;
  const double count = std::floor((range.Max - ticks.first) / ticks.step + 1e-9) + 1.0;
  ticks.count = static_cast<int>(std::clamp(count, 0.0, most + 2.0));
  ticks.decimals = static_cast<int>(std::clamp(-std::floor(std::log10(ticks.step)), 0.0, 12.0));
  return ticks;
}

std::string TickLabel(double value, int decimals) {
  char text[48];
  std::snprintf(text, sizeof text, "%.*f", decimals, value + 0.0);  // + 0.0: no "-0"
  return text;
}

// ---- layout, input and the background, once the axes are set up

float WidestLabel(const Ticks& ticks) {
  float widest = 0.0f;
  for (int i = 0; i < ticks.count; ++i)
    widest = std::max(widest, ImGui::CalcTextSize(TickLabel(ticks.At(i), ticks.decimals).c_str()).x);
  return widest;
}

void LayOut(ImPlotContext::Current& plot) {
  const float line = ImGui::GetTextLineHeight();
  ImRect area(plot.frame.Min + ImVec2(kPadding, kPadding), plot.frame.Max - ImVec2(kPadding, kPadding));
  if (!plot.title.empty()) area.Min.y += line + kPadding * 0.5f;
  area.Max.y -= line + kTickLength;
  if (!plot.labels[ImAxis_X1].empty()) area.Max.y -= line;
  if (!plot.labels[ImAxis_Y1].empty()) area.Min.y += line;
  const auto& limits = plot.state->limits;
  const Ticks yTicks = MakeTicks(limits[ImAxis_Y1], area.GetHeight(), line * 2.0f);
  area.Min.x += WidestLabel(yTicks) + kTickLength * 2.0f;
  // Whole pixels, so that a spot the pointer can reach maps to a round value at the edges.
  area.Min = ImFloor(area.Min);
  area.Max = ImFloor(area.Max);
  area.Max = ImMax(area.Max, area.Min + ImVec2(1.0f, 1.0f));
  plot.area = area;
}

void Zoom(ImPlotContext::Current& plot, ImAxis axis, double mouse, double notches) {
  const ImPlotAxisFlags flags = plot.flags[axis];
  if (notches == 0.0 || plot.pinned[axis] || (flags & ImPlotAxisFlags_Lock) == ImPlotAxisFlags_Lock) return;
  ImPlotRange& range = plot.state->limits[axis];
  const double scale = std::pow(1.0 - kWheelZoom, notches);
  // The fixed end stays put; otherwise the value under the pointer does.
  const double anchor = (flags & ImPlotAxisFlags_LockMin)   ? range.Min
                        : (flags & ImPlotAxisFlags_LockMax) ? range.Max
                                                            : mouse;
  range = Usable(anchor + (range.Min - anchor) * scale, anchor + (range.Max - anchor) * scale);
}

void StartHold(ImPlotContext::Current& plot, ImPlotContext::Hold hold) {
  plot.state->hold = hold;
  ImGuiWindow* window = ImGui::GetCurrentWindow();
  ImGui::SetActiveID(plot.id, window);
  ImGui::FocusWindow(window);
}

void HandleInput(ImPlotContext::Current& plot) {
  ImPlotContext::PlotState& state = *plot.state;
  const ImGuiIO& io = ImGui::GetIO();
  // Claiming the hover keeps a click on the plot from moving the window.
  plot.frameHovered = ImGui::ItemHoverable(plot.frame, plot.id);
  const bool released = (state.hold == ImPlotContext::Hold::kPoint && !io.MouseDown[ImGuiMouseButton_Left]) ||
                        (state.hold == ImPlotContext::Hold::kBox && !io.MouseDown[ImGuiMouseButton_Right]);
  if (released) {
    state.hold = ImPlotContext::Hold::kNone;
    if (ImGui::GetActiveID() == plot.id) ImGui::ClearActiveID();
  }
  if (!IsPlotHovered()) return;
  const ImPlotPoint mouse = GetPlotMousePos();
  // A plot pinned both ways lets the wheel scroll the window; otherwise the wheel is the
  // plot's from the next frame on, which is when the window would read it.
  if (!plot.pinned[ImAxis_X1] || !plot.pinned[ImAxis_Y1]) {
    ImGui::SetItemUsingMouseWheel();
    Zoom(plot, ImAxis_X1, mouse.x, io.MouseWheel);
    Zoom(plot, ImAxis_Y1, mouse.y, io.MouseWheel);
  }
  if (state.hold == ImPlotContext::Hold::kNone && io.MouseClicked[ImGuiMouseButton_Right]) {
    state.boxStart = mouse;
    StartHold(plot, ImPlotContext::Hold::kBox);
  }
}

void DrawBackground(const ImPlotContext::Current& plot) {
  ImDrawList& draw = *ImGui::GetWindowDrawList();
  const ImRect& area = plot.area;
  const ImU32 text = ImGui::GetColorU32(ImGuiCol_Text);
  const ImU32 grid = ImGui::GetColorU32(kGrid);
  const float line = ImGui::GetTextLineHeight();
  draw.AddRectFilled(area.Min, area.Max, ImGui::GetColorU32(kPlotBackground));

  const auto& limits = plot.state->limits;
  const ImPlotRange& xs = limits[ImAxis_X1];
  const float xSpacing =
      std::max(kMinTickSpacing,
               ImGui::CalcTextSize(TickLabel(std::max(std::abs(xs.Min), std::abs(xs.Max)), 2).c_str()).x +
                   kPadding * 2.0f);
  const Ticks xTicks = MakeTicks(xs, area.GetWidth(), xSpacing);
  for (int i = 0; i < xTicks.count; ++i) {
    const float x = ImFloor(PlotToPixels(xTicks.At(i), 0.0).x) + 0.5f;
    draw.AddLine(ImVec2(x, area.Min.y), ImVec2(x, area.Max.y + kTickLength), grid);
    const std::string label = TickLabel(xTicks.At(i), xTicks.decimals);
    const float width = ImGui::CalcTextSize(label.c_str()).x;
    draw.AddText(ImVec2(x - width * 0.5f, area.Max.y + kTickLength), text, label.c_str());
  }
  const Ticks yTicks = MakeTicks(limits[ImAxis_Y1], area.GetHeight(), line * 2.0f);
  for (int i = 0; i < yTicks.count; ++i) {
    const float y = ImFloor(PlotToPixels(0.0, yTicks.At(i)).y) + 0.5f;
    draw.AddLine(ImVec2(area.Min.x - kTickLength, y), ImVec2(area.Max.x, y), grid);
    const std::string label = TickLabel(yTicks.At(i), yTicks.decimals);
    const ImVec2 size = ImGui::CalcTextSize(label.c_str());
    draw.AddText(ImVec2(area.Min.x - kTickLength * 2.0f - size.x, y - size.y * 0.5f), text, label.c_str());
  }

  if (!plot.title.empty()) {
    const float width = ImGui::CalcTextSize(plot.title.c_str()).x;
    draw.AddText(ImVec2(plot.frame.GetCenter().x - width * 0.5f, plot.frame.Min.y + kPadding), text,
                 plot.title.c_str());
  }
  if (const std::string& label = plot.labels[ImAxis_X1]; !label.empty()) {
    const float width = ImGui::CalcTextSize(label.c_str()).x;
    draw.AddText(ImVec2(area.GetCenter().x - width * 0.5f, area.Max.y + kTickLength + line), text,
                 label.c_str());
  }
  if (const std::string& label = plot.labels[ImAxis_Y1]; !label.empty())
    draw.AddText(ImVec2(plot.frame.Min.x + kPadding, area.Min.y - line), text, label.c_str());
}

// Everything that needs the axes: called by the first call that maps a value.
ImPlotContext::Current& SetUpPlot() {
  ImPlotContext::Current& plot = Plot();
  if (plot.laidOut) return plot;
  plot.laidOut = true;
  plot.state->shown = true;
  LayOut(plot);
  HandleInput(plot);
  DrawBackground(plot);
  // Items are clipped to the area until EndPlot: once, not per item.
  ImGui::GetWindowDrawList()->PushClipRect(plot.area.Min, plot.area.Max, true);
  return plot;
}

// ---- items

// Plot to screen for the current plot, worked out once for a whole item.
class Mapping {
 public:
  explicit Mapping(const ImPlotContext::Current& plot)
      : left_(plot.area.Min.x),
        bottom_(plot.area.Max.y),
        xMin_(plot.state->limits[ImAxis_X1].Min),
        yMin_(plot.state->limits[ImAxis_Y1].Min),
        xScale_(plot.area.GetWidth() / plot.state->limits[ImAxis_X1].Size()),
        yScale_(plot.area.GetHeight() / plot.state->limits[ImAxis_Y1].Size()) {}
  ImVec2 operator()(double x, double y) const {
    return ImVec2(static_cast<float>(left_ + (x - xMin_) * xScale_),
                  static_cast<float>(bottom_ - (y - yMin_) * yScale_));
  }

 private:
  double left_, bottom_, xMin_, yMin_, xScale_, yScale_;
};

ImVec4 ItemColour(const char* label) {
  return kItemColours[ImHashStr(label) % kItemColours.size()];
}

std::optional<ImVec4> PushedColour(ImPlotCol item) {
  const auto& colours = Context().colours;
  for (auto it = colours.rbegin(); it != colours.rend(); ++it)
    if (it->first == item) return it->second;
  return std::nullopt;
}

ImVec4 LineColour(const char* label) {
  return PushedColour(ImPlotCol_Line).value_or(ItemColour(label));
}

double Element(const double* values, int index, int stride) {
  return *reinterpret_cast<const double*>(reinterpret_cast<const char*>(values) +
                                          static_cast<std::ptrdiff_t>(index) * stride);
}

// Visits the count values in plotting order: item i is element (offset + i) modulo count.
template <typename Visit>
void ForEachPoint(const double* xs, const double* ys, int count, int offset, int stride, Visit&& visit) {
  if (count <= 0 || !xs || !ys) return;
  int index = static_cast<int>(((static_cast<long long>(offset) % count) + count) % count);
  for (int i = 0; i < count; ++i) {
    visit(ImPlotPoint(Element(xs, index, stride), Element(ys, index, stride)));
    if (++index == count) index = 0;
  }
}

// Far-away points are pulled in to a distance the draw list still handles exactly.
ImVec2 Drawable(ImVec2 pixels) {
  constexpr float kFar = 1.0e6f;
  const auto pull = [](float v) {
    return v > -kFar && v < kFar ? v : v >= kFar ? kFar : v <= -kFar ? -kFar : 0.0f;
  };
  return ImVec2(pull(pixels.x), pull(pixels.y));
}

template <int kSegments>
const std::array<ImVec2, kSegments>& UnitCircle() {
  static const std::array<ImVec2, kSegments> kUnit = [] {
    std::array<ImVec2, kSegments> unit;
    for (int i = 0; i < kSegments; ++i) {
      const float angle = 2.0f * IM_PI * static_cast<float>(i) / kSegments;
      unit[i] = ImVec2(std::cos(angle), std::sin(angle));
    }
    return unit;
  }();
  return kUnit;
}

// The triangles of a circle of n sides with its soft edge, as offsets from its first vertex:
// a fan over the inner vertices, then two triangles per side of the edge ring.
template <int n>
constexpr std::array<unsigned short, 3 * (n - 2) + 6 * n> kCircleIndices = [] {
  std::array<unsigned short, 3 * (n - 2) + 6 * n> pattern{};
  std::size_t k = 0;
  const auto put = [&](int vertex) { pattern[k++] = static_cast<unsigned short>(vertex); };
  for (int i = 2; i < n; ++i) put(0), put(2 * (i - 1)), put(2 * i);
  for (int i = 0; i < n; ++i) {
    const int j = (i + 1) % n;
    put(2 * i), put(2 * i + 1), put(2 * j + 1), put(2 * i), put(2 * j + 1), put(2 * j);
  }
  return pattern;
}();

// A filled circle with a one-pixel soft edge, written straight into the draw list through
// local pointers: a plot may draw thousands a frame, and the library's own circles cost several
// times as much.
template <int kSegments>
void FillCircle(ImDrawList& draw, ImVec2 centre, float radius, ImU32 colour) {
  constexpr int n = kSegments, indices = 3 * (n - 2) + 6 * n;
  const std::array<ImVec2, n>& unit = UnitCircle<n>();
  const ImVec2 uv = draw._Data->TexUvWhitePixel;
  const ImU32 edge = colour & ~IM_COL32_A_MASK;
  const float inner = std::max(radius - 0.5f, 0.0f), outer = radius + 0.5f;
  draw.PrimReserve(indices, 2 * n);
  ImDrawVert* vertex = draw._VtxWritePtr;
  ImDrawIdx* index = draw._IdxWritePtr;
  const unsigned base = draw._VtxCurrentIdx;
  for (int i = 0; i < n; ++i) {  // vertex 2i inside, 2i + 1 on the soft edge
    vertex[2 * i] = {ImVec2(centre.x + unit[i].x * inner, centre.y + unit[i].y * inner), uv, colour};
    vertex[2 * i + 1] = {ImVec2(centre.x + unit[i].x * outer, centre.y + unit[i].y * outer), uv, edge};
  }
  for (int k = 0; k < indices; ++k) index[k] = static_cast<ImDrawIdx>(base + kCircleIndices<n>[k]);
  draw._VtxWritePtr += 2 * n;
  draw._IdxWritePtr += indices;
  draw._VtxCurrentIdx += 2 * n;
}

// Small circles need fewer sides to look round.
void FillCircle(ImDrawList& draw, ImVec2 centre, float radius, ImU32 colour) {
  if (radius <= 5.0f) {
    FillCircle<6>(draw, centre, radius, colour);
  } else if (radius <= 10.0f) {
    FillCircle<10>(draw, centre, radius, colour);
  } else {
    FillCircle<kCircleSegments>(draw, centre, radius, colour);
  }
}

// The outline is drawn only where it differs from the fill.
void DrawMarker(ImDrawList& draw, ImVec2 at, ImPlotMarker marker, float size, ImU32 fill, ImU32 outline,
                float weight) {
  const bool edged = outline != fill && weight > 0.0f;
  const ImVec2 half(size, size);
  if (marker == ImPlotMarker_Square) {
    draw.AddRectFilled(at - half, at + half, fill);
    if (edged) draw.AddRect(at - half, at + half, outline, 0.0f, 0, weight);
  } else if (marker == ImPlotMarker_Circle) {
    FillCircle(draw, at, size, fill);
    if (edged) draw.AddCircle(at, size, outline, kCircleSegments, weight);
  }
}

}  // namespace

// ---- contexts ------------------------------------------------------------------------------------

ImPlotContext* CreateContext() {
  ImGuiContext* interface = ImGui::GetCurrentContext();
  IM_ASSERT(interface && "the interface context comes first");
  if (ImGuiContextHook* hook = FindHook(*interface)) return static_cast<ImPlotContext*>(hook->UserData);
  auto context = std::make_unique<ImPlotContext>();
  ImGuiContextHook hook;
  hook.Type = ImGuiContextHookType_Shutdown;
  hook.Owner = kHookOwner;
  hook.Callback = DeleteWithInterface;
  hook.UserData = context.get();
  ImGui::AddContextHook(interface, &hook);
  return context.release();  // the hook owns it from here
}

void DestroyContext(ImPlotContext* context) {
  ImGuiContext* interface = ImGui::GetCurrentContext();
  if (!interface) return;
  ImGuiContextHook* hook = FindHook(*interface);
  if (!hook || (context && hook->UserData != context)) return;
  DeleteWithInterface(interface, hook);
  ImGui::RemoveContextHook(interface, hook->HookId);
}

ImPlotContext* GetCurrentContext() {
  ImGuiContext* interface = ImGui::GetCurrentContext();
  ImGuiContextHook* hook = interface ? FindHook(*interface) : nullptr;
  return hook ? static_cast<ImPlotContext*>(hook->UserData) : nullptr;
}

// ---- the plot ------------------------------------------------------------------------------------

bool BeginPlot(const char* title, const ImVec2& size, ImPlotFlags) {
  ImPlotContext& context = Context();
  IM_ASSERT(!context.plot && "EndPlot was not called for the last plot");
  ImGuiWindow* window = ImGui::GetCurrentWindow();
  if (window->SkipItems) return false;
  const ImGuiID id = window->GetID(title);
  const ImVec2 frameSize = ImGui::CalcItemSize(ImVec2(size.x, size.y > 0.0f ? size.y : kDefaultPlotHeight),
                                               ImGui::GetContentRegionAvail().x, kDefaultPlotHeight);
  const ImRect frame(window->DC.CursorPos, window->DC.CursorPos + frameSize);
  ImGui::ItemSize(frame);
  if (!ImGui::ItemAdd(frame, id)) return false;

  ImPlotContext::Current& plot = context.plot.emplace();
  plot.id = id;
  plot.state = &context.plots[id];
  plot.frame = frame;
  plot.title.assign(title, ImGui::FindRenderedTextEnd(title));
  return true;
}

void EndPlot() {
  ImPlotContext::Current& plot = SetUpPlot();
  ImDrawList& draw = *ImGui::GetWindowDrawList();
  if (IsPlotSelected()) {
    const ImPlotRect box = GetPlotSelection();
    const ImVec2 a = Drawable(PlotToPixels(box.X.Min, box.Y.Max)),
                 b = Drawable(PlotToPixels(box.X.Max, box.Y.Min));
    draw.AddRectFilled(a, b, ImGui::GetColorU32(kSelectionFill));
    draw.AddRect(a, b, ImGui::GetColorU32(kSelectionEdge));
  }
  draw.PopClipRect();
  draw.AddRect(plot.area.Min, plot.area.Max, ImGui::GetColorU32(kBorder));
  Context().plot.reset();
}

void SetupAxes(const char* xLabel, const char* yLabel, ImPlotAxisFlags xFlags, ImPlotAxisFlags yFlags) {
  ImPlotContext::Current& plot = Plot();
  IM_ASSERT(!plot.laidOut && "set up before plotting");
  const auto visible = [](const char* label) {
    return label ? std::string(label, ImGui::FindRenderedTextEnd(label)) : std::string();
  };
  plot.labels = {visible(xLabel), visible(yLabel)};
  plot.flags = {xFlags, yFlags};
}

void SetupAxisLimits(ImAxis axis, double min, double max, ImPlotCond cond) {
  ImPlotContext::Current& plot = Plot();
  IM_ASSERT(!plot.laidOut && "set up before plotting");
  if (axis < 0 || axis >= ImAxis_COUNT) return;
  const bool always = cond == ImPlotCond_Always;
  plot.pinned[axis] = always;
  if (always || !plot.state->shown) plot.state->limits[axis] = Usable(min, max);
}

// ---- queries ---------------------------------------------------------------------------------------

bool IsPlotHovered() {
  const ImPlotContext::Current& plot = SetUpPlot();
  return plot.frameHovered && plot.area.Contains(ImGui::GetIO().MousePos);
}

ImPlotPoint GetPlotMousePos() {
  return PixelsToPlot(ImGui::GetIO().MousePos);
}

ImVec2 GetPlotPos() {
  return SetUpPlot().area.Min;
}

ImVec2 GetPlotSize() {
  return SetUpPlot().area.GetSize();
}

ImVec2 PlotToPixels(double x, double y) {
  return Mapping(SetUpPlot())(x, y);
}

ImPlotPoint PixelsToPlot(const ImVec2& pixels) {
  const ImPlotContext::Current& plot = SetUpPlot();
  const ImPlotRange &xs = plot.state->limits[ImAxis_X1], &ys = plot.state->limits[ImAxis_Y1];
  return ImPlotPoint(xs.Min + (pixels.x - plot.area.Min.x) / plot.area.GetWidth() * xs.Size(),
                     ys.Min + (plot.area.Max.y - pixels.y) / plot.area.GetHeight() * ys.Size());
}

bool IsPlotSelected() {
  const ImPlotContext::Current& plot = SetUpPlot();
  if (plot.state->hold != ImPlotContext::Hold::kBox) return false;
  // A box the pointer has not yet opened is no selection.
  const ImVec2 start = PlotToPixels(plot.state->boxStart.x, plot.state->boxStart.y);
  const ImVec2 extent = ImGui::GetIO().MousePos - start;
  const float threshold = ImGui::GetIO().MouseDragThreshold;
  return std::abs(extent.x) >= threshold || std::abs(extent.y) >= threshold;
}

ImPlotRect GetPlotSelection(ImAxis, ImAxis) {
  if (!IsPlotSelected()) return {};
  const ImPlotContext::Current& plot = SetUpPlot();
  const ImVec2 mouse = ImClamp(ImGui::GetIO().MousePos, plot.area.Min, plot.area.Max);
  const ImPlotPoint start = plot.state->boxStart, end = PixelsToPlot(mouse);
  return {{std::min(start.x, end.x), std::max(start.x, end.x)},
          {std::min(start.y, end.y), std::max(start.y, end.y)}};
}

// ---- items -------------------------------------------------------------------------------------------

bool DragPoint(int id, double* x, double* y, const ImVec4& colour, float size, ImPlotDragToolFlags) {
  ImPlotContext::Current& plot = SetUpPlot();
  ImPlotContext::PlotState& state = *plot.state;
  const ImGuiIO& io = ImGui::GetIO();
  const Mapping map(plot);
  const ImVec2 at = map(*x, *y);
  const float radius = std::max(size, kMinGrabRadius);
  const bool hovered = plot.frameHovered && state.hold == ImPlotContext::Hold::kNone &&
                       ImLengthSqr(io.MousePos - at) <= radius * radius;
  if (hovered && io.MouseClicked[ImGuiMouseButton_Left]) {
    state.heldPoint = id;
    state.pointAtPress = ImPlotPoint(*x, *y);
    state.mouseAtPress = GetPlotMousePos();
    StartHold(plot, ImPlotContext::Hold::kPoint);
  }
  const bool held = state.hold == ImPlotContext::Hold::kPoint && state.heldPoint == id;
  bool moved = false;
  if (held) {
    // Measured from the press, so the caller may round the point between frames.
    const ImPlotPoint mouse = GetPlotMousePos();
    const double nx = state.pointAtPress.x + (mouse.x - state.mouseAtPress.x);
    const double ny = state.pointAtPress.y + (mouse.y - state.mouseAtPress.y);
    moved = nx != *x || ny != *y;
    *x = nx;
    *y = ny;
  }

  ImDrawList& draw = *ImGui::GetWindowDrawList();
  const ImVec2 now = Drawable(held ? map(*x, *y) : at);
  const ImU32 fill = ImGui::GetColorU32(colour);
  FillCircle(draw, now, size, fill);
  if (hovered || held) draw.AddCircle(now, size + 2.0f, fill, 0, 1.5f);
  return moved;
}

void PlotLine(const char* label, const double* xs, const double* ys, int count, ImPlotLineFlags, int offset,
              int stride) {
  ImPlotContext::Current& plot = SetUpPlot();
  ImPlotContext& context = Context();
  const ImU32 colour = ImGui::GetColorU32(LineColour(label));
  context.nextMarker = {};
  std::vector<ImVec2>& points = context.scratch;
  points.clear();
  ForEachPoint(xs, ys, count, offset, stride,
               [&, map = Mapping(plot)](const ImPlotPoint& p) { points.push_back(Drawable(map(p.x, p.y))); });
  if (points.size() < 2) return;
  ImGui::GetWindowDrawList()->AddPolyline(points.data(), static_cast<int>(points.size()), colour, 0,
                                          kLineWeight);
}

void PlotScatter(const char* label, const double* xs, const double* ys, int count, ImPlotScatterFlags,
                 int offset, int stride) {
  ImPlotContext::Current& plot = SetUpPlot();
  ImPlotContext& context = Context();
  const ImPlotContext::MarkerStyle style = std::exchange(context.nextMarker, {});
  const ImPlotMarker marker = style.marker == IMPLOT_AUTO ? ImPlotMarker_Circle : style.marker;
  const float size = IsAuto(style.size) ? kMarkerSize : style.size;
  const float weight = IsAuto(style.weight) ? 1.0f : style.weight;
  const ImVec4 fill =
      IsAuto(style.fill) ? PushedColour(ImPlotCol_MarkerFill).value_or(LineColour(label)) : style.fill;
  const ImU32 fillColour = ImGui::GetColorU32(fill);
  const ImU32 outline = ImGui::GetColorU32(IsAuto(style.outline) ? fill : style.outline);
  if (marker == ImPlotMarker_None) return;

  ImDrawList& draw = *ImGui::GetWindowDrawList();
  ImRect visible = plot.area;
  visible.Expand(size + weight);
  ForEachPoint(xs, ys, count, offset, stride, [&, map = Mapping(plot)](const ImPlotPoint& p) {
    const ImVec2 at = map(p.x, p.y);
    if (visible.Contains(at)) DrawMarker(draw, at, marker, size, fillColour, outline, weight);
  });
}

// ---- style ---------------------------------------------------------------------------------------------

void PushStyleColor(ImPlotCol item, const ImVec4& colour) {
  Context().colours.emplace_back(item, colour);
}

void PopStyleColor(int count) {
  auto& colours = Context().colours;
  IM_ASSERT(count <= static_cast<int>(colours.size()) && "more colours popped than pushed");
  colours.resize(colours.size() - std::clamp(count, 0, static_cast<int>(colours.size())));
}

void SetNextMarkerStyle(ImPlotMarker marker, float size, const ImVec4& fill, float weight,
                        const ImVec4& outline) {
  Context().nextMarker = {marker, size, weight, fill, outline};
}

}  // namespace ImPlot
