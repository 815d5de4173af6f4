#pragma once

// Small helpers the in-program benchmarks share.

#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace varkelon::bench {

// The p-quantile (0..1] of `v` by the nearest-rank rule; NaN for none.
inline double percentile(std::vector<double> v, double p) {
    if (v.empty()) {
        return NAN;
    }
    std::sort(v.begin(), v.end());
    const auto at = static_cast<std::size_t>(std::ceil(p * static_cast<double>(v.size())) - 1);
    return v[std::min(at, v.size() - 1)];
}

// CPU time of this process so far (all threads, user and system), in ms.
inline double cpu_ms() {
    rusage use{};
    getrusage(RUSAGE_SELF, &use);
    const auto ms = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_usec) / 1000.0;
    };
    return ms(use.ru_utime) + ms(use.ru_stime);
}

} // namespace varkelon::bench
