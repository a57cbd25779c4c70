// Helpers shared by the workloads of bench_engine: the two sides, timing with allocation counts,
// result checks and figure labels.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "alloc_count.h"
#include "backend.h"
#include "cases.h"

namespace bench {

using Clock = std::chrono::steady_clock;
using OpenFn = std::unique_ptr<Backend> (*)(const std::filesystem::path&, bool);

struct Side {
  const char* name;
  OpenFn open;
};
inline constexpr Side kSides[] = {{"engine", &OpenEngine}, {"sqlite", &OpenSqlite}};

inline double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Time and C++ heap allocations spent in the measured calls of one side.
struct Cost {
  double seconds = 0;
  uint64_t allocations = 0;
};

// Runs `work` (one request to a side) and adds its time and allocations to `cost`; returns what
// `work` returned.
template <typename Work>
auto Measure(Cost& cost, Work&& work) {
  uint64_t allocations = AllocationCount();
  auto start = Clock::now();
  auto result = work();
  cost.seconds += Seconds(start);
  cost.allocations += AllocationCount() - allocations;
  return result;
}

void ExpectEqual(int64_t got, int64_t want, const std::string& what);
std::filesystem::path SideDir(const std::filesystem::path& root, const char* name, const char* side, int size);
Figure MakeFigure(std::string label, int64_t ops, double engine_s, double sqlite_s);
// A figure with the allocations per operation of both sides.
Figure MakeFigure(std::string label, int64_t ops, const Cost& engine, const Cost& sqlite);
std::string Count(int n);

}  // namespace bench
