#ifndef TESTS_HASH_TEST_KEYS_H_
#define TESTS_HASH_TEST_KEYS_H_

// Keys with known hashes and data pointers made from numbers, shared by the
// tests of the two hash tables.

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "libcontainer/libcontainer.h"

inline Ptr P(uintptr_t v) { return reinterpret_cast<Ptr>(v); }
inline uintptr_t V(CPtr p) { return reinterpret_cast<uintptr_t>(p); }

// A text key whose DHashFromString value is `h` (1 <= h <= 2048): one byte
// below 128, else two.
inline std::string KeyWithHash(unsigned int h) {
  unsigned int c1 = (h - 1) / 16;
  std::string key = h < 128 ? std::string(1, static_cast<char>(h))
                            : std::string{static_cast<char>(c1), static_cast<char>(h - 16 * c1)};
  EXPECT_EQ(h, DHashFromString(key.c_str()));
  return key;
}

// At least `n` three-byte keys over 'A'..'z', many of them with an exact hash
// twin: (c2 + 1, c3 - 16) keeps 16 * c2 + c3 and so the hash.
inline std::vector<std::string> TextKeyPool(std::mt19937& rng, size_t n) {
  std::vector<std::string> pool;
  std::uniform_int_distribution<int> ch('A', 'z');
  while (pool.size() < n) {
    std::string s = {static_cast<char>(ch(rng)), static_cast<char>(ch(rng)),
                     static_cast<char>(ch(rng))};
    pool.push_back(s);
    if (s[2] - 16 >= 'A' && s[1] < 'z') {
      pool.push_back({s[0], static_cast<char>(s[1] + 1), static_cast<char>(s[2] - 16)});
      EXPECT_EQ(DHashFromString(s.c_str()), DHashFromString(pool.back().c_str()));
    }
  }
  return pool;
}

#endif  // TESTS_HASH_TEST_KEYS_H_
