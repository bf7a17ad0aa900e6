// HashG and LinearHashG against std::unordered_map<std::string, void*>:
// insertion, and lookups that succeed and that fail, at 10^4, 10^5 and 10^6
// text keys. Both sides see the same keys in the same shuffled order.
#include "libcontainer/libcontainer.h"

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include <benchmark/benchmark.h>

namespace {

// The entry operations are protected: typed tables as a user would derive.
class TextTable : public HashG {
 public:
  explicit TextTable(int size) : HashG(KEY_STRING, size) {}
  void put(const char* key, void* data) { insert(key, data); }
  void* get(const char* key) { return lookup(key); }
};

class LinearTable : public LinearHashG {
 public:
  void put(const String& key, void* data) { insert(key, data); }
  void* get(const String& key) { return lookup(key); }
};

using StdMap = std::unordered_map<std::string, void*>;

int dummy;
void* const kData = &dummy;

// `n` distinct identifiers of 6 to 14 characters, and as many others of the
// same shape that are none of them; each set in a shuffled order.
struct Keys {
  std::vector<std::string> hits;
  std::vector<std::string> misses;
  std::vector<String> hit_strings;
  std::vector<String> miss_strings;
};

const Keys& KeysFor(int n) {
  static std::map<int, std::unique_ptr<Keys>> cache;
  std::unique_ptr<Keys>& keys = cache[n];
  if (!keys) {
    keys.reset(new Keys);
    std::mt19937 rng(n);
    std::unordered_set<std::string> seen;
    auto make = [&](std::vector<std::string>& out) {
      while (out.size() < static_cast<size_t>(n)) {
        std::string s;
        int len = 6 + static_cast<int>(rng() % 9);
        for (int i = 0; i < len; i++) s += "abcdefghijklmnopqrstuvwxyz0123456789_"[rng() % 37];
        if (seen.insert(s).second) out.push_back(s);
      }
      std::shuffle(out.begin(), out.end(), rng);
    };
    make(keys->hits);
    make(keys->misses);
    for (const std::string& s : keys->hits) keys->hit_strings.push_back(String(s.c_str()));
    for (const std::string& s : keys->misses) keys->miss_strings.push_back(String(s.c_str()));
  }
  return *keys;
}

// Tables filled once per size and kept for the lookup benchmarks.
template <typename T>
T& Filled(int n, bool reserve);

template <>
TextTable& Filled<TextTable>(int n, bool) {
  static std::map<int, std::unique_ptr<TextTable>> cache;
  std::unique_ptr<TextTable>& t = cache[n];
  if (!t) {
    t.reset(new TextTable(n));
    for (const std::string& k : KeysFor(n).hits) t->put(k.c_str(), kData);
  }
  return *t;
}

template <>
LinearTable& Filled<LinearTable>(int n, bool) {
  static std::map<int, std::unique_ptr<LinearTable>> cache;
  std::unique_ptr<LinearTable>& t = cache[n];
  if (!t) {
    t.reset(new LinearTable);
    for (const String& k : KeysFor(n).hit_strings) t->put(k, kData);
  }
  return *t;
}

template <>
StdMap& Filled<StdMap>(int n, bool reserve) {
  static std::map<std::pair<int, bool>, std::unique_ptr<StdMap>> cache;
  std::unique_ptr<StdMap>& t = cache[{n, reserve}];
  if (!t) {
    t.reset(new StdMap);
    if (reserve) t->reserve(n);
    for (const std::string& k : KeysFor(n).hits) t->emplace(k, kData);
  }
  return *t;
}

void ItemsPerIteration(benchmark::State& state, int n) {
  state.SetItemsProcessed(state.iterations() * n);
}

// Insertion: a new table per iteration, sized up front where the table
// allows it (HashG, and the map paired with it). Destruction is not timed.
void InsertHashG(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const Keys& keys = KeysFor(n);
  for (auto _ : state) {
    auto* t = new TextTable(n);
    for (const std::string& k : keys.hits) t->put(k.c_str(), kData);
    state.PauseTiming();
    delete t;
    state.ResumeTiming();
  }
  ItemsPerIteration(state, n);
}

void InsertLinearHashG(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const Keys& keys = KeysFor(n);
  for (auto _ : state) {
    auto* t = new LinearTable;
    for (const String& k : keys.hit_strings) t->put(k, kData);
    state.PauseTiming();
    delete t;
    state.ResumeTiming();
  }
  ItemsPerIteration(state, n);
}

template <bool kReserve>
void InsertStd(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const Keys& keys = KeysFor(n);
  for (auto _ : state) {
    auto* t = new StdMap;
    if (kReserve) t->reserve(n);
    for (const std::string& k : keys.hits) t->emplace(k, kData);
    state.PauseTiming();
    delete t;
    state.ResumeTiming();
  }
  ItemsPerIteration(state, n);
}

// Lookups of every key of one set, in its shuffled order.
template <bool kHit>
void LookupHashG(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  TextTable& t = Filled<TextTable>(n, true);
  const std::vector<std::string>& keys = kHit ? KeysFor(n).hits : KeysFor(n).misses;
  int64_t found = 0;
  for (auto _ : state) {
    for (const std::string& k : keys) found += t.get(k.c_str()) != nullptr;
  }
  if (found != (kHit ? state.iterations() * n : 0)) state.SkipWithError("wrong lookups");
  ItemsPerIteration(state, n);
}

template <bool kHit>
void LookupLinearHashG(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  LinearTable& t = Filled<LinearTable>(n, false);
  const std::vector<String>& keys = kHit ? KeysFor(n).hit_strings : KeysFor(n).miss_strings;
  int64_t found = 0;
  for (auto _ : state) {
    for (const String& k : keys) found += t.get(k) != nullptr;
  }
  if (found != (kHit ? state.iterations() * n : 0)) state.SkipWithError("wrong lookups");
  ItemsPerIteration(state, n);
}

template <bool kHit, bool kReserve>
void LookupStd(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  StdMap& t = Filled<StdMap>(n, kReserve);
  const std::vector<std::string>& keys = kHit ? KeysFor(n).hits : KeysFor(n).misses;
  int64_t found = 0;
  for (auto _ : state) {
    for (const std::string& k : keys) found += t.find(k) != t.end();
  }
  if (found != (kHit ? state.iterations() * n : 0)) state.SkipWithError("wrong lookups");
  ItemsPerIteration(state, n);
}

// The text hash alone, which both tables must use, against the map's hash:
// the share of a lookup that no implementation of the tables can save.
void KeyHashD(benchmark::State& state) {
  const std::vector<std::string>& keys = KeysFor(10000).hits;
  unsigned int sum = 0;
  for (auto _ : state) {
    for (const std::string& k : keys) sum += DHashFromString(k.c_str());
  }
  benchmark::DoNotOptimize(sum);
  ItemsPerIteration(state, static_cast<int>(keys.size()));
}
BENCHMARK(KeyHashD)->Name("key_hash/DHashFromString")->Unit(benchmark::kMicrosecond);

void KeyHashStd(benchmark::State& state) {
  const std::vector<std::string>& keys = KeysFor(10000).hits;
  size_t sum = 0;
  std::hash<std::string> hash;
  for (auto _ : state) {
    for (const std::string& k : keys) sum += hash(k);
  }
  benchmark::DoNotOptimize(sum);
  ItemsPerIteration(state, static_cast<int>(keys.size()));
}
BENCHMARK(KeyHashStd)->Name("key_hash/std::hash")->Unit(benchmark::kMicrosecond);

void Sizes(benchmark::internal::Benchmark* b) {
  b->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
}

BENCHMARK(InsertHashG)->Name("hash_insert/HashG")->Apply(Sizes);
BENCHMARK_TEMPLATE(InsertStd, true)->Name("hash_insert/std::unordered_map")->Apply(Sizes);
BENCHMARK_TEMPLATE(LookupHashG, true)->Name("hash_hit/HashG")->Apply(Sizes);
BENCHMARK_TEMPLATE(LookupStd, true, true)->Name("hash_hit/std::unordered_map")->Apply(Sizes);
BENCHMARK_TEMPLATE(LookupHashG, false)->Name("hash_miss/HashG")->Apply(Sizes);
BENCHMARK_TEMPLATE(LookupStd, false, true)->Name("hash_miss/std::unordered_map")->Apply(Sizes);

BENCHMARK(InsertLinearHashG)->Name("linear_insert/LinearHashG")->Apply(Sizes);
BENCHMARK_TEMPLATE(InsertStd, false)->Name("linear_insert/std::unordered_map")->Apply(Sizes);
BENCHMARK_TEMPLATE(LookupLinearHashG, true)->Name("linear_hit/LinearHashG")->Apply(Sizes);
BENCHMARK_TEMPLATE(LookupStd, true, false)->Name("linear_hit/std::unordered_map")->Apply(Sizes);
BENCHMARK_TEMPLATE(LookupLinearHashG, false)->Name("linear_miss/LinearHashG")->Apply(Sizes);
BENCHMARK_TEMPLATE(LookupStd, false, false)->Name("linear_miss/std::unordered_map")->Apply(Sizes);

}  // namespace
