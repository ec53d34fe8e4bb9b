#pragma once
// The editor's own document: everything the user edits, lossless. JSON with "Format":
// "particle-editor" and an integer "Version" at the top, then every effect in the editor's tag
// order with every field of every definition, the Sounds window's track lists, the emission
// interval and the selection. Written canonically: the same document always gives the same
// bytes. Keys a later version adds are kept as read and written back.
//
// Keys are the records' field names (particle_fields.h lists them, in the order written);
// vectors are {"X","Y","Z"}, colours {"R","G","B","A"}, fixed-size arrays JSON arrays, floats
// the shortest text that reads back to the same 32-bit float, with infinities and NaN as the
// strings "Infinity", "-Infinity" and "NaN". Unknown keys come after the known ones, in byte
// order. A missing key reads as the record's default.
//
// Unknown keys are kept as a mirror of the object they were met in: a JSON object holding the
// unknown keys with their values and, under the key of a nested record or list that has some
// of its own, their mirror (a list's mirror is a JSON array of its elements' mirrors, {} for
// an element without any). So {"Billboard": {"Physics": {"Spin": 2}}, "Glow": true} in
// DefinitionUnknown[i] holds a definition's "Glow" and its billboard physics' "Spin". A
// mirror entry under a known key that holds a scalar is ignored. A read puts every object's
// keys in the order they are written (known keys in the table's order, unknown ones in byte
// order), whatever their order in the file, so equal documents compare equal.

#include <string>
#include <string_view>
#include <vector>

#include "effect/effect_table.h"
#include "effectfile/document_file.h"
#include "resource/json_reader.h"

inline constexpr std::string_view kEditorDocumentFormat = "particle-editor";
inline constexpr int kEditorDocumentVersion = 1;
// The name an editor document is suggested to end with.
inline constexpr std::string_view kEditorDocumentSuffix = ".effects.json";

// One effect as the editor holds it.
struct EditorEffect {
  std::string Tag;
  std::vector<ParticleParams> Definitions;
  // The Sounds window's track list for the tag (the definitions hold their own copies).
  std::vector<SoundTrack> Tracks;
  // Keys of the effect's object that this version does not know, as read (under "Tracks",
  // those of its tracks).
  Json Unknown = Json::object();
  // Per definition, its keys this version does not know (at any depth), as read; shorter than
  // Definitions when the later ones have none.
  std::vector<Json> DefinitionUnknown;
  bool operator==(const EditorEffect&) const = default;
};

struct EditorDocument {
  std::vector<EditorEffect> Effects;
  int EmissionInterval = 150;
  std::string SelectedTag;
  int SelectedIndex = 0;
  // The curve editor's element type (Vector2, Vector3, Color) and channel.
  int ElementType = 0;
  int PlotChannel = 0;
  // Top-level keys this version does not know, as read.
  Json Unknown = Json::object();
  bool operator==(const EditorDocument&) const = default;

  // The effects as the runtime sees them, tag to definitions (a repeated tag keeps its first).
  EffectTable Table() const;
  // A document of the table's effects in tag order, nothing else set.
  static EditorDocument FromTable(const EffectTable& table);
};

// Whether two documents hold the same, as their text tells: like ==, except that a NaN is the
// same as a NaN and -0 is not 0.
bool SameDocument(const EditorDocument& a, const EditorDocument& b);

// The document's canonical text, ending with a new line. Throws std::invalid_argument naming
// the key path ("Effects[0].Tag is not UTF-8 text, ...") for a string JSON cannot hold.
std::string EditorDocumentText(const EditorDocument& document);

// Reads a document's text. On failure the document is unchanged and the message says what and
// where ("line 3, column 14: ..."): text that does not parse, a "Format" that is not ours, a
// "Version" newer than this program's (naming both), a value of the wrong type or range.
DocumentError ParseEditorDocument(std::string_view text, EditorDocument* document);

// Reads the file (the message names it on failure; a missing file is an error here).
DocumentError LoadEditorDocument(const std::string& path, EditorDocument* document);

// Writes the file atomically; false with the reason in *error when nothing was replaced (a
// string that is not UTF-8 included).
bool SaveEditorDocument(const EditorDocument& document, const std::string& path, std::string* error);

// ---- telling formats apart by their content ---------------------------------------------

enum class DocumentFormat { Editor, ParticleJson, ParticleText, Unknown };

// Editor: a JSON object whose first key is "Format"; particle JSON: a JSON object holding
// "PARTICLE" (or JSON null, the document of no effects; an object whose first key is
// "PARTICLE" also when it is damaged, so that its reader says what is wrong); text: what the
// text reader accepts. Never throws.
DocumentFormat DetectDocumentFormat(std::string_view bytes);
