// String, Tokenizer and LineReader against their standard-library
// counterparts, over the same generated input in the same run.
#include "libcontainer/libcontainer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <string_view>

#include <benchmark/benchmark.h>

#include "bench.h"

namespace {

const char kDelims[] = ", \t";

bool IsDelim(char ch) { return ch == ',' || ch == ' ' || ch == '\t'; }

// About 1 MB of short tokens (1 to 8 characters) separated by a blank, a
// comma and a blank, or a tab: statement operands written on one line.
const std::string& TokenLine() {
  static std::string line = [] {
    std::mt19937 rng(1);
    std::string s;
    while (s.size() < (1u << 20)) {
      int len = 1 + static_cast<int>(rng() % 8);
      for (int i = 0; i < len; i++) s += "abcdefghijklmnopqrstuvwxyz0123456789_"[rng() % 37];
      switch (rng() % 4) {
        case 0:
          s += ", ";
          break;
        case 1:
          s += '\t';
          break;
        default:
          s += ' ';
          break;
      }
    }
    return s;
  }();
  return line;
}

// The least a byte string can do under the library's capacity policy: an
// empty string owns a 1-byte buffer; a byte append that reaches the capacity
// moves the text to a new buffer of twice (new length + 1); an assignment
// reallocates only when the text does not fit. Shows how much of String's
// cost is the policy itself rather than its implementation.
class PolicyString {
 public:
  PolicyString() : buf(new char[1]), len(0), cap(1) { buf[0] = '\0'; }
  ~PolicyString() { delete[] buf; }
  PolicyString(const PolicyString&) = delete;
  PolicyString& operator=(const PolicyString& s) {
    if (cap < s.len + 1) {
      delete[] buf;
      buf = new char[s.len + 1];
      cap = s.len + 1;
    }
    memcpy(buf, s.buf, s.len + 1);
    len = s.len;
    return *this;
  }
  PolicyString& operator+=(char ch) {
    if (len + 1 >= cap) {
      int grown_cap = 2 * (len + 2);
      char* grown = new char[grown_cap];
      memcpy(grown, buf, len);
      delete[] buf;
      buf = grown;
      cap = grown_cap;
    }
    buf[len++] = ch;
    buf[len] = '\0';
    return *this;
  }
  const char* cStr() const { return buf; }

 private:
  char* buf;
  int len;
  int cap;
};

// Each token of the line is built one byte at a time in a fresh string and
// then assigned to one long-lived string, as a tokenizer hands tokens to a
// parser.
template <typename Str>
void StringBytes(benchmark::State& state) {
  const std::string& text = TokenLine();
  const size_t n = text.size();
  Str out;
  for (auto _ : state) {
    size_t i = 0;
    while (i < n) {
      while (i < n && IsDelim(text[i])) i++;
      Str tok;
      while (i < n && !IsDelim(text[i])) tok += text[i++];
      out = tok;
    }
    benchmark::DoNotOptimize(out.c_str());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * n));
}

// std::string and the policy model spell c_str differently.
struct LibString : String {
  const char* c_str() const { return cStr(); }
};
struct ModelString : PolicyString {
  const char* c_str() const { return cStr(); }
};

BENCHMARK_TEMPLATE(StringBytes, LibString)->Name("string_bytes/String");
BENCHMARK_TEMPLATE(StringBytes, ModelString)->Name("string_bytes/policy-model");
BENCHMARK_TEMPLATE(StringBytes, std::string)->Name("string_bytes/std::string");

void TokenizerNext(benchmark::State& state) {
  const String line(TokenLine().c_str());
  const String delims(kDelims);
  int64_t tokens = 0;
  for (auto _ : state) {
    Tokenizer tok(line, delims);
    while (tok.hasTokens()) {
      String t = tok.next();
      tokens += t.length() > 0;
    }
  }
  benchmark::DoNotOptimize(tokens);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * TokenLine().size()));
}
BENCHMARK(TokenizerNext)->Name("tokenize/Tokenizer");

void StringViewSplit(benchmark::State& state) {
  const std::string_view line(TokenLine());
  int64_t tokens = 0;
  for (auto _ : state) {
    size_t pos = line.find_first_not_of(kDelims);
    while (pos != std::string_view::npos) {
      size_t end = line.find_first_of(kDelims, pos);
      std::string_view t = line.substr(pos, end == std::string_view::npos ? end : end - pos);
      benchmark::DoNotOptimize(t.data());
      tokens++;
      pos = end == std::string_view::npos ? end : line.find_first_not_of(kDelims, end);
    }
  }
  benchmark::DoNotOptimize(tokens);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * line.size()));
}
BENCHMARK(StringViewSplit)->Name("tokenize/string_view");

// 50 MB of 40-byte source lines (39 characters and the newline): a label,
// a statement and a trailing comment, some lines indented.
const std::string& SourceFile() {
  static std::string path = [] {
    std::string p = BenchTempDir() + "/source_50mb.asm";
    FILE* f = fopen(p.c_str(), "w");
    if (f == nullptr) {
      perror(p.c_str());
      exit(1);
    }
    const long kSize = 50L << 20;
    char line[64];
    for (long written = 0, i = 0; written < kSize; written += 40, i++) {
      int n = snprintf(line, sizeof line, "%sl%05ld: add %ld ; ", i % 3 ? "  " : "", i % 100000,
                       i % 32);
      while (n < 39) line[n++] = 'c';
      line[39] = '\n';
      fwrite(line, 1, 40, f);
    }
    fclose(f);
    return p;
  }();
  return path;
}

long FileSize(const std::string& path) {
  FILE* f = fopen(path.c_str(), "r");
  fseek(f, 0, SEEK_END);
  long size = ftell(f);
  fclose(f);
  return size;
}

// The assembler's reader configuration.
void LineReaderAssembler(benchmark::State& state) {
  const std::string& path = SourceFile();
  int64_t kept = 0;
  for (auto _ : state) {
    FILE* f = fopen(path.c_str(), "r");
    {
      LineReader reader(f, 1024);
      reader.configure(LR_SET_TRIM_LINES, reinterpret_cast<void*>(1));
      reader.configure(LR_SET_WHITESPACE, const_cast<char*>(" \t\r"));
      reader.configure(LR_SET_CASE_SENSITIVE, nullptr);
      reader.configure(LR_ADD_PARTIAL_COMMENT, const_cast<char*>(";"));
      reader.configure(LR_ADD_COMMENT_START, const_cast<char*>(";"));
      String line;
      while (reader.getLine(line)) kept += line.length();
    }
    fclose(f);
  }
  benchmark::DoNotOptimize(kept);
  state.SetBytesProcessed(state.iterations() * FileSize(path));
}
BENCHMARK(LineReaderAssembler)->Name("read_lines/LineReader")->Unit(benchmark::kMillisecond);

void FgetsLoop(benchmark::State& state) {
  const std::string& path = SourceFile();
  int64_t bytes = 0;
  char buf[1024];
  for (auto _ : state) {
    FILE* f = fopen(path.c_str(), "r");
    while (fgets(buf, sizeof buf, f) != nullptr) bytes += strlen(buf);
    fclose(f);
  }
  benchmark::DoNotOptimize(bytes);
  state.SetBytesProcessed(state.iterations() * FileSize(path));
}
BENCHMARK(FgetsLoop)->Name("read_lines/fgets")->Unit(benchmark::kMillisecond);

}  // namespace
