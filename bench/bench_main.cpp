// Runs the benchmarks as usual, then prints a table of every target with its figure, the
// committed baseline's figure and whether the target holds.
//   particle_bench [benchmark flags] [--figures=PATH] [--baseline=PATH]
// --figures writes this run's figures as JSON (copy them over the baseline to record a run).

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "support/source_tree.h"
#include "targets.h"

namespace {

class FigureCollector : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs)
      if (!run.error_occurred && run.run_type == Run::RT_Iteration) runs_.push_back(run);
  }
  const std::vector<Run>& Runs() const { return runs_; }

 private:
  std::vector<Run> runs_;
};

// "BM_X/1000" names the run "BM_X/1000/real_time" but not "BM_X/10000".
bool Names(const std::string& runName, const std::string& benchmark) {
  return runName.rfind(benchmark, 0) == 0 &&
         (runName.size() == benchmark.size() || runName[benchmark.size()] == '/');
}

double Measure(const benchmark::BenchmarkReporter::Run& run, const std::string& measure) {
  if (measure == "time_ms") {
    const double seconds = run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
    return seconds * 1e3;
  }
  if (measure == "MB_per_s") {
    const auto found = run.counters.find("bytes_per_second");
    return found == run.counters.end() ? NAN : found->second.value / 1e6;
  }
  const auto found = run.counters.find(measure);
  return found == run.counters.end() ? NAN : found->second.value;
}

std::string Key(const BenchTarget& target) {
  return std::string(target.benchmark) + " " + target.measure;
}

nlohmann::json ReadBaseline(const std::string& path) {
  std::ifstream in(path);
  if (!in) return nlohmann::json::object();
  try {
    return nlohmann::json::parse(in);
  } catch (const std::exception&) {
    std::fprintf(stderr, "bench: %s is not readable JSON; no baseline shown\n", path.c_str());
    return nlohmann::json::object();
  }
}

std::string Figure(double value) {
  if (std::isnan(value)) return "-";
  char text[32];
  std::snprintf(text, sizeof text, value >= 100 ? "%.0f" : value >= 10 ? "%.1f" : "%.2f", value);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  std::string figuresPath, baselinePath = SourcePath("bench/baseline.json");
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("--figures=", 0) == 0) {
      figuresPath = arg.substr(10);
    } else if (arg.rfind("--baseline=", 0) == 0) {
      baselinePath = arg.substr(11);
    } else {
      args.push_back(argv[i]);
    }
  }
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 2;
  FigureCollector collector;
  benchmark::RunSpecifiedBenchmarks(&collector);
  benchmark::Shutdown();

  const nlohmann::json baseline = ReadBaseline(baselinePath);
  nlohmann::json figures = nlohmann::json::object();
  int missed = 0;
  std::printf("\n%-42s %-20s %10s %10s %10s  %s\n", "benchmark", "measure", "target", "figure", "baseline",
              "holds");
  for (const BenchTarget& target : kBenchTargets) {
    for (const auto& run : collector.Runs()) {
      if (!Names(run.benchmark_name(), target.benchmark)) continue;
      const double value = Measure(run, target.measure);
      const bool holds = target.limit == Limit::kAtMost ? value <= target.target : value >= target.target;
      if (!holds) ++missed;
      figures[Key(target)] = value;
      const auto old = baseline.find(Key(target));
      const double before = old != baseline.end() && old->is_number() ? old->get<double>() : NAN;
      const std::string limit =
          std::string(target.limit == Limit::kAtMost ? "<= " : ">= ") + Figure(target.target);
      std::printf("%-42s %-20s %10s %10s %10s  %s\n", target.benchmark, target.measure, limit.c_str(),
                  (Figure(value) + " " + target.unit).c_str(), Figure(before).c_str(), holds ? "yes" : "NO");
    }
  }
  std::printf("%d target%s missed\n", missed, missed == 1 ? "" : "s");
  if (!figuresPath.empty()) {
    std::ofstream out(figuresPath);
    out << figures.dump(2) << "\n";
  }
  return 0;
}
