#pragma once
// The yardstick every benchmark here is read against: memcpy's bandwidth on
// this machine, measured in the same run, so a figure holds as a ratio across
// machines whatever their absolute speed.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

namespace tavbench {

// Best-of-`reps` memcpy bandwidth over `bytes` bytes, in bytes per second;
// measured once per size and then cached.
inline double memcpyBandwidth(size_t bytes, int reps = 20)
{
    static std::map<size_t, double> cache;
    const auto it = cache.find(bytes);
    if (it != cache.end())
        return it->second;
    std::vector<unsigned char> a(bytes, 1), b(bytes, 2);
    double best = 1e30;
    for (int r = 0; r < std::max(1, reps); ++r) {
        const auto t0 = std::chrono::steady_clock::now();
        std::memcpy(b.data(), a.data(), bytes);
        benchmark::DoNotOptimize(b.data());
        benchmark::ClobberMemory();
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
        std::swap(a, b);
    }
    const double bw = double(bytes) / std::max(best, 1e-9);
    cache[bytes] = bw;
    return bw;
}

} // namespace tavbench
