// Tests of LinearHashG, the open-addressing table for String keys. Its entry
// operations are protected; the tests open them through OpenTable, which
// also records what reaches deleteObj. The table size shows in the iteration
// order (slot order) of keys whose hashes are known.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "libcontainer/libcontainer.h"
#include "tests/hash_test_keys.h"

namespace {

using TestLinear = OpenTable<LinearHashG>;

unsigned int Hash(const std::string& s) { return DHashFromString(s.c_str()); }

// Keys in iteration (slot) order.
std::vector<std::string> IterationKeys(TestLinear& t) {
  std::vector<std::string> keys;
  String key;
  for (Ptr d = t.first(key); d != nullptr; d = t.next(key)) keys.push_back(key.cStr());
  return keys;
}

// Slot order of keys with pairwise different home slots in a table of `size`.
std::vector<std::string> ByHomeSlot(std::vector<std::string> keys, unsigned int size) {
  std::sort(keys.begin(), keys.end(), [size](const std::string& a, const std::string& b) {
    return Hash(a) % size < Hash(b) % size;
  });
  return keys;
}

// The first size, 367 slots, shows in the first row of the growth test.
TEST(LinearHashGTest, NewTableIsEmpty) {
  TestLinear t;
  EXPECT_EQ(0, t.length());
  EXPECT_EQ(0, t.itemCount());
  String key("untouched");
  EXPECT_EQ(nullptr, t.first(key));
  EXPECT_EQ(nullptr, t.next(key));
  EXPECT_STREQ("untouched", key.cStr());
  EXPECT_EQ(nullptr, t.lookup("a"));
  EXPECT_EQ(nullptr, t.remove("a"));
}

TEST(LinearHashGTest, HomeSlotsFollowTheTableSize) {
  TestLinear t;
  // 'a' (97) and 'rl' (1932) share home slot 97 of 367; 'ab' (1650) is at
  // 182, the two-byte key of hash 300 at 300.
  std::string x = KeyWithHash(300);
  t.insert("a", P(1));
  t.insert("rl", P(2));
  t.insert("ab", P(3));
  t.insert(x.c_str(), P(4));
  EXPECT_EQ((std::vector<std::string>{"a", "rl", "ab", x}), IterationKeys(t));
  EXPECT_EQ(P(1), t.lookup("a"));
  EXPECT_EQ(P(2), t.lookup("rl"));

  // With 557 slots: 'a' 97, 'rl' 261, x 300, 'ab' 536.
  t.grow();
  EXPECT_EQ((std::vector<std::string>{"a", "rl", x, "ab"}), IterationKeys(t));
  EXPECT_EQ(4, t.length());
  EXPECT_EQ(P(2), t.lookup("rl"));
  EXPECT_EQ(P(3), t.lookup("ab"));
}

TEST(LinearHashGTest, RemovingTheHeadOfARunKeepsTheRestReachable) {
  TestLinear t;
  t.insert("a", P(1));
  t.insert("rl", P(2));
  EXPECT_EQ(P(1), t.remove("a"));
  EXPECT_EQ(nullptr, t.lookup("a"));
  EXPECT_EQ(P(2), t.lookup("rl"));
  // 'rl' moved back to its home slot: a new 'a' now comes after it.
  t.insert("a", P(3));
  EXPECT_EQ((std::vector<std::string>{"rl", "a"}), IterationKeys(t));
}

// A cluster of probe runs that wraps from the last slot to slot 0, with mixed
// home slots and an equal key. Every single removal must leave every other
// entry reachable, and equal keys in insertion order.
TEST(LinearHashGTest, RemovalInsideAWrappingRun) {
  const std::vector<std::string> keys = {KeyWithHash(365), KeyWithHash(365 + 367), KeyWithHash(366),
                                         KeyWithHash(367), KeyWithHash(365 + 734), KeyWithHash(368),
                                         KeyWithHash(734), KeyWithHash(365),       KeyWithHash(370),
                                         KeyWithHash(1)};
  for (size_t first = 0; first < keys.size(); first++) {
    SCOPED_TRACE(first);
    TestLinear t;
    std::vector<std::pair<std::string, uintptr_t>> present;
    for (size_t i = 0; i < keys.size(); i++) {
      t.insert(keys[i].c_str(), P(i + 1));
      present.emplace_back(keys[i], i + 1);
    }
    // Remove `first`, then the rest from the back of the list.
    std::vector<size_t> order = {first};
    for (size_t i = keys.size(); i-- > 0;) {
      if (i != first) order.push_back(i);
    }
    for (size_t k : order) {
      const std::string& key = keys[k];
      auto earliest = std::find_if(present.begin(), present.end(),
                                   [&](const auto& e) { return e.first == key; });
      uintptr_t want = earliest == present.end() ? 0 : earliest->second;
      ASSERT_EQ(want, V(t.remove(key.c_str())));
      if (earliest != present.end()) present.erase(earliest);
      ASSERT_EQ(static_cast<int>(present.size()), t.length());
      for (const std::string& other : keys) {
        auto e = std::find_if(present.begin(), present.end(),
                              [&](const auto& p) { return p.first == other; });
        ASSERT_EQ(e == present.end() ? 0 : e->second, V(t.lookup(other.c_str())));
      }
    }
    EXPECT_TRUE(IterationKeys(t).empty());
  }
}

// The insertion that finds more than 60 % of the slots taken grows the table
// first. Consecutive hashes give distinct home slots; they wrap around the
// old size but not around the new one, so the slot order tells the sizes.
TEST(LinearHashGTest, GrowsOnTheInsertionThatFindsItOver60Percent) {
  struct {
    int grows_first;
    unsigned int size, next_size, first_hash;
    int without_growth;
  } cases[] = {{0, 367, 557, 300, 221}, {1, 557, 823, 400, 335}, {2, 823, 1237, 700, 494}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.size);
    TestLinear t;
    for (int i = 0; i < c.grows_first; i++) t.grow();
    std::vector<std::string> keys;
    for (int i = 0; i <= c.without_growth; i++) keys.push_back(KeyWithHash(c.first_hash + i));
    ASSERT_NE(ByHomeSlot(keys, c.size), ByHomeSlot(keys, c.next_size));

    std::vector<std::string> placed(keys.begin(), keys.end() - 1);
    for (size_t i = 0; i < placed.size(); i++) t.insert(placed[i].c_str(), P(i + 1));
    EXPECT_EQ(ByHomeSlot(placed, c.size), IterationKeys(t));

    t.insert(keys.back().c_str(), P(keys.size()));
    EXPECT_EQ(ByHomeSlot(keys, c.next_size), IterationKeys(t));
    EXPECT_EQ(c.without_growth + 1, t.length());
    for (size_t i = 0; i < keys.size(); i++) EXPECT_EQ(P(i + 1), t.lookup(keys[i].c_str()));
  }
}

TEST(LinearHashGTest, GrowthStopsAtTheLargestSize) {
  TestLinear t;
  std::vector<std::string> keys = {"linear", "zyxwvuts", "abcdefgh"};
  ASSERT_NE(ByHomeSlot(keys, 13845163), ByHomeSlot(keys, 9230113));
  for (int i = 0; i < 25; i++) t.grow();  // 367 -> 9230113
  for (size_t i = 0; i < keys.size(); i++) t.insert(keys[i].c_str(), P(i + 1));
  EXPECT_EQ(ByHomeSlot(keys, 9230113), IterationKeys(t));
  t.grow();
  EXPECT_EQ(ByHomeSlot(keys, 13845163), IterationKeys(t));
  t.grow();
  t.grow();
  EXPECT_EQ(ByHomeSlot(keys, 13845163), IterationKeys(t));
  for (size_t i = 0; i < keys.size(); i++) EXPECT_EQ(P(i + 1), t.lookup(keys[i].c_str()));
}

TEST(LinearHashGTest, AutoDeleteHandsEachObjectOverExactlyOnce) {
  TestLinear t;  // 300 entries: grows once, equal keys on the way
  ExpectAutoDeleteHandsOverOnce(t, 300, 250, 7,
                                [](int k) { return String(std::to_string(k).c_str()); });
}

TEST(LinearHashGTest, IterationVisitsEachEntryOnceWithKeyCopies) {
  TestLinear t;
  for (int i = 0; i < 50; i++) t.insert(std::to_string(i * 37).c_str(), P(i + 1));
  std::vector<uintptr_t> seen;
  String key;
  for (Ptr d = t.first(key); d != nullptr; d = t.next(key)) {
    EXPECT_EQ(std::to_string((V(d) - 1) * 37), key.cStr());
    key = "changed";  // the table keeps its own copy
    seen.push_back(V(d));
  }
  EXPECT_STREQ("changed", key.cStr());
  EXPECT_EQ(nullptr, t.next(key));
  EXPECT_STREQ("changed", key.cStr());
  std::sort(seen.begin(), seen.end());
  for (int i = 0; i < 50; i++) EXPECT_EQ(static_cast<uintptr_t>(i + 1), seen[i]);
  EXPECT_EQ(P(1), t.lookup("0"));
}

TEST(LinearHashGTest, ClearKeepsSizeAndObjects) {
  TestLinear t;
  t.grow();
  t.insert("x", P(1));
  t.clear();
  EXPECT_EQ(0, t.length());
  EXPECT_TRUE(t.deleted.empty());
  EXPECT_EQ(nullptr, t.lookup("x"));
  // 400 is slot 33 of 367 but slot 400 of 557.
  std::vector<std::string> keys = {KeyWithHash(300), KeyWithHash(400)};
  t.insert(keys[1].c_str(), P(2));
  t.insert(keys[0].c_str(), P(3));
  EXPECT_EQ(keys, IterationKeys(t));
}

// Random operations against a model that keeps, per key, the data in the
// order lookup reaches them: insertion order, except that a growth places
// entries anew in the old slot order, which the test reads by iteration just
// before the insertion that grows the table.
TEST(LinearHashGTest, RandomOperationsAgainstModel) {
  std::mt19937 rng(2024);
  std::vector<std::string> pool = TextKeyPool(rng, 900);

  const int kRounds = 6;
  const int kOpsPerRound = 50000;
  int operations = 0;
  for (int round = 0; round < kRounds; round++) {
    SCOPED_TRACE(round);
    const unsigned int largest = N_primes[7 + round % 4];  // 367 .. 1237
    TestLinear t;
    unsigned int size = 367;
    std::unordered_map<std::string, std::vector<uintptr_t>> model;
    int count = 0;
    uintptr_t next_data = 1;

    for (int op = 0; op < kOpsPerRound; op++, operations++) {
      // Keep the load at the growth threshold: above it while the table may
      // still grow, at most 60 % once it reached its largest size here.
      int target = static_cast<int>(size * 3 / 5) + (size < largest ? 3 : 0);
      const std::string& key = pool[rng() % pool.size()];
      std::vector<uintptr_t>& found = model[key];
      uintptr_t front = found.empty() ? 0 : found.front();
      unsigned int r = rng() % 100;
      if (r < 55 && count < target) {
        if (5 * count > 3 * static_cast<int>(size)) {
          // This insertion grows the table: equal keys come out in old slot order.
          std::unordered_map<uintptr_t, int> slot_rank;
          int rank = 0;
          String k;
          for (Ptr d = t.first(k); d != nullptr; d = t.next(k)) slot_rank[V(d)] = rank++;
          for (auto& m : model) {
            std::sort(m.second.begin(), m.second.end(),
                      [&](uintptr_t a, uintptr_t b) { return slot_rank.at(a) < slot_rank.at(b); });
          }
          size = GetLargerPrime(size);
          front = found.empty() ? 0 : found.front();
        }
        t.insert(key.c_str(), P(next_data));
        found.push_back(next_data++);
        count++;
      } else if (r < 85) {
        ASSERT_EQ(front, V(t.remove(key.c_str()))) << "op " << op;
        if (!found.empty()) {
          found.erase(found.begin());
          count--;
        }
      } else {
        ASSERT_EQ(front, V(t.lookup(key.c_str()))) << "op " << op;
      }
      ASSERT_EQ(count, t.length());

      if (op % 2000 == 1999) {
        // Every key, present or not, is found exactly as the model says.
        for (const std::string& k : pool) {
          const std::vector<uintptr_t>& f = model[k];
          ASSERT_EQ(f.empty() ? 0 : f.front(), V(t.lookup(k.c_str()))) << k;
        }
        ASSERT_EQ(count, static_cast<int>(IterationKeys(t).size()));
      }
    }
    EXPECT_EQ(largest, size);
  }
  EXPECT_EQ(300000, operations);
}

}  // namespace
