// Tests of HashG, its key functions and the prime table it takes its sizes
// from. HashG hides its entry operations; the tests open them through
// OpenTable, which also records what reaches deleteObj.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "libcontainer/libcontainer.h"
#include "tests/hash_test_keys.h"

namespace {

using TestHash = OpenTable<HashG>;

// The key of a table entry as a number: the pointer value for pointer keys,
// the hash for text keys made by KeyWithHash.
uintptr_t KeyNumber(HashG::DKeyType type, Ptr key) {
  return type == HashG::KEY_STRING ? DHashFromString(key) : V(key);
}

// Keys in iteration order.
std::vector<uintptr_t> IterationKeys(TestHash& t, HashG::DKeyType type) {
  std::vector<uintptr_t> keys;
  Ptr key = nullptr;
  for (Ptr d = t.first(key); d != nullptr; d = t.next(key)) {
    keys.push_back(KeyNumber(type, key));
  }
  return keys;
}

// Iteration order of distinct hash values inserted in the given order into a
// table of `buckets` buckets: ascending bucket, newest first within a bucket.
std::vector<uintptr_t> ExpectedOrder(const std::vector<uintptr_t>& inserted, unsigned int buckets) {
  std::vector<size_t> idx(inserted.size());
  for (size_t i = 0; i < idx.size(); i++) idx[i] = i;
  std::sort(idx.begin(), idx.end(), [&](size_t a, size_t b) {
    uintptr_t ba = inserted[a] % buckets, bb = inserted[b] % buckets;
    return ba != bb ? ba < bb : a > b;
  });
  std::vector<uintptr_t> order;
  for (size_t i : idx) order.push_back(inserted[i]);
  return order;
}

// Inserts keys with the given hash values (data 1, 2, ...).
void InsertHashes(TestHash& t, HashG::DKeyType type, const std::vector<uintptr_t>& hashes) {
  for (size_t i = 0; i < hashes.size(); i++) {
    if (type == HashG::KEY_STRING) {
      t.insert(KeyWithHash(static_cast<unsigned int>(hashes[i])).c_str(), P(i + 1));
    } else {
      t.insert(P(hashes[i]), P(i + 1));
    }
  }
}

bool IsPrime(unsigned int n) {
  if (n < 2) return false;
  for (unsigned int d = 2; d <= n / d; d++) {
    if (n % d == 0) return false;
  }
  return true;
}

TEST(PrimeTableTest, GetLargerPrime) {
  EXPECT_EQ(DHASH_MIN_SIZE, static_cast<int>(N_primes[0]));
  EXPECT_EQ(DHASH_MAX_SIZE, static_cast<int>(N_primes[N_num_primes - 1]));

  struct {
    unsigned int x, larger;
  } cases[] = {{0, 11},
               {10, 11},
               {11, 19},
               {100, 109},
               {256, 367},
               {13845162, 13845163},
               {13845163, 13845163},
               {4294967295u, 13845163}};
  for (const auto& c : cases) EXPECT_EQ(c.larger, GetLargerPrime(c.x)) << c.x;
}

// The table sizes, written out on their own so that a wrong entry in the
// library's table shows even when it is still a prime in ascending order.
const unsigned int kTableSizes[] = {11,      19,      37,      73,      109,     163,     251,
                                    367,     557,     823,     1237,    1861,    2777,    4177,
                                    6247,    9371,    14057,   21089,   31627,   47431,   71143,
                                    106721,  160073,  240101,  360163,  540217,  810343,  1215497,
                                    1823231, 2734867, 4102283, 6153409, 9230113, 13845163};

TEST(PrimeTableTest, EveryEntry) {
  const unsigned int n = sizeof kTableSizes / sizeof kTableSizes[0];
  ASSERT_EQ(n, N_num_primes);
  for (unsigned int i = 0; i < n; i++) {
    SCOPED_TRACE(testing::Message() << "entry " << i << ", " << kTableSizes[i]);
    const unsigned int p = N_primes[i];
    EXPECT_EQ(kTableSizes[i], p);
    EXPECT_TRUE(IsPrime(p));
    if (i > 0) {
      EXPECT_LT(N_primes[i - 1], p);
    }
    // Every size is reached from just below it and steps to the next one;
    // the largest stays.
    EXPECT_EQ(kTableSizes[i], GetLargerPrime(kTableSizes[i] - 1));
    EXPECT_EQ(kTableSizes[i + 1 < n ? i + 1 : i], GetLargerPrime(kTableSizes[i]));
  }
}

TEST(KeyFunctionsTest, DHashFromStringTakesBytesAsSigned) {
  struct {
    const char* text;
    unsigned int hash;
  } cases[] = {{"", 0},
               {"a", 97},
               {"ab", 1650},
               {"abc", 26499},
               {"abcdefgh", 144358056},
               {"\xE9", 268435225},
               {"aq", 1665},
               {"ba", 1665}};
  for (const auto& c : cases) EXPECT_EQ(c.hash, DHashFromString(c.text)) << c.text;

  // Long texts fold the top bits back in and stay below 2^28.
  std::string long_text(1000, '\xFF');
  EXPECT_LT(DHashFromString(long_text.c_str()), 1u << 28);
}

// Text key copies show in the table tests below.
TEST(KeyFunctionsTest, ComparesAndPointerHash) {
  EXPECT_TRUE(DCompareString("label", "label"));
  EXPECT_FALSE(DCompareString("label", "labels"));
  DHashCleanupKeyString(nullptr);
  char one[] = "same", two[] = "same";
  EXPECT_TRUE(DComparePtr(one, one));
  EXPECT_FALSE(DComparePtr(one, two));

  EXPECT_EQ(0x9ABCDEF0u, DHashFromPtr(P(static_cast<uintptr_t>(0x9ABCDEF0u))));
  if (sizeof(uintptr_t) == 8) {
    uintptr_t wide = static_cast<uintptr_t>(0x12345678u) << 32 | 0x9ABCDEF0u;
    EXPECT_EQ(0x9ABCDEF0u, DHashFromPtr(P(wide)));
  }
}

// The bucket count shows in the iteration order of keys with known hashes.
TEST(HashGTest, BucketCountFromConstructorSize) {
  struct {
    HashG::DKeyType type;
    int size;
    unsigned int buckets;
  } cases[] = {{HashG::KEY_STRING, 0, 11},
               {HashG::KEY_STRING, 11, 19},
               {HashG::KEY_STRING, 100, 109},
               {HashG::KEY_POINTER, 10, 11},
               {HashG::KEY_POINTER, -1, 13845163}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.size);
    TestHash t(c.type, c.size);
    unsigned int n = c.buckets;
    std::vector<uintptr_t> hashes = {n - 1, n, n + 1, 2 * n + 3, 1, 40};
    InsertHashes(t, c.type, hashes);
    EXPECT_EQ(6, t.length());
    EXPECT_EQ(ExpectedOrder(hashes, n), IterationKeys(t, c.type));
  }
}

TEST(HashGTest, ResizeNeverShrinksAndMovesToTheNextPrime) {
  TestHash t(HashG::KEY_STRING, 0);
  std::vector<uintptr_t> hashes = {18, 30, 11 * 19, 22, 19, 100, 41};
  InsertHashes(t, HashG::KEY_STRING, hashes);
  ASSERT_EQ(ExpectedOrder(hashes, 11), IterationKeys(t, HashG::KEY_STRING));

  t.resize(5);
  t.resize(-1);
  EXPECT_EQ(ExpectedOrder(hashes, 11), IterationKeys(t, HashG::KEY_STRING));

  // Moving pushes each entry at its new bucket head: the old iteration order,
  // reversed within each new bucket.
  std::vector<uintptr_t> old_order = ExpectedOrder(hashes, 11);
  t.resize(11);
  std::vector<uintptr_t> expected = ExpectedOrder(old_order, 19);
  EXPECT_EQ(expected, IterationKeys(t, HashG::KEY_STRING));
  EXPECT_EQ(7, t.length());
  for (size_t i = 0; i < hashes.size(); i++) {
    EXPECT_EQ(P(i + 1), t.lookup(KeyWithHash(static_cast<unsigned int>(hashes[i])).c_str()));
  }
}

TEST(HashGTest, TextKeysAreCopiedPointerKeysAreIdentities) {
  TestHash text(HashG::KEY_STRING, 0);
  char buffer[] = "key";
  text.insert(buffer, P(1));
  buffer[0] = 'X';
  EXPECT_EQ(P(1), text.lookup("key"));
  EXPECT_EQ(nullptr, text.lookup("Xey"));
  Ptr key = nullptr;
  EXPECT_EQ(P(1), text.first(key));
  EXPECT_STREQ("key", static_cast<const char*>(key));
  EXPECT_NE(static_cast<Ptr>(buffer), key);

  TestHash ptrs(HashG::KEY_POINTER, 0);
  char one[] = "same";
  char two[] = "same";
  ptrs.insert(one, P(1));
  EXPECT_EQ(P(1), ptrs.lookup(one));
  EXPECT_EQ(nullptr, ptrs.lookup(two));
  EXPECT_EQ(nullptr, ptrs.remove(two));
  EXPECT_EQ(1, ptrs.length());
}

TEST(HashGTest, AutoDeleteHandsEachObjectOverExactlyOnce) {
  TestHash t(HashG::KEY_POINTER, 0);  // equal keys and shared buckets
  ExpectAutoDeleteHandsOverOnce(t, 40, 13, 3, [](int k) { return P(k); });
}

TEST(HashGTest, ClearWithoutAutoDeleteKeepsObjects) {
  TestHash t(HashG::KEY_STRING, 0);
  int object = 5;
  t.insert("x", &object);
  t.insert("y", &object);
  t.clear();
  EXPECT_EQ(0, t.length());
  EXPECT_EQ(0, t.itemCount());
  EXPECT_TRUE(t.deleted.empty());
  EXPECT_EQ(nullptr, t.lookup("x"));
  t.insert("x", &object);
  EXPECT_EQ(&object, t.lookup("x"));
  EXPECT_EQ(5, object);
}

TEST(HashGTest, IterationEnds) {
  TestHash t(HashG::KEY_STRING, 0);
  Ptr key = P(77);
  EXPECT_EQ(nullptr, t.next(key));
  EXPECT_EQ(nullptr, t.first(key));
  EXPECT_EQ(P(77), key);
  EXPECT_EQ(nullptr, t.next(key));

  t.insert("a", P(1));  // bucket 9
  t.insert("b", P(2));  // bucket 10, the last one
  EXPECT_EQ(P(1), t.first(key));
  EXPECT_EQ(P(2), t.next(key));
  EXPECT_STREQ("b", static_cast<const char*>(key));
  EXPECT_EQ(nullptr, t.next(key));
  EXPECT_STREQ("b", static_cast<const char*>(key));
  EXPECT_EQ(nullptr, t.next(key));
}

// Random operations against a model that keeps, per key, the data in the
// order lookup reaches them: an insertion goes first, a resize reverses.
void RunAgainstModel(HashG::DKeyType type, unsigned int seed, int ops) {
  std::mt19937 rng(seed);
  std::vector<std::string> pool = TextKeyPool(rng, 600);
  std::vector<uintptr_t> ptr_pool;  // repeats allowed: same value, same key
  for (int i = 0; i < 600; i++) ptr_pool.push_back(1 + rng() % 5000);
  bool text = type == HashG::KEY_STRING;
  size_t pool_size = text ? pool.size() : ptr_pool.size();
  auto key_ptr = [&](size_t k) -> CPtr {
    return text ? static_cast<CPtr>(pool[k].c_str()) : reinterpret_cast<CPtr>(ptr_pool[k]);
  };
  auto model_key = [&](CPtr key) -> std::string {
    return text ? std::string(static_cast<const char*>(key)) : std::to_string(V(key));
  };
  auto hash = [&](CPtr key) -> unsigned int {
    return text ? DHashFromString(key) : DHashFromPtr(key);
  };

  TestHash t(type, 0);
  unsigned int buckets = 11;
  std::unordered_map<std::string, std::deque<uintptr_t>> model;
  int count = 0;
  uintptr_t next_data = 1;

  for (int op = 0; op < ops; op++) {
    CPtr key = key_ptr(rng() % pool_size);
    std::deque<uintptr_t>& found = model[model_key(key)];
    uintptr_t front = found.empty() ? 0 : found.front();
    unsigned int r = rng() % 1000;
    if (r < (count < 1500 ? 500u : 300u)) {
      t.insert(key, P(next_data));
      found.push_front(next_data++);
      count++;
    } else if (r < 800) {
      ASSERT_EQ(front, V(t.remove(key))) << "op " << op;
      if (!found.empty()) {
        found.pop_front();
        count--;
      }
    } else if (r < 997) {
      ASSERT_EQ(front, V(t.lookup(key))) << "op " << op;
    } else if (buckets < 3000) {
      int new_size = static_cast<int>(rng() % (2 * buckets));
      t.resize(new_size);
      if (new_size >= static_cast<int>(buckets)) {
        buckets = GetLargerPrime(static_cast<unsigned int>(new_size));
        for (auto& m : model) std::reverse(m.second.begin(), m.second.end());
      }
    }
    ASSERT_EQ(count, t.length());

    if (op % 5000 == 4999) {
      // Iteration shows every entry once, buckets ascending, equal keys in
      // lookup order.
      std::unordered_map<std::string, std::deque<uintptr_t>> seen;
      unsigned int last_bucket = 0;
      int n = 0;
      Ptr it_key = nullptr;
      for (Ptr d = t.first(it_key); d != nullptr; d = t.next(it_key), n++) {
        unsigned int bucket = hash(it_key) % buckets;
        ASSERT_LE(last_bucket, bucket);
        last_bucket = bucket;
        seen[model_key(it_key)].push_back(V(d));
      }
      ASSERT_EQ(count, n);
      for (auto& m : model) {
        if (m.second.empty()) continue;
        ASSERT_EQ(m.second, seen[m.first]) << m.first;
      }
    }
  }
}

TEST(HashGTest, RandomTextKeysAgainstModel) { RunAgainstModel(HashG::KEY_STRING, 1234, 200000); }

TEST(HashGTest, RandomPointerKeysAgainstModel) { RunAgainstModel(HashG::KEY_POINTER, 99, 200000); }

}  // namespace
