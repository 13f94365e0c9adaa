// The main function's work of a benchmark program: the Qt application object
// its code needs, then the benchmarks selected on the command line.
#pragma once

#include <benchmark/benchmark.h>

#include <QCoreApplication>

namespace benchsupport {

// Runs the benchmarks; the application object must exist already.
inline int runBenchmarks(int &argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// For benchmarks without widgets (processes, the object server).
inline int runCoreBenchmarks(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    return runBenchmarks(argc, argv);
}

} // namespace benchsupport
