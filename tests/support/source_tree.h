#pragma once
// Where the sources and the built editor are. Only source_tree.cpp is compiled with the two
// paths: in the flags of every test file they would make each checkout's objects differ, and
// the compiler cache could share none of them between checkouts.

#include <string>

// The repository's root, where the sample data and the fuzz inputs are.
const std::string& SourceDir();
// A file or folder under the repository's root, given relative to it.
std::string SourcePath(const std::string& relative);
// The editor program this build made, which the end-to-end tests start.
const std::string& EditorBinary();
