#include "effectfile/document_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* error) {
  const std::string temporary = path + ".saving";
  auto fail = [&](const std::string& why) {
    if (error) *error = path + ": " + why;
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    return false;
  };
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (!file) return fail(std::strerror(errno));
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  const int writeError = errno;
  const bool flushed = std::fflush(file) == 0;
  const bool closed = std::fclose(file) == 0;
  if (!written || !flushed || !closed) return fail(std::strerror(writeError ? writeError : EIO));
  std::error_code ec;
  std::filesystem::rename(temporary, path, ec);
  if (ec) return fail(ec.message());
  return true;
}
