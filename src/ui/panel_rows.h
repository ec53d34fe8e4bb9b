#pragma once
// The parameter panels as tables: each row names its label, its widget, its drag speed and
// bounds, and how to reach the fields it edits in the records the panel shows. One routine
// draws a row, so a panel is its tables plus the few rules between them.

#include <array>

#include "ui/widgets.h"
#include "platform/gfx/d3dx_math.h"

enum class RowKind { kDragInt, kDragFloat, kDragFloat2, kDragFloat3, kCheckbox, kColor };

struct PanelRow {
  const char* label;
  RowKind kind;
  float speed = 0.0f;
  float min = 0.0f;  // min and max both 0: no bounds
  float max = 0.0f;
};

// The fields a row edits, in the order its widget shows them (a drag of two may edit x and z).
struct RowFields {
  int* integer = nullptr;
  bool* flag = nullptr;
  std::array<float*, 4> floats{};
};

inline RowFields Int(int& value) { return {.integer = &value}; }
inline RowFields Flag(bool& value) { return {.flag = &value}; }
inline RowFields Floats(float& a) { return {.floats = {&a}}; }
inline RowFields Floats(float& a, float& b) { return {.floats = {&a, &b}}; }
inline RowFields Floats(D3DXVECTOR3& v) { return {.floats = {&v.x, &v.y, &v.z}}; }
inline RowFields Floats(D3DXCOLOR& c) { return {.floats = {&c.r, &c.g, &c.b, &c.a}}; }

// Draws one row on its fields; true when the user changed them this frame. Fields are
// written only then, so showing a row never alters its values.
bool DrawRow(WidgetState& widgets, const PanelRow& row, const RowFields& fields);

// A row with the way to its fields in the records a panel edits.
template <class... Records>
struct BoundRow {
  PanelRow row;
  RowFields (*fields)(Records&...);
};

template <class... Records>
bool DrawRow(WidgetState& widgets, const BoundRow<Records...>& bound, Records&... records) {
  return DrawRow(widgets, bound.row, bound.fields(records...));
}

// Draws every row of a table in order.
template <class Rows, class... Records>
void DrawRows(WidgetState& widgets, const Rows& rows, Records&... records) {
  for (const auto& bound : rows) DrawRow(widgets, bound, records...);
}
