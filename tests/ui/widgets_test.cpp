// The editor's small widgets, built in a window of the test's own every frame as the editor
// builds its windows, and driven only by mouse input through the editor window's events.

#include "ui/widgets.h"

#include <gtest/gtest.h>
#include <imgui.h>

#include <cmath>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include "ui/ui_items.h"
#include "resource/texture_manager.h"
#include "support/editor_fixture.h"

namespace {

// A spot of the editor window outside every window of the interface.
const ImVec2 kVoid(10, 990);

bool Same(ImVec2 a, ImVec2 b) {
  return a.x == b.x && a.y == b.y;
}
bool Inside(ImVec2 p, ImVec2 min, ImVec2 max) {
  return p.x >= min.x && p.y >= min.y && p.x <= max.x && p.y <= max.y;
}
ImVec2 Plus(ImVec2 a, ImVec2 b) {
  return ImVec2(a.x + b.x, a.y + b.y);
}

// A quad as the draw list lays one out: corners clockwise from the top left before any turn.
struct Quad {
  ImVec2 corner[4];
  ImVec2 uv[4];
  ImVec2 Centre() const {
    return ImVec2((corner[0].x + corner[2].x) * 0.5f, (corner[0].y + corner[2].y) * 0.5f);
  }
  // How far the top edge is turned from the horizontal, in degrees (clockwise on screen).
  float TurnDegrees() const {
    return std::atan2(corner[1].y - corner[0].y, corner[1].x - corner[0].x) * 180.0f /
           std::numbers::pi_v<float>;
  }
};

// The quads drawn with the texture in the last frame: commands of their own, six indices each.
std::vector<Quad> QuadsWithTexture(ImTextureID texture) {
  std::vector<Quad> quads;
  const ImDrawData* data = ImGui::GetDrawData();
  for (int l = 0; data && l < data->CmdListsCount; ++l) {
    const ImDrawList* list = data->CmdLists[l];
    for (const ImDrawCmd& cmd : list->CmdBuffer) {
      if (cmd.TextureId != texture || cmd.UserCallback) continue;
      for (unsigned e = 0; e + 6 <= cmd.ElemCount; e += 6) {
        const ImDrawIdx* idx = &list->IdxBuffer[static_cast<int>(cmd.IdxOffset + e)];
        Quad quad;
        const ImDrawIdx corners[4] = {idx[0], idx[1], idx[2], idx[5]};
        for (int c = 0; c < 4; ++c) {
          const ImDrawVert& v = list->VtxBuffer[static_cast<int>(cmd.VtxOffset + corners[c])];
          quad.corner[c] = v.pos;
          quad.uv[c] = v.uv;
        }
        quads.push_back(quad);
      }
    }
  }
  return quads;
}

// Whether the last frame drew an untextured white quad exactly over the rectangle.
bool WhiteQuadOver(ImVec2 min, ImVec2 max) {
  const ImVec2 white = ImGui::GetIO().Fonts->TexUvWhitePixel;
  const ImVec2 corners[4] = {min, ImVec2(max.x, min.y), max, ImVec2(min.x, max.y)};
  const ImDrawData* data = ImGui::GetDrawData();
  for (int l = 0; data && l < data->CmdListsCount; ++l) {
    const ImVector<ImDrawVert>& v = data->CmdLists[l]->VtxBuffer;
    for (int i = 0; i + 3 < v.Size; ++i) {
      bool match = true;
      for (int c = 0; c < 4 && match; ++c)
        match = Same(v[i + c].pos, corners[c]) && Same(v[i + c].uv, white) && v[i + c].col == IM_COL32_WHITE;
      if (match) return true;
    }
  }
  return false;
}

// The characters the last frame drew inside the rectangle, in drawing order, read back from
// the font atlas coordinates of each glyph quad (spaces draw nothing).
std::string DrawnText(ImVec2 min, ImVec2 max) {
  const ImFont* font = ImGui::GetIO().Fonts->Fonts[0];
  std::string text;
  const ImDrawData* data = ImGui::GetDrawData();
  for (int l = 0; data && l < data->CmdListsCount; ++l) {
    const ImVector<ImDrawVert>& v = data->CmdLists[l]->VtxBuffer;
    for (int i = 0; i + 3 < v.Size; ++i) {
      if (!Inside(v[i].pos, min, max)) continue;
      for (char c = '!'; c <= '~'; ++c) {
        const ImFontGlyph* g = font->FindGlyphNoFallback(static_cast<ImWchar>(c));
        if (g && Same(v[i].uv, ImVec2(g->U0, g->V0)) && Same(v[i + 2].uv, ImVec2(g->U1, g->V1))) {
          text += c;
          i += 3;
          break;
        }
      }
    }
  }
  return text;
}

class EditorWidgetsTest : public EditorTest {
 protected:
  // The widgets the test window holds from the next frame on.
  void Show(std::function<void()> widgets) { widgets_ = std::move(widgets); }

  // Whole frames, each with the test window built after the editor's, clear of its main window.
  void Step(int count = 1) {
    Frame(count, [this] {
      ImGui::SetNextWindowPos(ImVec2(420, 450));
      ImGui::SetNextWindowSize(ImVec2(270, 500));
      ui::Begin("Test");
      if (widgets_) widgets_();
      ImGui::End();
    });
  }
  void Point(ImVec2 at) {
    mouse_ = at;
    MoveMouse(at);
    Step();
  }
  void Press(bool down) {
    MouseButton(down);
    Step();
  }
  // Points, presses, releases, and shows a frame more so the result is on screen.
  void ClickOn(ImVec2 at) {
    Point(at);
    Press(true);
    Press(false);
    Step();
  }
  void ClickOn(const std::string& label, const std::string& window = "") {
    ClickOn(Find(label, window).Centre());
  }
  // Presses at from, carries the pointer to to in steps of a frame each, and releases there.
  void Drag(ImVec2 from, ImVec2 to, int steps = 5) {
    Point(from);
    Press(true);
    for (int i = 1; i <= steps; ++i) {
      const float t = static_cast<float>(i) / static_cast<float>(steps);
      Point(ImVec2(from.x + (to.x - from.x) * t, from.y + (to.y - from.y) * t));
    }
    Step();
    Press(false);
    Step();
  }

  // Every item drawn last frame under the label in the window, in drawing order.
  std::vector<ui::LoggedItem> All(const std::string& label, const std::string& window) const {
    std::vector<ui::LoggedItem> items;
    for (const ui::LoggedItem& item : Log().Items())
      if (item.label == label && item.window == window) items.push_back(item);
    return items;
  }
  // The text shown in a combo of the test window; with a hidden label, its rectangle holds only
  // the preview (and the arrow, which is no glyph).
  std::string Preview(const std::string& combo) const {
    const ui::LoggedItem item = Find(combo, "Test");
    return DrawnText(item.min, item.max);
  }

  std::function<void()> widgets_;
};

// ---- ComboList and ToggleButton ------------------------------------------------------------

TEST_F(EditorWidgetsTest, ComboListPreviewsTheSelectionAndActsOnEveryChoice) {
  std::vector<std::string> entries{"Apple", "Banana", "Cherry"};
  int selection = 1;
  int calls = 0;
  Show([&] { ComboList(selection, entries, "##fruit", [&] { ++calls; }); });
  Step();
  EXPECT_EQ(Preview("##fruit"), "Banana");

  // Choosing the entry already selected still acts, every time.
  for (int round = 1; round <= 2; ++round) {
    ClickOn("##fruit", "Test");
    ClickOn("Banana");
    EXPECT_EQ(selection, 1);
    EXPECT_EQ(calls, round);
    EXPECT_FALSE(Shown("Banana")) << "choosing closes the list";
  }
  ClickOn("##fruit", "Test");
  ClickOn("Cherry");
  EXPECT_EQ(selection, 2);
  EXPECT_EQ(calls, 3);
  EXPECT_EQ(Preview("##fruit"), "Cherry");

  // A selection outside the list previews nothing, and any entry can still be chosen.
  for (const int outside : {-1, 3}) {
    SCOPED_TRACE(outside);
    selection = outside;
    Step();
    EXPECT_EQ(Preview("##fruit"), "");
    ClickOn("##fruit", "Test");
    ClickOn("Apple");
    EXPECT_EQ(selection, 0);
    EXPECT_EQ(Preview("##fruit"), "Apple");
  }
  EXPECT_EQ(calls, 5);

  entries.clear();
  Step();
  EXPECT_EQ(Preview("##fruit"), "");
  ClickOn("##fruit", "Test");
  EXPECT_FALSE(Shown("Apple"));
  ClickOn(kVoid);
  EXPECT_EQ(selection, 0);
  EXPECT_EQ(calls, 5);
}

TEST_F(EditorWidgetsTest, ToggleButtonNamesWhatPressingItDoes) {
  bool flag = false;
  Show([&] { ToggleButton(flag, "Shader"); });
  Step();
  for (const bool expected : {true, false, true}) {
    const std::string shown = flag ? "DisableShader" : "EnableShader";
    EXPECT_TRUE(Shown(shown, "Test"));
    EXPECT_FALSE(Shown(flag ? "EnableShader" : "DisableShader", "Test"));
    ClickOn(shown, "Test");
    EXPECT_EQ(flag, expected);
  }
  EXPECT_TRUE(Shown("DisableShader", "Test"));
}

// ---- IconButton ------------------------------------------------------------------------------

TEST_F(EditorWidgetsTest, IconButtonWobblesWhileHoveredAndClicksOnce) {
  const gfx::Texture* texture = Manager()->GetTextureManager()->GetTexture(true, "ICON_PARTICLE");
  ASSERT_NE(texture, nullptr);
  const auto id = reinterpret_cast<ImTextureID>(texture->NativeHandle());
  WidgetState state;
  int clicks = 0, missingClicks = 0;
  Show([&] {
    clicks += IconButton(state, texture, "ICON_PARTICLE", ImVec2(100, 100));
    missingClicks += IconButton(state, nullptr, "NO_SUCH_ICON", ImVec2(60, 60));
  });
  Step();
  const ui::LoggedItem icon = Find("ICON_PARTICLE", "Test");
  // The editor's main window shows the same icon: ours is the quad centred on our button.
  const auto ours = [&] {
    for (const Quad& quad : QuadsWithTexture(id))
      if (std::abs(quad.Centre().x - icon.Centre().x) < 0.01f &&
          std::abs(quad.Centre().y - icon.Centre().y) < 0.01f)
        return quad;
    ADD_FAILURE() << "no quad of the icon's texture over the button";
    return Quad{};
  };

  Quad quad = ours();
  const ImVec2 square[4] = {icon.min, ImVec2(icon.max.x, icon.min.y), icon.max,
                            ImVec2(icon.min.x, icon.max.y)};
  const ImVec2 uv[4] = {ImVec2(0, 0), ImVec2(1, 0), ImVec2(1, 1), ImVec2(0, 1)};
  for (int c = 0; c < 4; ++c) {
    EXPECT_TRUE(Same(quad.corner[c], square[c])) << c;
    EXPECT_TRUE(Same(quad.uv[c], uv[c])) << c;
  }

  // 2.5 degrees of phase a hovered frame: 36 frames reach 90, a swing of sin(90) * 20 degrees.
  Point(icon.Centre());
  Step(35);
  quad = ours();
  EXPECT_NEAR(quad.TurnDegrees(), 20.0f, 0.01f);
  EXPECT_NEAR(std::hypot(quad.corner[1].x - quad.corner[0].x, quad.corner[1].y - quad.corner[0].y), 100.0f,
              0.01f);

  // Away from it the icon lies square and keeps its phase: 12 more frames make 120 degrees.
  Point(kVoid);
  Step(10);
  quad = ours();
  for (int c = 0; c < 4; ++c) EXPECT_TRUE(Same(quad.corner[c], square[c])) << c;
  Point(icon.Centre());
  Step(11);
  EXPECT_NEAR(ours().TurnDegrees(), 20.0f * std::sin(120.0f * std::numbers::pi_v<float> / 180.0f), 0.01f);

  EXPECT_EQ(clicks, 0);
  ClickOn(icon.Centre());
  Step(3);
  EXPECT_EQ(clicks, 1);

  // A name missing from the catalog still makes a button: a plain white square.
  const ui::LoggedItem missing = Find("NO_SUCH_ICON", "Test");
  EXPECT_TRUE(WhiteQuadOver(missing.min, missing.max));
  ClickOn(missing.Centre());
  EXPECT_EQ(missingClicks, 1);
  EXPECT_EQ(clicks, 1);
}

// ---- ColorField and PalettePicker --------------------------------------------------------------

TEST_F(EditorWidgetsTest, ColorFieldDragsChangeOnlyTheirOwnField) {
  WidgetState state;
  float colour[4] = {0.2f, 0.4f, 0.6f, 1.0f};
  float dest[4] = {0.5f, 0.5f, 0.5f, 1.0f};
  int colourChanges = 0, destChanges = 0;
  Show([&] {
    colourChanges += ColorField(state, "Color", colour);
    destChanges += ColorField(state, "DestColor", dest);
  });
  Step();
  const std::vector<ui::LoggedItem> red = All("##X", "Test");
  const std::vector<ui::LoggedItem> alpha = All("##W", "Test");
  ASSERT_EQ(red.size(), 2u);
  ASSERT_EQ(alpha.size(), 2u);

  // One 8-bit step a pixel.
  Drag(red[0].Centre(), Plus(red[0].Centre(), ImVec2(40, 0)), 4);
  EXPECT_NEAR(colour[0], 0.2f + 40.0f / 255.0f, 0.01f);
  EXPECT_EQ(colour[1], 0.4f);
  EXPECT_EQ(colour[2], 0.6f);
  EXPECT_EQ(colour[3], 1.0f);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(dest[i], i < 3 ? 0.5f : 1.0f) << i;
  EXPECT_GT(colourChanges, 0);
  EXPECT_EQ(destChanges, 0);

  const float red0 = colour[0];
  colourChanges = 0;
  Drag(alpha[1].Centre(), Plus(alpha[1].Centre(), ImVec2(-30, 0)), 3);
  EXPECT_NEAR(dest[3], 1.0f - 30.0f / 255.0f, 0.01f);
  EXPECT_EQ(dest[0], 0.5f);
  EXPECT_EQ(colour[0], red0);
  EXPECT_EQ(colour[3], 1.0f);
  EXPECT_GT(destChanges, 0);
  EXPECT_EQ(colourChanges, 0);
}

TEST_F(EditorWidgetsTest, PalettePopupRestoresTheOriginalAndKeepsDroppedColours) {
  WidgetState state;
  float colour[4] = {0.2f, 0.4f, 0.6f, 0.25f};
  Show([&] { ColorField(state, "Color", colour); });
  Step();
  const auto rgbIs = [&](const ImVec4& c) {
    return colour[0] == c.x && colour[1] == c.y && colour[2] == c.z;
  };
  const ImVec4 original(0.2f, 0.4f, 0.6f, 0.25f);

  ClickOn("!", "Test");
  Step(2);
  ASSERT_TRUE(Shown("##picker"));

  // The palette: 32 hues at saturation and value 0.8; a swatch sets the colour but not its alpha.
  ImVec4 hue10(0, 0, 0, 1);
  ImGui::ColorConvertHSVtoRGB(10.0f / 31.0f, 0.8f, 0.8f, hue10.x, hue10.y, hue10.z);
  ImVec4 hue31(0, 0, 0, 1);
  ImGui::ColorConvertHSVtoRGB(1.0f, 0.8f, 0.8f, hue31.x, hue31.y, hue31.z);
  EXPECT_EQ(state.Palette[31].x, hue31.x);
  EXPECT_EQ(state.Palette[31].y, hue31.y);
  EXPECT_EQ(state.Palette[31].z, hue31.z);
  ClickOn("##palette10");
  EXPECT_TRUE(rgbIs(hue10));
  EXPECT_EQ(colour[3], 0.25f);

  // The picker changes the colour; "Original" brings back the one the popup opened with.
  const ui::LoggedItem picker = Find("##picker");
  ClickOn(Plus(picker.min, ImVec2(10, 10)));
  EXPECT_FALSE(rgbIs(hue10)) << "the click in the picker changes the colour";
  ASSERT_TRUE(Shown("##picker"));
  ClickOn("##original");
  EXPECT_TRUE(rgbIs(original));
  EXPECT_EQ(colour[3], original.w);

  // A colour dropped on a swatch replaces it; the swatch then gives that colour.
  Drag(Find("##current").Centre(), Find("##palette3").Centre());
  EXPECT_EQ(state.Palette[3].x, original.x);
  EXPECT_EQ(state.Palette[3].y, original.y);
  EXPECT_EQ(state.Palette[3].z, original.z);
  ClickOn("##palette10");
  ASSERT_TRUE(rgbIs(hue10));
  ClickOn("##palette3");
  EXPECT_TRUE(rgbIs(original));
  ClickOn("##palette10");

  // Closed and opened again from the swatch: the palette is not made anew, and "Original" is
  // now the colour of this opening.
  ClickOn(kVoid);
  EXPECT_FALSE(Shown("##picker"));
  ClickOn("Color", "Test");
  Step(2);
  ASSERT_TRUE(Shown("##picker"));
  ClickOn("##palette3");
  EXPECT_TRUE(rgbIs(original));
  ClickOn("##original");
  EXPECT_TRUE(rgbIs(hue10));
  EXPECT_EQ(colour[3], 0.25f);
}

}  // namespace
