#pragma once
// The particle text document: one "key : value" line per field, the billboard settings of
// every definition of every effect.

#include <istream>
#include <string>

#include "particle/particle_params.h"

// The document's text for the effects.
std::string ParticleText(const EffectTable& effects);

// Writes "Data/FILE/particle.txt" (or the given path) in one piece: on failure it says so
// through the message sink, returns false and leaves the file as it was.
bool SaveParticleText(const EffectTable& effects, const std::string& path = "Data/FILE/particle.txt");

// Reads a document and merges it into the table: every effect it names (the empty tag too)
// replaces the table's list whole, the others stay. An "Index" past the end of its list adds
// default sets only as far as the rest of the document could fill them. Throws
// std::invalid_argument ("invalid stof argument", ...) or std::out_of_range for a number that
// cannot be read, before anything is merged.
void MergeParticleText(std::istream& in, EffectTable* table);

// Reads "folder + fileName" into the table, then makes the editor's map a copy of the table
// (also when the file is missing). An unreadable number is reported through the message
// sink; the table and the editor's map are then unchanged and false is returned.
bool LoadParticleText(EffectTable* table, EffectTable* editorEffects, const std::string& fileName,
                      const std::string& folder = "Data/FILE/");
