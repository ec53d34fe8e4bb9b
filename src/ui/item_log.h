#pragma once
// What the editor drew in its last frame: each labelled item with its window and screen
// rectangle. The library's own build has no test hooks, so the editor's item helpers
// (ui_items.h) fill this log while one is installed; tests and drivers find widgets in it
// by label and click them through the library's input.

#include <imgui.h>

#include <string>
#include <string_view>
#include <vector>

namespace ui {

struct LoggedItem {
  std::string window;  // the library's name of the window the item sits in
  std::string label;
  ImVec2 min, max;
  std::string kind = {};  // the widget: "DragFloat3", "Checkbox", "Combo", ...
  std::string shown = {};  // what a combo shows while closed, a field's text, a message
  ImVec2 Centre() const { return ImVec2((min.x + max.x) * 0.5f, (min.y + max.y) * 0.5f); }
};

class ItemLog {
 public:
  // Installs this log in the current interface context until it is destroyed.
  ItemLog();
  ~ItemLog();
  ItemLog(const ItemLog&) = delete;
  ItemLog& operator=(const ItemLog&) = delete;

  // The log installed in the current context, or null.
  static ItemLog* Installed();

  void StartFrame() { items_.clear(); }
  void Add(LoggedItem item) { items_.push_back(std::move(item)); }
  const std::vector<LoggedItem>& Items() const { return items_; }
  // The first item with the label (in the window, when one is named), or null.
  const LoggedItem* Find(std::string_view label, std::string_view window = {}) const;
  int Count(std::string_view label) const;

 private:
  std::vector<LoggedItem> items_;
};

// Records the item just drawn under the label, when a log is installed; shown is what the item
// displays when a test needs to read it (a field's text, a message).
void LogLastItem(std::string_view label, std::string_view kind = {}, std::string_view shown = {});

}  // namespace ui
