// tarvin9-osc's throughput: 1000 oscillograms of 5000 samples are written to a
// temporary folder, then the real program turns them all into CSV (both kinds)
// and into PNG in one call each; files per second by wall-clock and CPU time
// of the program (it uses one core). Targets: CSV >= 500/s, PNG >= 20/s.
//   bench_osc PATH/TO/tarvin9-osc [files]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "scope/oscillogram_file.h"
#include "scope/scope_model.h"

namespace {

struct Timing {
  double wall_s = 0, cpu_s = 0;
  int status = -1;
};

Timing RunProgram(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    execv(argv[0], argv.data());
    _exit(127);
  }
  Timing t;
  rusage usage{};
  int status = 0;
  wait4(child, &status, 0, &usage);
  t.wall_s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  t.cpu_s = usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
            1e-6 * (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
  t.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return t;
}

// Signals shaped like the sensor's: a slow input, a noisy useful signal, a
// threshold that rises in the middle, different in every file.
void Fill(tarvin::ScopeHistoryArrays& h, int file) {
  uint32_t noise = 12345u + uint32_t(file) * 7919u;
  for (uint32_t i = 0; i < tarvin::kHistorySize; ++i) {
    noise = noise * 1103515245u + 12345u;
    const double r = double((noise >> 16) & 0x7FFF) / 32768.0;
    h.input[i] = uint32_t(60 + 7 * std::sin(i / 120.0 + file));
    h.useful[i] = uint32_t(10 + 3.5 * std::sin(i / 7.0) + 3 * r + (i > 2400 && i < 2600 ? 60 : 0));
    h.threshold[i] = float(0.85 * 30 + 0.25 * 12 + (i > 2450 ? 15 : 0) + r);
    h.ekNoise[i] = uint32_t(5 * r);
    h.ekClimate[i] = uint32_t(i % 97);
  }
}

bool Row(const char* name, double files, const Timing& t, double target) {
  const double per_cpu = files / t.cpu_s, per_wall = files / t.wall_s;
  const bool ok = t.status == 0 && per_cpu >= target;
  std::printf("%-34s %9.0f files/s CPU, %9.0f files/s wall  target >= %.0f   %s\n", name, per_cpu, per_wall,
              target, ok ? "ok" : "MISSED");
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_osc PATH/TO/tarvin9-osc [files]\n");
    return 2;
  }
  const std::string program = std::filesystem::absolute(argv[1]).string();
  const int files = argc > 2 ? std::atoi(argv[2]) : 1000;
  const auto folder =
      std::filesystem::temp_directory_path() / ("tarvin-bench-osc-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder / "csv");
  std::filesystem::create_directories(folder / "png");

  auto h = std::make_unique<tarvin::ScopeHistoryArrays>();
  std::vector<std::string> inputs;
  for (int f = 0; f < files; ++f) {
    Fill(*h, f);
    char name[32];
    std::snprintf(name, sizeof name, "osc-%04d.bin", f);
    inputs.push_back((folder / name).string());
    if (tarvin::WriteOscillogram(inputs.back(), *h, tarvin::kHistorySize) != tarvin::FileStatus::Ok) return 1;
  }

  const auto call = [&](const std::vector<std::string>& head, const std::string& out) {
    std::vector<std::string> args = head;
    args.insert(args.end(), inputs.begin(), inputs.end());
    args.push_back("-o");
    args.push_back(out);
    return RunProgram(args);
  };
  std::printf("%d files of %u samples, %s\n", files, unsigned(tarvin::kHistorySize), folder.c_str());
  bool ok = Row("tarvin9-osc csv", files, call({program, "csv"}, (folder / "csv").string()), 500);
  ok = Row("tarvin9-osc csv --excel", files, call({program, "csv", "--excel"}, (folder / "csv").string()),
           500) &&
       ok;
  ok = Row("tarvin9-osc png (1200x700)", files, call({program, "png"}, (folder / "png").string()), 20) && ok;
  std::filesystem::remove_all(folder);
  return ok ? 0 : 1;
}
