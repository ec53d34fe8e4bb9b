// The history's own rules: steps only for real changes, shared effects, and the two bounds.

#include "editor/undo_history.h"

#include <gtest/gtest.h>

#include "editor/editor.h"

namespace {

std::vector<EditorEffect> Effects(int count, int definitions) {
  std::vector<EditorEffect> effects(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    effects[i].Tag = "Effect " + std::to_string(i);
    effects[i].Definitions.assign(static_cast<std::size_t>(definitions), CEditor::BeginDefinition());
  }
  return effects;
}

TEST(UndoHistory, UndoAndRedoWalkTheStatesAndANewChangeDropsTheRedo) {
  UndoHistory history;
  std::vector<EditorEffect> effects = Effects(2, 1);
  history.Reset(effects, 150);
  EXPECT_FALSE(history.Record("Nothing", effects, 150)) << "an equal state is no step";

  effects[0].Definitions[0].Billboard.PopTime = 7;
  ASSERT_TRUE(history.Record("PopTime", effects, 150));
  ASSERT_TRUE(history.Record("Interval", effects, 300));
  EXPECT_EQ(history.UndoName(), "Interval");

  const EditorSnapshot* state = history.Undo();
  ASSERT_NE(state, nullptr);
  EXPECT_EQ(state->EmissionInterval, 150);
  EXPECT_EQ(state->CopyEffects()[0].Definitions[0].Billboard.PopTime, 7);
  EXPECT_EQ(history.RedoName(), "Interval");
  state = history.Undo();
  EXPECT_EQ(state->CopyEffects()[0].Definitions[0].Billboard.PopTime, 50);
  EXPECT_EQ(history.Undo(), nullptr);

  ASSERT_NE(history.Redo(), nullptr);
  effects[1].Tag = "Renamed";
  ASSERT_TRUE(history.Record("Rename", effects, 150));
  EXPECT_FALSE(history.CanRedo());
  EXPECT_EQ(history.StepCount(), 2u);
}

TEST(UndoHistory, UnchangedEffectsAreSharedBetweenSteps) {
  UndoHistory history;
  std::vector<EditorEffect> effects = Effects(50, 20);
  history.Reset(effects, 150);
  const std::size_t whole = history.Bytes();
  for (int step = 0; step < 100; ++step) {
    effects[step % 50].Definitions[0].Billboard.PopTime = step + 100;
    ASSERT_TRUE(history.Record("PopTime", effects, 150));
  }
  // A hundred steps that each touched one effect of fifty cost an effect each, not a document.
  EXPECT_LE(history.Bytes(), whole + 100 * (whole / 50));
  const EditorSnapshot now = history.Current();
  const EditorSnapshot* before = history.Undo();
  EXPECT_EQ(before->Effects[0], now.Effects[0]) << "the effect the last step left alone is the same object";
  EXPECT_NE(before->Effects[49], now.Effects[49]);
}

TEST(UndoHistory, KeepsAtMostTheStepLimitDroppingTheOldest) {
  UndoHistory history;
  std::vector<EditorEffect> effects = Effects(1, 1);
  history.Reset(effects, 150);
  for (int step = 1; step <= static_cast<int>(UndoHistory::kMaxSteps) + 5; ++step) {
    effects[0].Definitions[0].Billboard.PopTime = step;
    ASSERT_TRUE(history.Record("Step " + std::to_string(step), effects, 150));
  }
  EXPECT_EQ(history.StepCount(), UndoHistory::kMaxSteps);
  int undone = 0;
  const EditorSnapshot* state = nullptr;
  while (const EditorSnapshot* previous = history.Undo()) {
    state = previous;
    ++undone;
  }
  EXPECT_EQ(undone, static_cast<int>(UndoHistory::kMaxSteps));
  EXPECT_EQ(state->CopyEffects()[0].Definitions[0].Billboard.PopTime, 5) << "the oldest five went";
}

TEST(UndoHistory, KeepsWithinTheMemoryBoundDroppingTheOldest) {
  UndoHistory history;
  // About 3 MB a step: the bound allows some twenty of them.
  std::vector<EditorEffect> effects = Effects(1, 1);
  effects[0].Definitions[0].Billboard.PlotPoints.resize((3u << 20) / sizeof(PlotPoint));
  history.Reset(effects, 150);
  for (int step = 1; step <= 60; ++step) {
    effects[0].Definitions[0].Billboard.PopTime = step;
    ASSERT_TRUE(history.Record("Step", effects, 150));
    ASSERT_LE(history.Bytes(), UndoHistory::kMaxBytes);
  }
  EXPECT_LT(history.StepCount(), 30u);
  EXPECT_GT(history.StepCount(), 10u);
  EXPECT_EQ(history.Current().CopyEffects()[0].Definitions[0].Billboard.PopTime, 60);
}

}  // namespace
