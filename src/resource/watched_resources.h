#pragma once
// What a resource manager offers the asset reloader: the catalogs it read and the files they
// name, and the two ways of taking a change while the program runs. Problems met then are told
// on the notice line, never in a box: the preview goes on.

#include <string>
#include <vector>

class WatchedResources {
 public:
  virtual ~WatchedResources() = default;
  // The catalogs read so far.
  virtual std::vector<std::string> CatalogFiles() const = 0;
  // Every file the catalogs name, loaded or not.
  virtual std::vector<std::string> ResourceFiles() const = 0;
  // Reads the catalogs again: labels are added, removed and pointed at other files. Objects
  // handed out stay alive and keep their identity. False when the catalogs could not be read.
  virtual bool ReloadCatalogs() = 0;
  // Reads again whatever was loaded from the file (its platform::WatchKey) into the same
  // objects; what no longer loads keeps its last good contents. False when nothing uses it.
  virtual bool ReloadFile(const std::string& key) = 0;
};
