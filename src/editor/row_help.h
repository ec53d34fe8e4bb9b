#pragma once
// What each row of the particle panels means, in one table beside the row tables: what the
// value does and its unit. A row's tooltip adds the range the row itself allows.

#include <span>
#include <string>

#include "ui/panel_rows.h"

struct RowHelp {
  const char* label;
  const char* what;
  const char* unit;
};

std::span<const RowHelp> RowHelpTable();
// The tooltip of a row: what it does, its unit and its range; empty for a row the table lacks.
std::string RowTooltip(const PanelRow& row);
