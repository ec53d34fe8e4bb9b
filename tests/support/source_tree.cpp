#include "support/source_tree.h"

const std::string& SourceDir() {
  static const std::string dir = PE_SOURCE_DIR;
  return dir;
}

std::string SourcePath(const std::string& relative) {
  return SourceDir() + "/" + relative;
}

const std::string& EditorBinary() {
  static const std::string binary = PE_EDITOR_BINARY;
  return binary;
}
