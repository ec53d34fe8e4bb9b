#pragma once
// The combos of the parameter panels: over a fixed list of labels kept in step with a
// field, and over the names of a catalog.

#include <span>
#include <string>
#include <vector>

#include "ui/widgets.h"

// The texture catalog's labels in its order, without the editor's own icons (any label
// holding "ICON").
std::vector<std::string> TextureNames();
// The model catalog's tags in their order.
std::vector<std::string> ModelNames();

// Before it is drawn the selection is read from the field; choosing an entry writes it back.
void SyncedCombo(int& selection, int& field, std::span<const char* const> labels, const char* label);
// Selects the last name equal to the field (no match keeps the selection); choosing an entry
// writes its name into the field.
void NameCombo(int& selection, std::string& field, const std::vector<std::string>& names, const char* label,
               const EntryDecoration& decoration = {});
// A combo over the texture catalog's names, each with a thumbnail of its picture (larger on hover).
void TextureCombo(int& selection, std::string& field, const char* label);
// The model combo, each model listed with its vertex and face counts.
void ModelCombo(int& selection, std::string& field);
