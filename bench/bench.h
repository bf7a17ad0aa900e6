// Shared helpers of the benchmark program.
#ifndef BENCH_BENCH_H_
#define BENCH_BENCH_H_

#include <string>

// A directory made for this run under /tmp; removed with its contents when
// the program ends.
const std::string& BenchTempDir();

#endif  // BENCH_BENCH_H_
