#pragma once
// The particle text document: one "key : value" line per field, the billboard settings of
// every definition of every effect.

#include <istream>
#include <stdexcept>
#include <string>
#include <string_view>

#include "effect/effect_table.h"
#include "effectfile/document_file.h"

// The document's text for the effects.
std::string ParticleText(const EffectTable& effects);

// Writes "Data/FILE/particle.txt" (or the given path) in one piece: on failure it says so
// through the message sink, returns false and leaves the file as it was.
bool SaveParticleText(const EffectTable& effects, const std::string& path = "Data/FILE/particle.txt");

// A text that is not a particle text document at all; what() says why, starting with
// "not a particle text document".
class NotParticleText : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads a document and merges it into the table: every effect it names (the empty tag too)
// replaces the table's list whole, the others stay. An "Index" past the end of its list adds
// default sets only as far as the rest of the document could fill them. Throws, before
// anything is merged: NotParticleText for a text without a "Tag" line (an empty one too) or
// with more than half of its non-empty lines carrying none of the document's keys (JSON, a
// binary file); std::invalid_argument ("invalid stof argument", ...) or std::out_of_range for
// a number that cannot be read.
void MergeParticleText(std::string_view text, EffectTable* table);
void MergeParticleText(std::istream& in, EffectTable* table);

// Whether the key is one of the document's 35 ("Tag" and "Index" among them), as a line
// holds it once its whitespace is gone.
bool IsParticleTextKey(std::string_view key);

// Reads "Data/FILE/particle.txt" (or the given path) into the table. A missing file changes
// nothing. A file that cannot be read, is larger than any document may be, is not a particle
// text document or holds an unreadable number leaves the table unchanged and comes back as the
// message for the user, naming the file.
DocumentError LoadParticleText(EffectTable* table, const std::string& path = "Data/FILE/particle.txt");
