#pragma once
// The particle JSON document: every effect in one line of compact JSON, keys in byte
// order, floats widened to double.

#include <string>

#include "effect/effect_table.h"
#include "effectfile/document_file.h"
#include "resource/json_reader.h"

// The document's text for the effects (the null document for none), with its end of line.
// A set of neither type is written as its "ParticleType" alone. Throws the JSON library's
// type_error 316 for a string that is not valid UTF-8, std::domain_error naming the field for
// a float that is infinite or not a number.
std::string ParticleJsonText(const EffectTable& effects);

// Writes "folder + fileName". On failure (unwritable folder, invalid UTF-8, a float JSON
// cannot hold) it says so through the message sink, returns false and leaves the file as it was.
bool SaveParticleJson(const EffectTable& effects, const std::string& fileName,
                      const std::string& folder = "Data/FILE/");

// Reads a parsed document into the table: effects the table already holds keep their list.
// Throws the library's errors for values of the wrong type, std::out_of_range naming the key
// for a number beyond its field's range; effects read before the failing one stay in the table.
void MergeParticleJson(const Json& document, EffectTable* table);

// Reads "Data/FILE/particle.json" (or the given path) into the table. A missing file changes
// nothing; a file larger than any document may be is refused before it is read. An error
// comes back as the message for the user, naming the file, with the library's message; the
// table then holds what was merged before it.
DocumentError LoadParticleJson(EffectTable* table, const std::string& path = "Data/FILE/particle.json");
