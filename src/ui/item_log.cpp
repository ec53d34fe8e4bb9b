#include "ui/item_log.h"

#include <imgui_internal.h>

#include <algorithm>

namespace ui {

ItemLog::ItemLog() { ImGui::GetIO().UserData = this; }

ItemLog::~ItemLog() {
  if (ImGui::GetCurrentContext() && ImGui::GetIO().UserData == this) ImGui::GetIO().UserData = nullptr;
}

ItemLog* ItemLog::Installed() {
  return ImGui::GetCurrentContext() ? static_cast<ItemLog*>(ImGui::GetIO().UserData) : nullptr;
}

const LoggedItem* ItemLog::Find(std::string_view label, std::string_view window) const {
  const auto it = std::find_if(items_.begin(), items_.end(), [&](const LoggedItem& item) {
    return item.label == label && (window.empty() || item.window == window);
  });
  return it == items_.end() ? nullptr : &*it;
}

int ItemLog::Count(std::string_view label) const {
  return static_cast<int>(std::count_if(items_.begin(), items_.end(),
                                        [&](const LoggedItem& item) { return item.label == label; }));
}

void LogLastItem(std::string_view label, std::string_view kind, std::string_view shown) {
  ItemLog* log = ItemLog::Installed();
  if (!log) return;
  const ImGuiWindow* window = ImGui::GetCurrentWindowRead();
  log->Add({window ? window->Name : "", std::string(label), ImGui::GetItemRectMin(), ImGui::GetItemRectMax(),
            std::string(kind), std::string(shown)});
}

}  // namespace ui
