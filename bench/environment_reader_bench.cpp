// Reading an installed environment: the real reader on a site-packages
// directory made by bench/generate_env.py, and the dependency map built from
// it. The directory comes from QUORL_BENCH_SITE. Results in BENCHMARKS.md.
#include <benchmark/benchmark.h>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "environment/distribution_reader.h"
#include "model/dependency_map.h"

namespace {

using quorl::DependencyMap;
using quorl::InstalledDistributionReader;

InstalledDistributionReader site_reader(benchmark::State& state) {
    const char* site = std::getenv("QUORL_BENCH_SITE");
    if (site == nullptr) state.SkipWithError("set QUORL_BENCH_SITE to a site-packages directory");
    quorl::MarkerValues markers;
    markers.set(quorl::MarkerVariable::PythonVersion, "3.11");
    markers.set(quorl::MarkerVariable::SysPlatform, "linux");
    return InstalledDistributionReader({site == nullptr ? "" : site}, markers);
}

// The reference: every */METADATA read whole, nothing parsed.
void BM_ReadWholeMetadataFiles(benchmark::State& state) {
    const char* site = std::getenv("QUORL_BENCH_SITE");
    if (site == nullptr) return state.SkipWithError("set QUORL_BENCH_SITE to a site-packages directory");
    std::string buffer(65536, '\0');
    for (auto _ : state) {
        std::size_t bytes = 0;
        DIR* dir = ::opendir(site);
        while (const dirent* entry = ::readdir(dir)) {
            const int fd = ::openat(::dirfd(dir), (std::string(entry->d_name) + "/METADATA").c_str(), O_RDONLY);
            if (fd < 0) continue;
            for (ssize_t got; (got = ::read(fd, buffer.data(), buffer.size())) > 0;)
                bytes += static_cast<std::size_t>(got);
            ::close(fd);
        }
        ::closedir(dir);
        benchmark::DoNotOptimize(bytes);
    }
}
BENCHMARK(BM_ReadWholeMetadataFiles)->Unit(benchmark::kMillisecond);

void BM_ListDistributions(benchmark::State& state) {
    // A reader lists its directories once: a new one each time, as each run has.
    for (auto _ : state) benchmark::DoNotOptimize(site_reader(state).list_distributions());
}
BENCHMARK(BM_ListDistributions)->Unit(benchmark::kMillisecond);

void BM_FromInstalledWithExtras(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(DependencyMap::from_installed(site_reader(state), true));
}
BENCHMARK(BM_FromInstalledWithExtras)->Unit(benchmark::kMillisecond);

void BM_FindOneDistribution(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(site_reader(state).find_distribution("corvaneth-quorl-tessaly"));
}
BENCHMARK(BM_FindOneDistribution)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
