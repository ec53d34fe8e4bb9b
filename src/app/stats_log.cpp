#include "app/stats_log.h"

#include <cerrno>
#include <cstring>

std::unique_ptr<StatsLog> StatsLog::Open(const std::string& path, std::string* error) {
  std::unique_ptr<std::FILE, Closer> file(std::fopen(path.c_str(), "w"));
  if (!file) {
    *error = "cannot write the stats to " + path + ": " + std::strerror(errno);
    return nullptr;
  }
  return std::unique_ptr<StatsLog>(new StatsLog(std::move(file), path));
}

std::string StatsLog::Line(const FrameFigures& f) {
  char line[512];
  std::snprintf(line, sizeof line,
                "{\"second\": %llu, \"fps\": %.2f, \"steps_per_s\": %.2f, \"realtime\": %.3f, "
                "\"frame_ms\": %.3f, \"update_ms\": %.3f, \"draw_ms\": %.3f, \"draws\": %.1f, "
                "\"batches\": %.1f, \"particles\": %d, \"billboard_particles\": %d, \"mesh_particles\": %d, "
                "\"trails\": %d, \"emitters\": %d, \"objects\": %d}",
                static_cast<unsigned long long>(f.secondsMeasured), f.framesPerSecond, f.stepsPerSecond,
                f.realtime, f.frameMs, f.updateMs, f.drawMs, f.drawsPerFrame, f.batchesPerFrame,
                f.billboardParticles + f.meshParticles, f.billboardParticles, f.meshParticles, f.trails,
                f.emitters, f.objects);
  return line;
}

void StatsLog::Frame(const FrameFigures& figures) {
  if (!file_ || figures.secondsMeasured == secondsWritten_) return;
  secondsWritten_ = figures.secondsMeasured;
  const std::string line = Line(figures) + "\n";
  if (std::fputs(line.c_str(), file_.get()) < 0 || std::fflush(file_.get()) != 0) {
    std::fprintf(stderr, "particle-editor: writing the stats to %s failed: %s; no more are written\n",
                 path_.c_str(), std::strerror(errno));
    file_.reset();
  }
}
