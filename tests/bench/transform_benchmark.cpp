// Speed of the kernel's variants on bands of 8 x 256 and 8 x 8192 pixels at every depth and
// plane count, beside the in-place pass over the same band (the least a one-pass in-place
// filter can cost) and the reference; then of the real module's start call on a host that
// hands back one 8 x 8192 RGBA band, beside the same pass. Each benchmark races its contenders
// in turn on one band (race.h) and reports each one's pixels per ns as a counter; the program
// ends with the tables of those and their ratios. Run:
//   build/native/tests/bench/transform_benchmark [--benchmark_repetitions=N]
// (with repetitions, the tables take the median of the N runs). Each pass works on the band
// the last one left, so after the first the colour bands hold greys; the SIMD rows' speed
// does not depend on the values, save for the rare 8-bit blocks that the reference redoes.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "tests/bench/bench_band.h"
#include "tests/bench/module_benchmark.h"
#include "tests/bench/race.h"
#include "transform/kernel_variants.h"
#include "transform/rows.h"

namespace {

constexpr int64_t kRows = 8;
constexpr int64_t kWidths[] = {256, 8192};
struct Format {
    int planes;
    int32_t depth;
};
constexpr Format kFormats[] = {{4, 8}, {2, 8}, {4, 16}, {2, 16}, {4, 32}, {2, 32}};
const char* const kInPlace = "in-place";
const char* const kInPlace16 = "in-place-16";

std::string kernel_name(const Format& f, int64_t columns) {
    return "kernel/" + std::to_string(f.depth) + "-bit/" + std::to_string(f.planes) + "-planes/8x" +
           std::to_string(columns);
}

void kernel_race(benchmark::State& state, Format f, int64_t columns) {
    BenchBand band(f.planes, f.depth, kRows, columns);
    std::vector<Contender> contenders = {
        {kInPlace, [&band] { in_place_pass(band.data(), band.bytes()); }},
        {kInPlace16, [&band] { in_place_pass_16(band.data(), band.bytes()); }}};
    for (const KernelVariant variant : kAllKernelVariants) {
        if (!this_cpu_runs(variant)) continue;
        contenders.push_back({kernel_variant_name(variant), [&band, f, columns, variant] {
                                  luminance_to_alpha_with(rows_of(variant), band.data(), kRows,
                                                          columns, band.row_bytes(), f.planes,
                                                          f.depth);
                              }});
    }
    Race race(std::move(contenders));
    for (auto _ : state) {
        race.round();
        benchmark::ClobberMemory();
    }
    const std::vector<double> medians = race.median_nanoseconds();
    for (size_t i = 0; i < medians.size(); ++i)
        state.counters[race.contenders()[i].name] = double(kRows * columns) / medians[i];
}

void register_kernel_benchmarks() {
    for (const int64_t columns : kWidths)
        for (const Format& f : kFormats)
            benchmark::RegisterBenchmark(kernel_name(f, columns).c_str(), kernel_race, f, columns);
}

// The counters of every benchmark run, by name (the median when repeated).
class TableReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
            for (const auto& [name, counter] : run.counters)
                counters[run.run_name.str()][name] = counter.value;
        }
    }
    std::map<std::string, std::map<std::string, double>> counters;
};

void print_kernel_table(const std::map<std::string, std::map<std::string, double>>& counters) {
    const KernelVariant fastest = kernel_variant_in_use();
    std::printf("\nKernel, pixels per ns, and the ratios of the variant in use (%s):\n\n"
                "| band | pixels | in-place | in-place, 16 B |",
                kernel_variant_name(fastest));
    for (const KernelVariant v : kAllKernelVariants)
        if (this_cpu_runs(v)) std::printf(" %s |", kernel_variant_name(v));
    std::printf(" / in-place | / in-place, 16 B | / reference |\n|---|---|---:|---:|");
    for (const KernelVariant v : kAllKernelVariants)
        if (this_cpu_runs(v)) std::printf("---:|");
    std::printf("---:|---:|---:|\n");
    for (const int64_t columns : kWidths) {
        for (const Format& f : kFormats) {
            const auto found = counters.find(kernel_name(f, columns));
            if (found == counters.end()) continue;
            const auto speed = [&found](const char* contender) {
                const auto value = found->second.find(contender);
                return value == found->second.end() ? 0.0 : value->second;
            };
            std::printf("| 8 x %lld | %s %d-bit | %.2f | %.2f |", static_cast<long long>(columns),
                        f.planes == 4 ? "RGBA" : "grey+alpha", static_cast<int>(f.depth),
                        speed(kInPlace), speed(kInPlace16));
            for (const KernelVariant v : kAllKernelVariants)
                if (this_cpu_runs(v)) std::printf(" %.2f |", speed(kernel_variant_name(v)));
            const double best = speed(kernel_variant_name(fastest));
            std::printf(" %.2f | %.2f | %.1f |\n", best / speed(kInPlace), best / speed(kInPlace16),
                        best / speed("reference"));
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    register_kernel_benchmarks();
    register_module_benchmarks();
    TableReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nIn-place pass in %s vectors.\n", in_place_pass_width());
    print_kernel_table(reporter.counters);
    print_module_table(reporter.counters);
    benchmark::Shutdown();
    return 0;
}
