#pragma once
// Converting an effect document from one format to another without a window: what
// `particle-editor --convert OUT [--to editor|json|text] DOCUMENT` runs.

#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "effectfile/editor_document.h"

// The format a --to name asks for ("editor", "json", "text"), or nothing for another name.
std::optional<DocumentFormat> ConversionTargetNamed(std::string_view name);
// The format an output's name asks for when --to does not say: particle text for a name ending
// in ".txt", the editor document for any other.
DocumentFormat ConversionTargetOf(std::string_view outputPath);
// How messages name a format: "particle.json", "particle.txt", "the editor document".
std::string_view FormatName(DocumentFormat format);

// Reads a document of any of the three formats, told apart by content, as an editor document
// (a runtime document's effects in tag order, nothing else set). The message on failure names
// the file.
DocumentError ReadAnyDocument(const std::string& path, EditorDocument* document);

// Reads the input in whatever format its content is, starting from no effects; tells
// `messages` each field the target cannot hold (LostFieldsNotice) and writes the output
// atomically. An editor document converted to one comes out whole (settings and unknown keys
// too). Returns the exit status: 0 once written; 1, with the reason told and nothing written,
// for an input that is missing, damaged or of no known format, or an output that cannot be
// made.
int ConvertDocument(const std::string& input, const std::string& output, DocumentFormat target,
                    std::ostream& messages);
