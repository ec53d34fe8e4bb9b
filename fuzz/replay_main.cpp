// Replays saved fuzzer inputs (seed corpora and every crasher kept) through a target's entry
// point in an ordinary build, so the regression cases run with the other tests, under the
// sanitizers too. Arguments are files or folders; an empty or missing folder is an error, so
// a replay that silently reads nothing cannot pass.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

int ReplayFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in.good() && !in.eof()) {
    std::fprintf(stderr, "replay: cannot read %s\n", path.c_str());
    return 0;
  }
  // libFuzzer hands out a pointer even for an empty input; so does the replay.
  bytes.push_back('\0');
  LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size() - 1);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  int failures = 0;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path path = argv[i];
    int replayed = 0;
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
      std::vector<std::filesystem::path> files;
      for (const auto& entry : std::filesystem::directory_iterator(path, error))
        if (entry.is_regular_file()) files.push_back(entry.path());
      std::sort(files.begin(), files.end());
      for (const auto& file : files) replayed += ReplayFile(file);
    } else if (std::filesystem::is_regular_file(path, error)) {
      replayed = ReplayFile(path);
    }
    std::printf("replay: %d inputs from %s\n", replayed, path.c_str());
    if (replayed == 0) {
      std::fprintf(stderr, "replay: nothing to replay in %s\n", path.c_str());
      ++failures;
    }
  }
  return failures == 0 ? 0 : 1;
}
