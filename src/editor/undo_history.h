#pragma once
// The editor's undo and redo: a list of states of the document, each named after the change that
// made it. States share the effects they did not change, so a step costs about the effects it
// touched, and a history of many steps over a large document stays small.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "effectfile/editor_document.h"

// What an undo step restores: the effects in the editor's order and the emission interval.
// The selection is not part of it.
struct EditorSnapshot {
  std::vector<std::shared_ptr<const EditorEffect>> Effects;
  int EmissionInterval = 0;
  // Which state this is: two snapshots with the same id hold the same values.
  std::uint64_t Id = 0;

  // The snapshot of the effects and interval, sharing every effect equal to the base's one of
  // the same place and tag; the base's id when nothing differs.
  static EditorSnapshot Make(const std::vector<EditorEffect>& effects, int emissionInterval,
                             const EditorSnapshot& base, std::uint64_t newId);
  // The bytes this snapshot holds that the other does not share.
  std::size_t BytesBeyond(const EditorSnapshot& other) const;
  std::vector<EditorEffect> CopyEffects() const;
};

class UndoHistory {
 public:
  static constexpr std::size_t kMaxSteps = 1000;
  static constexpr std::size_t kMaxBytes = 64u << 20;

  // Forgets every step; the state is where the history now starts.
  void Reset(const std::vector<EditorEffect>& effects, int emissionInterval);
  // The state after a change. False, recording nothing, when it equals the current state.
  bool Record(const std::string& name, const std::vector<EditorEffect>& effects, int emissionInterval);
  // Whether the values equal the current state's.
  bool Matches(const std::vector<EditorEffect>& effects, int emissionInterval) const;

  bool CanUndo() const { return position_ > 0; }
  bool CanRedo() const { return position_ + 1 < states_.size(); }
  // The change the next undo (redo) takes back (makes again).
  std::string UndoName() const;
  std::string RedoName() const;
  // Moves one step and returns the state to show; null when there is none.
  const EditorSnapshot* Undo();
  const EditorSnapshot* Redo();

  const EditorSnapshot& Current() const { return states_[position_].state; }
  std::size_t StepCount() const { return states_.size() - 1; }
  std::size_t Bytes() const { return bytes_; }

 private:
  struct Entry {
    std::string name;  // the change that led here; empty for the first state
    EditorSnapshot state;
    std::size_t bytes = 0;  // what this state holds beyond the one before it
  };
  void DropOldest();

  std::deque<Entry> states_ = std::deque<Entry>(1);
  std::size_t position_ = 0;
  std::size_t bytes_ = 0;
  std::uint64_t nextId_ = 1;
};
