#pragma once
// The benchmark part of every benchmark program's main, run after the main has
// made its application object (Qt's SQL drivers want one before the first
// connection; the window benchmarks want a QApplication).

#include <benchmark/benchmark.h>

namespace zurm::bench {

inline int runBenchmarks(int& argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace zurm::bench
