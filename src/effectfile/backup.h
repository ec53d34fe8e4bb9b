#pragma once
// One backup generation of a data file: "Data/FILE/backup_" + the file's name.

#include <string>

// Copies "Data/FILE/" + fileName over "Data/FILE/backup_" + fileName. A failure (no file
// yet, a read-only backup, no folder) is silent: the save that follows goes ahead.
void BackupDataFile(const std::string& fileName, const std::string& folder = "Data/FILE/");
