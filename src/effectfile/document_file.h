#pragma once
// Writing a document without ever leaving a half-written one behind.

#include <string>
#include <string_view>

// Writes the bytes to a temporary file beside the path and renames it over the old file,
// so a crash or a full disk in the middle leaves the previous document whole. False, with
// the reason in *error, when nothing was replaced.
bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* error);

// The folder of the effect documents and the catalogs, relative to the working directory.
inline constexpr const char* kDataFolder = "Data/FILE/";
