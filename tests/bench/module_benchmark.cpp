// The module's start call raced against its own in-place pass; see module_benchmark.h. The module's
// portable code is linked natively, without sanitizers; the message box and about box are
// stand-ins that show nothing (the run never reaches them).
#include "tests/bench/module_benchmark.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

#include "host/host_codes.h"
#include "host/plugin_main.h"
#include "tests/bench/bench_band.h"
#include "tests/bench/race.h"
#include "tests/common/fake_host_record.h"

namespace {

constexpr int64_t kColumns = 8192;
constexpr int64_t kBandRows = 8;
constexpr int64_t kBands = 16; // per start call
constexpr int32_t kDepths[] = {8, 16, 32};

// What the host's advanceState hands back: the one band of the run being measured.
struct HostRun {
    std::unique_ptr<FakeHostRecord> host;
    std::unique_ptr<BenchBand> band;
};
HostRun host_run;

OSErr hand_back_the_band() {
    FilterRecord& record = host_run.host->record;
    record.outData = host_run.band->data();
    record.outRowBytes = static_cast<int32_t>(host_run.band->row_bytes());
    return noErr;
}

std::string module_name(int32_t depth) {
    return "module/" + std::to_string(depth) + "-bit";
}

// The start call against the pass over its band, in microseconds per band.
void module_race(benchmark::State& state, int32_t depth) {
    host_run.band = std::make_unique<BenchBand>(4, depth, kBandRows, kColumns);
    host_run.host = std::make_unique<FakeHostRecord>(PluginMain, static_cast<int32_t>(kColumns),
                                                     static_cast<int32_t>(kBands * kBandRows),
                                                     int16_t{4}, depth);
    FakeHostRecord& host = *host_run.host;
    host.record.advanceState = hand_back_the_band;
    BenchBand& band = *host_run.band;
    Race race({{"start-call", [&host] { host.call(filterSelectorStart); }},
               {"in-place", [&band] { in_place_pass(band.data(), band.bytes()); }},
               {"in-place-16", [&band] { in_place_pass_16(band.data(), band.bytes()); }}});
    for (auto _ : state) {
        race.round();
        benchmark::ClobberMemory();
    }
    if (host.result != noErr) state.SkipWithError("the start call failed");
    const std::vector<double> medians = race.median_nanoseconds();
    state.counters["start-call-us-per-band"] = medians[0] / kBands / 1000.0;
    state.counters["in-place-us"] = medians[1] / 1000.0;
    state.counters["in-place-16-us"] = medians[2] / 1000.0;
    host_run.host.reset();
    host_run.band.reset();
}

} // namespace

void register_module_benchmarks() {
    for (const int32_t depth : kDepths)
        benchmark::RegisterBenchmark(module_name(depth).c_str(), module_race, depth);
}

void print_module_table(const std::map<std::string, std::map<std::string, double>>& counters) {
    std::printf("\nThrough the module: one start call of %lld bands of 8 x %lld RGBA pixels, per "
                "band, against the in-place pass over the band.\n\n"
                "| depth | start call, us per band | in-place, us | in-place, 16 B, us | "
                "/ in-place | / in-place, 16 B |\n|---|---:|---:|---:|---:|---:|\n",
                static_cast<long long>(kBands), static_cast<long long>(kColumns));
    for (const int32_t depth : kDepths) {
        const auto found = counters.find(module_name(depth));
        if (found == counters.end()) continue;
        const auto value = [&found](const char* name) {
            const auto v = found->second.find(name);
            return v == found->second.end() ? 0.0 : v->second;
        };
        const double call = value("start-call-us-per-band");
        const double pass = value("in-place-us");
        const double pass_16 = value("in-place-16-us");
        std::printf("| %d-bit | %.2f | %.2f | %.2f | %.2f | %.2f |\n", static_cast<int>(depth),
                    call, pass, pass_16, call / pass, call / pass_16);
    }
}
