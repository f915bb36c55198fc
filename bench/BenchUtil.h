// What the benchmark programs share: a millisecond clock, medians, and the
// way a figure is printed next to its goal.
#pragma once

#include <windows.h>

#include <stdio.h>

#include <algorithm>
#include <vector>

// Milliseconds since an arbitrary start, from the performance counter.
inline double BenchNowMs()
{
    static LARGE_INTEGER s_freq;
    if (s_freq.QuadPart == 0)
        ::QueryPerformanceFrequency(&s_freq);
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(s_freq.QuadPart);
}

// The q-quantile (0 to 1) by linear interpolation; 0.5 is the median.
inline double BenchQuantile(std::vector<double> values, double q)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const double pos = q * static_cast<double>(values.size() - 1);
    const size_t i = static_cast<size_t>(pos);
    if (i + 1 >= values.size())
        return values.back();
    return values[i] + (values[i + 1] - values[i]) * (pos - static_cast<double>(i));
}

inline double BenchMedian(const std::vector<double>& values)
{
    return BenchQuantile(values, 0.5);
}

inline double BenchMin(const std::vector<double>& values)
{
    return values.empty() ? 0.0 : *std::min_element(values.begin(), values.end());
}

inline double BenchMax(const std::vector<double>& values)
{
    return values.empty() ? 0.0 : *std::max_element(values.begin(), values.end());
}

// One figure with its goal: "  <label>  <figure>  goal <goal>  OK|MISSED".
inline void BenchPrintGoal(const char* pszLabel, const char* pszFigure, const char* pszGoal, bool bMet)
{
    printf("  %-44s %-30s goal %-12s %s\n", pszLabel, pszFigure, pszGoal, bMet ? "OK" : "MISSED");
    fflush(stdout);
}
