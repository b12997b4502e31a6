// Contenders timed in turn; see race.h.
#include "tests/bench/race.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace {

using Clock = std::chrono::steady_clock;

double nanoseconds_since(Clock::time_point start) {
    return std::chrono::duration<double, std::nano>(Clock::now() - start).count();
}

} // namespace

Race::Race(std::vector<Contender> contenders) : contenders_(std::move(contenders)) {
    for (const Contender& c : contenders_) {
        c.run(); // warm caches and the branch predictor
        const Clock::time_point start = Clock::now();
        c.run();
        const double once = std::max(nanoseconds_since(start), 1.0);
        runs_per_sample_.push_back(std::max(1, static_cast<int>(20000.0 / once)));
    }
    samples_.resize(contenders_.size());
}

void Race::round() {
    for (size_t i = 0; i < contenders_.size(); ++i) {
        const int runs = runs_per_sample_[i];
        const Clock::time_point start = Clock::now();
        for (int r = 0; r < runs; ++r)
            contenders_[i].run();
        samples_[i].push_back(nanoseconds_since(start) / runs);
    }
}

std::vector<double> Race::median_nanoseconds() const {
    std::vector<double> medians;
    for (const std::vector<double>& kept : samples_) {
        std::vector<double> samples = kept; // reordered below
        if (samples.empty()) {
            medians.push_back(0.0);
            continue;
        }
        const auto middle = samples.begin() + static_cast<std::ptrdiff_t>(samples.size() / 2);
        std::nth_element(samples.begin(), middle, samples.end());
        medians.push_back(*middle);
    }
    return medians;
}
