#include "effectfile/backup.h"

#include <filesystem>

void BackupDataFile(const std::string& fileName, const std::string& folder) {
  std::error_code ignored;
  std::filesystem::copy_file(folder + fileName, folder + "backup_" + fileName,
                             std::filesystem::copy_options::overwrite_existing, ignored);
}
