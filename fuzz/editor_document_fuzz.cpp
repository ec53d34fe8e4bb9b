// libFuzzer target for the editor document: any input is told apart from the other formats
// without a throw, and refused with a message or read; what is read writes, reads back the
// same document and writes the same bytes.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <string>
#include <string_view>

#include "effectfile/editor_document.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  DetectDocumentFormat(text);
  EditorDocument document;
  if (ParseEditorDocument(text, &document)) return 0;  // the editor says why and keeps its document
  std::string saved;
  try {
    // What a read accepts, strings included, a write must hold.
    saved = EditorDocumentText(document);
  } catch (const std::exception&) {
    std::abort();
  }
  EditorDocument again;
  if (ParseEditorDocument(saved, &again)) std::abort();
  if (!SameDocument(again, document) || EditorDocumentText(again) != saved) std::abort();
  return 0;
}
