// Contenders timed in turn on the same data, round after round: each one's median time per
// run. Timing them interleaved keeps a shared machine's changing load out of their ratios,
// and the median leaves out the rounds another process cut into.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct Contender {
    std::string name;
    std::function<void()> run;
};

class Race {
  public:
    // Times each contender once to choose how often it runs per sample (about 20 us' worth,
    // well above the clock's own cost).
    explicit Race(std::vector<Contender> contenders);
    // One sample of every contender, in order.
    void round();
    // Median nanoseconds per run, in the contenders' order.
    std::vector<double> median_nanoseconds() const;
    const std::vector<Contender>& contenders() const { return contenders_; }

  private:
    std::vector<Contender> contenders_;
    std::vector<int> runs_per_sample_;
    std::vector<std::vector<double>> samples_;
};
