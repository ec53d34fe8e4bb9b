#include "ui/panel_rows.h"

#include "ui/ui_items.h"

namespace {

constexpr const char* kFloatFormat = "%.3f";

bool DrawRowWidget(WidgetState& widgets, const PanelRow& row, const RowFields& fields) {
  switch (row.kind) {
    case RowKind::kDragInt:
      return ui::DragInt(row.label, fields.integer, row.speed, static_cast<int>(row.min),
                         static_cast<int>(row.max), "%d");
    case RowKind::kCheckbox:
      return ui::Checkbox(row.label, fields.flag);
    default:
      break;
  }
  // The fields need not lie side by side (x and z of a vector): the widget edits a copy.
  std::array<float, 4> values{};
  for (std::size_t i = 0; i < values.size(); ++i)
    if (fields.floats[i]) values[i] = *fields.floats[i];
  bool changed = false;
  switch (row.kind) {
    case RowKind::kDragFloat:
      changed = ui::DragFloat(row.label, values.data(), row.speed, row.min, row.max, kFloatFormat);
      break;
    case RowKind::kDragFloat2:
      changed = ui::DragFloat2(row.label, values.data(), row.speed, row.min, row.max, kFloatFormat);
      break;
    case RowKind::kDragFloat3:
      changed = ui::DragFloat3(row.label, values.data(), row.speed, row.min, row.max, kFloatFormat);
      break;
    case RowKind::kColor:
      changed = ColorField(widgets, row.label, values.data());
      break;
    default:
      break;
  }
  if (!changed) return false;
  for (std::size_t i = 0; i < values.size(); ++i)
    if (fields.floats[i]) *fields.floats[i] = values[i];
  return true;
}

}  // namespace

bool DrawRow(WidgetState& widgets, const PanelRow& row, const RowFields& fields) {
  // One group, so that the whole row (a colour's drags, swatch and label) shows its tooltip.
  ImGui::BeginGroup();
  const bool changed = DrawRowWidget(widgets, row, fields);
  ImGui::EndGroup();
  if (widgets.RowTip) ui::ItemTooltip(row.label, widgets.RowTip(row));
  return changed;
}
