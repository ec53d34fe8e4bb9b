#pragma once
// The editor's own document: everything the user edits, lossless. JSON with "Format":
// "particle-editor" and an integer "Version" at the top, then every effect in the editor's tag
// order with every field of every definition, the Sounds window's track lists, the emission
// interval and the selection. Written canonically: the same document always gives the same
// bytes. Keys a later version adds are kept as read and written back.

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
  // Keys of the effect's object that this version does not know, as read.
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

// The document's canonical text, ending with a new line.
std::string EditorDocumentText(const EditorDocument& document);

// Reads a document's text. On failure the document is unchanged and the message says what and
// where ("line 3, column 14: ..."): text that does not parse, a "Format" that is not ours, a
// "Version" newer than this program's (naming both), a value of the wrong type or range.
DocumentError ParseEditorDocument(std::string_view text, EditorDocument* document);

// Reads the file (the message names it on failure; a missing file is an error here).
DocumentError LoadEditorDocument(const std::string& path, EditorDocument* document);

// Writes the file atomically; false with the reason in *error when nothing was replaced.
bool SaveEditorDocument(const EditorDocument& document, const std::string& path, std::string* error);

// ---- telling formats apart by their content ---------------------------------------------

enum class DocumentFormat { Editor, ParticleJson, ParticleText, Unknown };

// Editor: a JSON object whose first key is "Format"; particle JSON: a JSON object holding
// "PARTICLE" (or JSON null, the document of no effects); text: what the text reader accepts.
DocumentFormat DetectDocumentFormat(std::string_view bytes);
