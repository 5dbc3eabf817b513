#include "TestSupport.h"

#include <QApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

// The benchmarks run on the offscreen platform in a home folder of their own.
int main(int argc, char* argv[]) {
    QTemporaryDir home;
    isolateTestProcess(home);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
