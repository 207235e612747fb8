#pragma once

#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

// The median time of run in microseconds; untimed runs after each (to free what run built).
inline double MedianMicroseconds(
    int repetitions, const std::function<void()>& run, const std::function<void()>& untimed = [] {})
{
    std::vector<double> times;
    times.reserve(size_t(repetitions));
    run(); // warm up
    untimed();
    for (int i = 0; i < repetitions; ++i) {
        QElapsedTimer timer;
        timer.start();
        run();
        times.push_back(double(timer.nsecsElapsed()) / 1000.0);
        untimed();
    }
    std::nth_element(times.begin(), times.begin() + repetitions / 2, times.end());
    return times[size_t(repetitions / 2)];
}

// One line of a benchmark's table: the figure and its ratio to the baseline.
inline void Report(const char* what, double us, double baselineUs)
{
    std::printf("  %-46s %9.1f us  %6.2fx\n", what, us, us / baselineUs);
}
