// The shared main of the micro-benchmark programs: a paper size option, then Google Benchmark's own.
#pragma once

#include <benchmark/benchmark.h>

#include <string>

namespace bench {

// How many questions the generated papers hold: --questions=N on the command line,
// 32766 (the most a paper holds) without it.
int questionCount();

// Each benchmark program registers its benchmarks here, once the size is known.
void registerBenchmarks(int questions);

// A benchmark whose work gave a wrong result: it stops with the message, and the program
// ends with status 1 so that the smoke run in the tests fails.
void fail(benchmark::State &state, const std::string &message);

} // namespace bench
