#pragma once
// Reading and writing a document file whole: reads refuse what no document could be, writes
// never leave a half-written document behind, not even after a power cut.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

// The largest document read: far beyond any real one, small enough to hold in memory.
inline constexpr std::uint64_t kMaxDocumentBytes = 256ull << 20;

class DocumentTooLarge : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What a load tells the user when it fails, naming the file; nothing when the document was
// read (a missing document reads as one of no effects).
using DocumentError = std::optional<std::string>;

// The file's bytes, or nothing when it does not exist. Throws DocumentTooLarge for a file
// over kMaxDocumentBytes, before reading it, and std::runtime_error with the reason for a file
// that exists but cannot be read (a folder, a pipe or a device, no permission).
std::optional<std::string> ReadDocumentFile(const std::string& path);

// How a save makes its bytes durable. Tests substitute their own to watch the order of the
// steps or to make one fail. Each returns 0, or the errno of the failure.
class FileSync {
 public:
  virtual ~FileSync() = default;
  // The written file's data, before it is renamed into place.
  virtual int SyncFile(int descriptor) const;
  // The folder's entries, after the rename, so that the rename itself survives.
  virtual int SyncFolder(const std::string& folder) const;
};

// Writes the bytes to a temporary file beside the path, syncs it, renames it over the old file
// and syncs the folder, so a crash, a full disk or a power cut at any point leaves the previous
// document or the new one, whole. False, with the reason in *error, when nothing was replaced.
// A folder that cannot be synced does not fail the save (the new document is already in place
// and cannot be taken back); it is told as a notice.
bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* error,
                         const FileSync& sync = FileSync());

// The folder of the effect documents and the catalogs, relative to the working directory.
inline constexpr const char* kDataFolder = "Data/FILE/";
