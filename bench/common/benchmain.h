#pragma once
// main() of the benchmark programs that take --tav_smoke: CTest's smoke run
// passes it to shrink the data, Google Benchmark sees the other arguments.

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace tavbench {

inline int runMain(int argc, char** argv, bool* smoke)
{
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--tav_smoke") == 0)
            *smoke = true;
        else
            args.push_back(argv[i]);
    }
    int n = int(args.size());
    benchmark::Initialize(&n, args.data());
    if (benchmark::ReportUnrecognizedArguments(n, args.data()))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace tavbench
