// Entry point: runs the benchmarks, then removes the files they generated.
#include "bench.h"

#include <stdlib.h>

#include <cstdio>
#include <string>

#include <benchmark/benchmark.h>

namespace {
std::string temp_dir;
}  // namespace

const std::string& BenchTempDir() {
  if (temp_dir.empty()) {
    char tmpl[] = "/tmp/orvix_bench.XXXXXX";
    if (mkdtemp(tmpl) == nullptr) {
      perror("mkdtemp");
      exit(1);
    }
    temp_dir = tmpl;
  }
  return temp_dir;
}

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (!temp_dir.empty()) {
    std::string cmd = "rm -rf '" + temp_dir + "'";
    if (system(cmd.c_str()) != 0) fprintf(stderr, "could not remove %s\n", temp_dir.c_str());
  }
  return 0;
}
