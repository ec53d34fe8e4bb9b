// Runs the benchmarks as usual, then prints a table of every target with its figure, this
// machine's recorded baseline figure and whether the target holds.
//   particle_bench [benchmark flags] [--figures=PATH] [--baseline=PATH] [--check=0|1] [--record]
// --figures writes this run's figures as JSON; --record writes them as this machine's baseline.
// Baselines are kept per machine (bench/baseline/NAME.json, NAME from BENCH_MACHINE or the
// host name), each with the machine's core count and the load average its run began under:
// figures only compare on the machine, and under the load, that made them.
// Exits with 1 when a target is missed, unless --check=0.

#include <benchmark/benchmark.h>
#include <unistd.h>
#include <nlohmann/json.hpp>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "support/source_tree.h"
#include "targets.h"

namespace {

class FigureCollector : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred) {
        failed_.push_back(run);
      } else if (run.run_type == Run::RT_Iteration) {
        runs_.push_back(run);
      }
    }
  }
  const std::vector<Run>& Runs() const { return runs_; }
  // The runs that stopped with an error (no display, a failed start): their targets are missed.
  const std::vector<Run>& Failed() const { return failed_; }

 private:
  std::vector<Run> runs_, failed_;
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

// BENCH_MACHINE, or the host name; only letters, digits, '.', '-' and '_', so it is a file name.
std::string MachineName() {
  std::string name;
  if (const char* chosen = std::getenv("BENCH_MACHINE"); chosen && *chosen) {
    name = chosen;
  } else {
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) == 0) name = host;
  }
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '_') c = '_';
  return name.empty() ? "unnamed" : name;
}

// The 1, 5 and 15 minute load averages; null where the system does not say.
nlohmann::json LoadAverage() {
  double load[3];
  if (getloadavg(load, 3) != 3) return nullptr;
  return {load[0], load[1], load[2]};
}

nlohmann::json ReadBaseline(const std::string& path) {
  std::ifstream in(path);
  if (!in) return nlohmann::json::object();
  try {
    const nlohmann::json baseline = nlohmann::json::parse(in);
    if (baseline.is_object() && baseline.contains("figures") && baseline["figures"].is_object())
      return baseline;
    std::fprintf(stderr, "bench: %s holds no figures; no baseline shown\n", path.c_str());
  } catch (const std::exception&) {
    std::fprintf(stderr, "bench: %s is not readable JSON; no baseline shown\n", path.c_str());
  }
  return nlohmann::json::object();
}

std::string Figure(double value) {
  if (std::isnan(value)) return "-";
  char text[32];
  std::snprintf(text, sizeof text, value >= 100 ? "%.0f" : value >= 10 ? "%.1f" : "%.2f", value);
  return text;
}

// "2 cores, load 0.35 0.52 0.60", as far as the record says.
std::string Conditions(const nlohmann::json& record) {
  std::string text = record.contains("cores") && record["cores"].is_number()
                         ? std::to_string(record["cores"].get<int>()) + " cores"
                         : "cores not recorded";
  if (record.contains("load_average") && record["load_average"].is_array()) {
    text += ", load";
    for (const auto& load : record["load_average"])
      if (load.is_number()) text += " " + Figure(load.get<double>());
  } else {
    text += ", load not recorded";
  }
  return text;
}

bool WriteJson(const std::string& path, const nlohmann::json& json) {
  std::ofstream out(path);
  out << json.dump(2) << "\n";
  return static_cast<bool>(out);
}

// Runs of a family (kFamilyTargets) that no target of the family's holds to it, each said
// and counted as a missed target.
int UntargetedFamilyMembers(const FigureCollector& collector) {
  int missed = 0;
  for (const FamilyTarget& family : kFamilyTargets) {
    const auto check = [&](const benchmark::BenchmarkReporter::Run& run) {
      const std::string name = run.benchmark_name();
      if (name.find(family.namePart) == std::string::npos) return;
      for (const BenchTarget& target : kBenchTargets)
        if (Names(name, target.benchmark) && std::string(target.measure) == family.measure &&
            target.limit == family.limit && target.target == family.target)
          return;
      ++missed;
      std::printf("%-42s %-20s %10s %10s %10s  NO: every %s benchmark needs this target\n", name.c_str(),
                  family.measure, Figure(family.target).c_str(), "", "", family.namePart);
    };
    for (const auto& run : collector.Runs()) check(run);
    for (const auto& run : collector.Failed()) check(run);
  }
  return missed;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string machine = MachineName();
  std::string figuresPath, baselinePath = SourcePath("bench/baseline/" + machine + ".json");
  bool check = true, record = false;
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("--figures=", 0) == 0) {
      figuresPath = arg.substr(10);
    } else if (arg.rfind("--baseline=", 0) == 0) {
      baselinePath = arg.substr(11);
    } else if (arg.rfind("--check=", 0) == 0) {
      check = arg.substr(8) != "0";
    } else if (arg == "--record") {
      record = true;
    } else {
      args.push_back(argv[i]);
    }
  }
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 2;

  nlohmann::json run = {{"machine", machine},
                        {"cores", static_cast<int>(std::thread::hardware_concurrency())},
                        {"load_average", LoadAverage()}};
  FigureCollector collector;
  benchmark::RunSpecifiedBenchmarks(&collector);
  benchmark::Shutdown();

  const nlohmann::json baseline = ReadBaseline(baselinePath);
  const nlohmann::json noFigures = nlohmann::json::object();
  const nlohmann::json& before = baseline.empty() ? noFigures : baseline["figures"];
  nlohmann::json figures = nlohmann::json::object();
  int missed = 0;
  std::printf("\nmachine %s: %s\n", machine.c_str(), Conditions(run).c_str());
  if (baseline.empty()) {
    std::printf("baseline: none at %s (make bench-baseline records one)\n", baselinePath.c_str());
  } else {
    std::printf("baseline: %s, %s\n", baselinePath.c_str(), Conditions(baseline).c_str());
  }
  std::printf("\n%-42s %-20s %10s %10s %10s  %s\n", "benchmark", "measure", "target", "figure", "baseline",
              "holds");
  for (const BenchTarget& target : kBenchTargets) {
    for (const auto& result : collector.Runs()) {
      if (!Names(result.benchmark_name(), target.benchmark)) continue;
      const double value = Measure(result, target.measure);
      const bool holds = target.limit == Limit::kAtMost ? value <= target.target : value >= target.target;
      if (!holds) ++missed;
      figures[Key(target)] = value;
      const auto old = before.find(Key(target));
      const double was = old != before.end() && old->is_number() ? old->get<double>() : NAN;
      const std::string limit =
          std::string(target.limit == Limit::kAtMost ? "<= " : ">= ") + Figure(target.target);
      std::printf("%-42s %-20s %10s %10s %10s  %s\n", target.benchmark, target.measure, limit.c_str(),
                  (Figure(value) + " " + target.unit).c_str(), Figure(was).c_str(), holds ? "yes" : "NO");
    }
    for (const auto& result : collector.Failed()) {
      if (!Names(result.benchmark_name(), target.benchmark)) continue;
      ++missed;
      std::printf("%-42s %-20s %10s %10s %10s  NO: %s\n", target.benchmark, target.measure, "", "error", "",
                  result.error_message.c_str());
    }
  }
  missed += UntargetedFamilyMembers(collector);
  std::printf("%d target%s missed\n", missed, missed == 1 ? "" : "s");

  run["figures"] = figures;
  if (!figuresPath.empty() && !WriteJson(figuresPath, run))
    std::fprintf(stderr, "bench: cannot write %s\n", figuresPath.c_str());
  if (record) {
    const std::string path = SourcePath("bench/baseline/" + machine + ".json");
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
    if (!WriteJson(path, run)) {
      std::fprintf(stderr, "bench: cannot write the baseline %s\n", path.c_str());
      return 1;
    }
    std::printf("recorded as the baseline of %s: %s\n", machine.c_str(), path.c_str());
  }
  return check && missed > 0 ? 1 : 0;
}
