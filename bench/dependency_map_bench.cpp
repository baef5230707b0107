// Micro-benchmarks of the dependency map queries on an environment-sized map:
// 10,000 base packages, each requiring up to 6 packages further down the
// list, every tenth with one to three extras variants, and some requirements
// naming several extras. Build with -DQUORL_BENCH=ON; results in BENCHMARKS.md.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "model/dependency_map.h"
// The diamond chain fixture is shared with the unit tests.
#include "../tests/unit/model/dependency_map_examples.h"

namespace {

using quorl::DependencyMap;
using quorl::Package;
using quorl::examples::diamond_chain;

constexpr int PACKAGES = 10'000;

std::string name_of(int i) { return "pkg-" + std::to_string(i); }

DependencyMap::Mapping environment_mapping() {
    std::mt19937 random(42);
    DependencyMap::Mapping mapping;
    auto dependencies_of = [&](int i) {
        std::vector<Package> out;
        const int count = i + 1 < PACKAGES ? static_cast<int>(random() % 7) : 0;
        for (int k = 0; k < count; ++k) {
            const int target = i + 1 + static_cast<int>(random() % std::min(PACKAGES - i - 1, 400));
            if (target % 10 == 0 && random() % 4 == 0) {
                out.emplace_back(name_of(target), std::vector<std::string>{"e0", "e1"});
            } else {
                out.emplace_back(name_of(target));
            }
        }
        return out;
    };
    for (int i = 0; i < PACKAGES; ++i) mapping.emplace_back(Package(name_of(i)), dependencies_of(i));
    for (int i = 0; i < PACKAGES; i += 10) {
        for (int e = 0; e < 1 + i % 3; ++e) {
            mapping.emplace_back(Package(name_of(i), {"e" + std::to_string(e)}), dependencies_of(i));
        }
    }
    return mapping;
}

const DependencyMap& environment() {
    static const DependencyMap map(environment_mapping());
    return map;
}

void BM_Construct(benchmark::State& state) {
    const DependencyMap::Mapping mapping = environment_mapping();
    for (auto _ : state) benchmark::DoNotOptimize(DependencyMap(mapping));
}
BENCHMARK(BM_Construct)->Unit(benchmark::kMillisecond);

void BM_Roots(benchmark::State& state) {
    const DependencyMap& map = environment();
    for (auto _ : state) benchmark::DoNotOptimize(map.roots());
}
BENCHMARK(BM_Roots)->Unit(benchmark::kMillisecond);

// A group of 20 roots near the top reaches most of the environment.
void BM_ExtractFromRoots(benchmark::State& state) {
    const DependencyMap& map = environment();
    std::vector<Package> roots;
    for (int i = 0; i < 20; ++i) roots.emplace_back(name_of(i * 7));
    roots.emplace_back(name_of(30), std::vector<std::string>{"e0", "e1"});
    for (auto _ : state) benchmark::DoNotOptimize(map.extract_from_roots(roots));
    state.counters["keys"] = static_cast<double>(map.extract_from_roots(roots).size());
}
BENCHMARK(BM_ExtractFromRoots)->Unit(benchmark::kMillisecond);

// A typical small group: one package deep in the list.
void BM_ExtractSmallGroup(benchmark::State& state) {
    const DependencyMap& map = environment();
    const std::vector<Package> roots = {Package(name_of(9'800))};
    for (auto _ : state) benchmark::DoNotOptimize(map.extract_from_roots(roots));
}
BENCHMARK(BM_ExtractSmallGroup)->Unit(benchmark::kMicrosecond);

void BM_FirstOccurrenceByDepth(benchmark::State& state) {
    const DependencyMap& map = environment();
    for (auto _ : state) benchmark::DoNotOptimize(map.first_occurrence_by_depth());
}
BENCHMARK(BM_FirstOccurrenceByDepth)->Unit(benchmark::kMillisecond);

// What a release computes per group: the layers of a large and of a small
// group less a few excluded packages, without building the sub-maps.
void BM_GroupLayersWithExclusions(benchmark::State& state) {
    const DependencyMap& map = environment();
    std::vector<Package> roots;
    for (int i = 0; i < 20; ++i) roots.emplace_back(name_of(i * 7));
    const std::vector<Package> small = {Package(name_of(9'800))};
    const std::vector<Package> excluded = {Package(name_of(500)), Package(name_of(2'000)), Package(name_of(9'810))};
    for (auto _ : state) {
        benchmark::DoNotOptimize(map.first_occurrence_by_depth_of(roots, excluded));
        benchmark::DoNotOptimize(map.first_occurrence_by_depth_of(small, excluded));
    }
}
BENCHMARK(BM_GroupLayersWithExclusions)->Unit(benchmark::kMillisecond);

void BM_RequiredBy(benchmark::State& state) {
    const DependencyMap& map = environment();
    const Package target(name_of(5'000));
    for (auto _ : state) benchmark::DoNotOptimize(map.required_by(target));
}
BENCHMARK(BM_RequiredBy)->Unit(benchmark::kMillisecond);

// Removing a base package with its extras variants from a fresh copy.
void BM_RemovePackage(benchmark::State& state) {
    const Package victim(name_of(5'000));
    for (auto _ : state) {
        state.PauseTiming();
        DependencyMap map = environment();
        state.ResumeTiming();
        map.remove_package(victim);
        benchmark::DoNotOptimize(map);
    }
}
BENCHMARK(BM_RemovePackage)->Unit(benchmark::kMillisecond);

// 4,194,301 layer elements streamed without materialising them.
void BM_ForEachByDepthDiamondChain(benchmark::State& state) {
    const DependencyMap map = diamond_chain(20);
    for (auto _ : state) {
        std::size_t count = 0;
        map.for_each_by_depth(std::nullopt, [&count](std::size_t, const Package&) { ++count; });
        benchmark::DoNotOptimize(count);
    }
}
BENCHMARK(BM_ForEachByDepthDiamondChain)->Unit(benchmark::kMillisecond);

void BM_FirstOccurrenceDiamondChain(benchmark::State& state) {
    const DependencyMap map = diamond_chain(20);
    for (auto _ : state) benchmark::DoNotOptimize(map.first_occurrence_by_depth());
}
BENCHMARK(BM_FirstOccurrenceDiamondChain)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
