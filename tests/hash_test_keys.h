#ifndef TESTS_HASH_TEST_KEYS_H_
#define TESTS_HASH_TEST_KEYS_H_

// Shared by the tests of the two hash tables: the tables with their entry
// operations opened, keys with known hashes and data pointers made from
// numbers.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "libcontainer/libcontainer.h"

inline Ptr P(uintptr_t v) { return reinterpret_cast<Ptr>(v); }
inline uintptr_t V(CPtr p) { return reinterpret_cast<uintptr_t>(p); }

// A hash table with its protected entry operations opened to the tests. It
// records each object handed to deleteObj instead of freeing it.
template <class Table>
class OpenTable : public Table {
 public:
  template <class... Args>
  explicit OpenTable(Args... args) : Table(args...) {}
  ~OpenTable() override { this->clear(); }

  using Table::first;
  using Table::insert;
  using Table::lookup;
  using Table::next;
  using Table::remove;

  std::vector<Ptr> deleted;

 protected:
  void deleteObj(Ptr obj) override { deleted.push_back(obj); }
};

// With autodelete on, fills `t` with `n` new objects under key(i % keys),
// so that keys repeat, then removes every `step`-th key: remove returns null
// and hands deleteObj the object lookup found; an absent key hands over
// nothing. clear hands over the rest: each object exactly once.
template <class Table, class KeyOf>
void ExpectAutoDeleteHandsOverOnce(Table& t, int n, int keys, int step, KeyOf key) {
  std::vector<int*> objects;
  t.setAutoDelete(true);
  for (int i = 0; i < n; i++) {
    objects.push_back(new int(i));
    t.insert(key(i % keys), objects.back());
  }
  size_t removed = 0;
  for (int k = 0; k < keys; k += step) {
    Ptr found = t.lookup(key(k));
    EXPECT_EQ(nullptr, t.remove(key(k)));
    ASSERT_EQ(++removed, t.deleted.size());
    EXPECT_EQ(found, t.deleted.back());
  }
  EXPECT_EQ(nullptr, t.remove(key(keys + 1000)));
  EXPECT_EQ(removed, t.deleted.size());
  EXPECT_EQ(n - static_cast<int>(removed), t.length());

  t.clear();
  EXPECT_EQ(0, t.length());
  std::vector<Ptr> handed = t.deleted;
  std::vector<Ptr> all(objects.begin(), objects.end());
  std::sort(handed.begin(), handed.end());
  std::sort(all.begin(), all.end());
  EXPECT_EQ(all, handed);
  for (int* p : objects) delete p;
}

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
