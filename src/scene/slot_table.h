#pragma once
// Slots that objects refer to across frames by id: a slot's index and its generation.
// Erasing a slot advances its generation, so an id taken before names nothing once the slot
// is erased, nor the next value the slot takes. Erased slots are reused first.

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

struct SlotId {
  static constexpr std::uint32_t kNone = ~0u;
  std::uint32_t slot = kNone;
  std::uint32_t generation = 0;
  bool operator==(const SlotId&) const = default;
};

template <class Value>
class SlotTable {
 public:
  SlotId Insert(Value value) {
    std::uint32_t index = 0;
    if (free_.empty()) {
      index = static_cast<std::uint32_t>(entries_.size());
      entries_.emplace_back();
    } else {
      index = free_.back();
      free_.pop_back();
    }
    Entry& entry = entries_[index];
    entry.value = std::move(value);
    entry.live = true;
    return {index, entry.generation};
  }

  // The value while the id names it; null once its slot was erased, or for kNone.
  const Value* Find(SlotId id) const {
    if (id.slot >= entries_.size()) return nullptr;
    const Entry& entry = entries_[id.slot];
    return entry.live && entry.generation == id.generation ? &entry.value : nullptr;
  }
  Value* Find(SlotId id) { return const_cast<Value*>(std::as_const(*this).Find(id)); }

  // Frees the slot the id names; an id that names nothing is ignored.
  void Erase(SlotId id) {
    if (!Find(id)) return;
    Entry& entry = entries_[id.slot];
    entry = {Value{}, entry.generation + 1, false};
    free_.push_back(id.slot);
  }

  std::size_t Size() const { return entries_.size() - free_.size(); }

 private:
  struct Entry {
    Value value{};
    std::uint32_t generation = 0;
    bool live = false;
  };
  std::vector<Entry> entries_;
  std::vector<std::uint32_t> free_;
};
