#pragma once

// Timing helpers of the benchmarks: medians, and growth series with the
// exponent k of the fitted time ~ n^k (least squares over log n, log t).

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace bench {

// The command line every growth benchmark takes: [rounds [largest]].
struct Arguments {
    int rounds = 5;
    int largest = 0;
};

inline Arguments ReadArguments(int argc, char** argv, int defaultLargest, int leastLargest) {
    Arguments a;
    a.rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    a.largest = argc > 2 ? std::max(leastLargest, std::atoi(argv[2])) : defaultLargest;
    return a;
}

using Steady = std::chrono::steady_clock;

inline double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Seconds f takes.
template <class F>
double Seconds(F&& f) {
    const auto start = Steady::now();
    f();
    return std::chrono::duration<double>(Steady::now() - start).count();
}

// Median seconds of f over rounds runs.
template <class F>
double MedianSeconds(int rounds, F&& f) {
    std::vector<double> times;
    for (int r = 0; r < std::max(1, rounds); ++r) times.push_back(Seconds(f));
    return Median(times);
}

// Sizes and median times of one cost.
class Series {
  public:
    explicit Series(std::string name) : name_(std::move(name)) {}
    void Add(double n, double seconds) { points_.emplace_back(n, seconds); }

    // The slope of log t over log n; 0 with fewer than two points.
    [[nodiscard]] double Exponent() const {
        if (points_.size() < 2) return 0;
        double sx = 0, sy = 0, sxx = 0, sxy = 0;
        for (const auto& [n, t] : points_) {
            const double x = std::log(n), y = std::log(std::max(t, 1e-9));
            sx += x;
            sy += y;
            sxx += x * x;
            sxy += x * y;
        }
        const double m = static_cast<double>(points_.size());
        return (m * sxy - sx * sy) / (m * sxx - sx * sx);
    }

    // "name: n1 t1 ms, n2 t2 ms, ...  exponent k"; in microseconds with micro.
    void Print(bool micro = false) const {
        std::printf("%-34s", name_.c_str());
        for (const auto& [n, t] : points_)
            std::printf(" %8.0f: %9.2f %s", n, t * (micro ? 1e6 : 1e3), micro ? "us" : "ms");
        std::printf("   exponent %.2f\n", Exponent());
    }

  private:
    std::string name_;
    std::vector<std::pair<double, double>> points_;
};

}  // namespace bench
