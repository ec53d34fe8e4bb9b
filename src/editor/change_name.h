#pragma once
// What an undo step is called ("Undo Scale"): the change between two states of the document,
// named after what the user touched.

#include <string>
#include <vector>

#include "editor/undo_history.h"

std::string ChangeName(const EditorSnapshot& before, const std::vector<EditorEffect>& after,
                       int emissionInterval);
