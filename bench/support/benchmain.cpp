// The shared main of the micro-benchmark programs: a paper size option, then Google Benchmark's own.
#include "bench/support/benchmain.h"

#include "paper/paperformat.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace bench {

namespace {
int questionsOption = paper::maxQuestions;
bool anyFailed = false;
}

int questionCount() { return questionsOption; }

void fail(benchmark::State &state, const std::string &message)
{
    anyFailed = true;
    state.SkipWithError(message.c_str());
}

} // namespace bench

int main(int argc, char **argv)
{
    // --questions=N is ours; it is taken out before Google Benchmark reads the rest.
    const char prefix[] = "--questions=";
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], prefix, sizeof prefix - 1) == 0) {
            char *end = nullptr;
            const long n = std::strtol(argv[i] + sizeof prefix - 1, &end, 10);
            if (*end != '\0' || n < 1 || n > paper::maxQuestions) {
                std::fprintf(stderr, "%s: --questions takes a whole number from 1 to %d\n", argv[0],
                             paper::maxQuestions);
                return 2;
            }
            bench::questionsOption = int(n);
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 2;
    bench::registerBenchmarks(bench::questionCount());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return bench::anyFailed ? 1 : 0;
}
