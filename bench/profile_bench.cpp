// A 10,000-line profile on the simulated machine: a key read near the end,
// a key set and an entry added, each with the refresh that starts it.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "profile/profile.h"
#include "simulator/simulated_machine.h"

namespace zv {
namespace {

constexpr int kSections = 1000;  // 10 lines each
const char kPath[] = "C:\\BENCH.INI";

class Machine {
 public:
  Machine() {
    char pattern[] = "/tmp/zvbench-XXXXXX";
    dir_ = mkdtemp(pattern);
    std::string error;
    machine_ = SimulatedMachine::openMachine(dir_ + "/m", &error);
    Platform::setCurrent(machine_.get());
    std::string text;
    for (int s = 0; s < kSections; ++s) {
      text += "[Section" + std::to_string(s) + "]\r\n";
      for (int k = 0; k < 9; ++k)
        text += "Key" + std::to_string(k) + "=value " + std::to_string(s) + "\r\n";
    }
    std::unique_ptr<File> f = machine_->open(kPath, FileMode::kWrite);
    f->write(text.data(), text.size());
  }
  ~Machine() {
    Platform::setCurrent(nullptr);
    machine_.reset();
    std::filesystem::remove_all(dir_);
  }

 private:
  std::string dir_;
  std::unique_ptr<SimulatedMachine> machine_;
};

const std::string kLastSection = "Section" + std::to_string(kSections - 1);

void BM_GetStringNearEnd(benchmark::State& state) {
  Machine machine;
  Profile profile(kPath, Profile::kFileMode);
  for (auto _ : state) benchmark::DoNotOptimize(profile.getString(kLastSection, "Key8", ""));
  state.counters["lines"] = static_cast<double>(profile.lineCount());
}
BENCHMARK(BM_GetStringNearEnd);

void BM_SetValue(benchmark::State& state) {
  Machine machine;
  Profile profile(kPath, Profile::kFileMode);
  int i = 0;
  for (auto _ : state) {
    std::string value = std::to_string(i++ & 1);
    profile.setValue(kLastSection, "Key8", value.c_str());
  }
}
BENCHMARK(BM_SetValue);

void BM_AddEntry(benchmark::State& state) {
  Machine machine;
  Profile profile(kPath, Profile::kFileMode);
  for (auto _ : state) profile.addEntry("rename", "NUL", "C:\\PROD\\A.OLD", false);
}
BENCHMARK(BM_AddEntry);

void BM_LoadWhole(benchmark::State& state) {
  Machine machine;
  for (auto _ : state) {
    Profile profile(kPath, Profile::kFileMode);
    benchmark::DoNotOptimize(profile.lineCount());
  }
}
BENCHMARK(BM_LoadWhole);

}  // namespace
}  // namespace zv

BENCHMARK_MAIN();
