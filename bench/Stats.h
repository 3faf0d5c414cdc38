#pragma once

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace vornak::bench {

// The middle value; for an even count, the mean of the two middle ones.
inline double Median(std::vector<double> values)
{
    if (values.empty())
        throw std::invalid_argument("median of nothing");
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 == 1 ? values[mid] : (values[mid - 1] + values[mid]) / 2.0;
}

// Element by element a[i] / b[i], for ratios taken pair by pair within one run.
inline std::vector<double> Ratios(const std::vector<double>& a, const std::vector<double>& b)
{
    if (a.size() != b.size())
        throw std::invalid_argument("ratios of series of different lengths");
    std::vector<double> out;
    for (std::size_t i = 0; i < a.size(); ++i)
        out.push_back(a[i] / b[i]);
    return out;
}

} // namespace vornak::bench
