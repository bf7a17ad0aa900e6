// Helpers shared by the fuzz targets.
//
// CHECK: unlike assert, it stays on in every build and names the failed
// condition before aborting, which libFuzzer reports as a crash with the
// input that caused it.
//
// ConsumeText: a text for a String, which cannot hold a NUL byte.

#ifndef ORVIX_FUZZ_FUZZ_CHECK_H_
#define ORVIX_FUZZ_FUZZ_CHECK_H_

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string>

#define CHECK(cond)                                                     \
  do {                                                                  \
    if (!(cond)) {                                                      \
      fprintf(stderr, "check failed: %s (line %d)\n", #cond, __LINE__); \
      abort();                                                          \
    }                                                                   \
  } while (0)

// At most `max_len` bytes from `fdp`, cut at the first NUL byte.
inline std::string ConsumeText(FuzzedDataProvider& fdp, size_t max_len) {
  std::string s = fdp.ConsumeRandomLengthString(max_len);
  return s.substr(0, s.find('\0'));
}

#endif  // ORVIX_FUZZ_FUZZ_CHECK_H_
