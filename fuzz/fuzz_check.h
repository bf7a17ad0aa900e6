// CHECK for the fuzz targets: unlike assert, it stays on in every build and
// names the failed condition before aborting, which libFuzzer reports as a
// crash with the input that caused it.

#ifndef ORVIX_FUZZ_FUZZ_CHECK_H_
#define ORVIX_FUZZ_FUZZ_CHECK_H_

#include <cstdio>
#include <cstdlib>

#define CHECK(cond)                                                     \
  do {                                                                  \
    if (!(cond)) {                                                      \
      fprintf(stderr, "check failed: %s (line %d)\n", #cond, __LINE__); \
      abort();                                                          \
    }                                                                   \
  } while (0)

#endif  // ORVIX_FUZZ_FUZZ_CHECK_H_
