// The group generator on the chain of 20 diamonds, whose layered listing
// holds 4,194,301 elements of which 61 are distinct: a group needs each
// package once, so its cost must follow the 61, not the 4 million. The whole
// `release` command on the same chain is timed by bench/run.sh.
#include <benchmark/benchmark.h>

#include "groups/group_generator.h"
#include "groups/group_input.h"
#include "model/dependency_map.h"
// The diamond chain fixture is shared with the unit tests.
#include "../tests/unit/model/dependency_map_examples.h"

namespace {

using quorl::DependencyMap;
using quorl::GroupGenerator;
using quorl::GroupInput;

void BM_GenerateGroupDiamondChain(benchmark::State& state) {
    const DependencyMap map = quorl::examples::diamond_chain(20);
    const GroupInput group("pinned.txt", "chain", {"t0"});
    std::size_t size = 0;
    for (auto _ : state) {
        size = GroupGenerator::generate_group(map, group).reqs.size();
        benchmark::DoNotOptimize(size);
    }
    state.counters["requirements"] = static_cast<double>(size);
}
BENCHMARK(BM_GenerateGroupDiamondChain)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
