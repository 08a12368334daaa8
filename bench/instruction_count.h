// Instructions per measured call, counted by callgrind: figures that do not depend on
// how busy the machine is, so that a change can be judged without a quiet one.
//
// A benchmark program runs itself again under callgrind with collection off
// (count_instructions); in that run (counting() true) each measured stretch is
// bracketed by count_begin() and count_end(label, units), which collect only inside
// the stretch and dump what it cost under its label. The first run reads the dumps
// back: instructions per unit (per record written, per row read), by label. Outside
// callgrind the brackets cost a few instructions and count nothing.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#define QX_BENCH_CALLGRIND 1
#else
#define QX_BENCH_CALLGRIND 0
#endif

namespace bench {

// The argument that makes a benchmark program the counting run.
inline constexpr const char* kCountArgument = "--count-instructions";

// True in the counting run.
inline bool g_counting = false;

inline void count_begin() {
#if QX_BENCH_CALLGRIND
  if (g_counting) CALLGRIND_TOGGLE_COLLECT;
#endif
}

// Ends a stretch begun by count_begin: what it cost is dumped as `label`, `units` (the
// records or rows it handled) carried in the label.
inline void count_end(const std::string& label, long units) {
#if QX_BENCH_CALLGRIND
  if (!g_counting) return;
  CALLGRIND_TOGGLE_COLLECT;
  std::string name = label + "|" + std::to_string(units);
  CALLGRIND_DUMP_STATS_AT(name.c_str());
#else
  (void)label;
  (void)units;
#endif
}

// Runs this program again under callgrind with `args` after kCountArgument, and returns
// the instructions per unit of every labelled stretch it measured. Empty, with the
// reason on standard error, when valgrind is missing or the run fails.
inline std::map<std::string, double> count_instructions(const std::vector<std::string>& args) {
  std::map<std::string, double> per_unit;
  if (!QX_BENCH_CALLGRIND || std::system("valgrind --version >/dev/null 2>&1") != 0) {
    std::fprintf(stderr, "instruction counts: valgrind (callgrind) is not installed\n");
    return per_unit;
  }
  std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("bench_counts_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  std::string cmd = "valgrind --tool=callgrind --collect-atstart=no --callgrind-out-file='" +
                    (dir / "cg").string() + "' '" + self + "' " + kCountArgument;
  for (const std::string& a : args) cmd += " '" + a + "'";
  cmd += " >'" + (dir / "log").string() + "' 2>&1";
  if (std::system(cmd.c_str()) != 0) {
    std::fprintf(stderr, "instruction counts: the counting run failed (%s)\n", cmd.c_str());
    std::ifstream log(dir / "log");
    std::string line;
    std::vector<std::string> tail;
    while (std::getline(log, line)) tail.push_back(line);
    for (size_t i = tail.size() > 20 ? tail.size() - 20 : 0; i < tail.size(); ++i)
      std::fprintf(stderr, "  %s\n", tail[i].c_str());
  }
  // Each dump names its stretch ("desc: Trigger: Client Request: LABEL|UNITS") and
  // what it cost ("totals: N").
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    std::ifstream in(entry.path());
    std::string line, label;
    long units = 0;
    double total = -1;
    const std::string trigger = "desc: Trigger: Client Request: ";
    while (std::getline(in, line)) {
      if (line.rfind(trigger, 0) == 0) {
        std::string name = line.substr(trigger.size());
        size_t bar = name.rfind('|');
        if (bar == std::string::npos) continue;
        label = name.substr(0, bar);
        units = std::atol(name.c_str() + bar + 1);
      } else if (line.rfind("totals: ", 0) == 0) {
        total = std::atof(line.c_str() + 8);
      }
    }
    if (!label.empty() && units > 0 && total >= 0) per_unit[label] = total / units;
  }
  std::filesystem::remove_all(dir);
  return per_unit;
}

}  // namespace bench
