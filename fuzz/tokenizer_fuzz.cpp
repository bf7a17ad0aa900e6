// Drives a Tokenizer with random input, delimiters and a script of
// operations, and checks every step against a small reference model of the
// same behaviour: tokens, positions, the queue cursor and its read-ahead.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "libcontainer/libcontainer.h"

namespace {

// Reference model: the queue is a vector, the cursor an index (-1 for none).
struct Model {
  std::string str;
  std::string delims;
  int last_pos = 0;
  int pos = 0;
  std::vector<std::string> queue;
  int cur = -1;

  bool isDelim(char ch) const { return delims.find(ch) != std::string::npos; }
  int n() const { return static_cast<int>(str.size()); }

  std::string next() {
    while (pos < n() && isDelim(str[pos])) pos++;
    const int start = pos;
    while (pos < n() && !isDelim(str[pos])) pos++;
    last_pos = pos;
    std::string token = str.substr(start, pos - start);
    while (pos < n() && isDelim(str[pos])) pos++;
    return token;
  }
  bool hasTokens() const { return pos < n(); }
  void pump() {
    if (hasTokens()) queue.push_back(next());
  }
  bool isEmpty() {
    if (queue.empty()) {
      pump();
      cur = queue.empty() ? -1 : 0;
    }
    return cur < 0;
  }
  bool get(std::string& tok) {
    if (isEmpty()) return false;
    if (cur + 1 == static_cast<int>(queue.size())) pump();
    tok = queue[cur];
    cur = cur + 1 < static_cast<int>(queue.size()) ? cur + 1 : -1;
    return true;
  }
  bool unget() {
    if (cur < 0) {
      if (queue.empty()) return false;
      cur = static_cast<int>(queue.size()) - 1;
      return true;
    }
    if (cur == 0) return false;
    cur--;
    return true;
  }
  void clearQueue() {
    queue.clear();
    cur = -1;
  }
  void reset(const std::string& s) {
    clearQueue();
    last_pos = pos = 0;
    str = s;
  }
};

// Strings cannot hold a NUL byte: cut at the first one.
std::string Text(FuzzedDataProvider& fdp, size_t max_len) {
  std::string s = fdp.ConsumeRandomLengthString(max_len);
  return s.substr(0, s.find('\0'));
}

void CheckState(Tokenizer& t, const Model& m) {
  CHECK(0 <= t.getLastTokenEndPos());
  CHECK(t.getLastTokenEndPos() <= t.getCurrentPos());
  CHECK(t.getCurrentPos() <= m.n());
  CHECK(t.getLastTokenEndPos() == m.last_pos);
  CHECK(t.getCurrentPos() == m.pos);
  CHECK(t.hasTokens() == m.hasTokens());
  CHECK(m.str.substr(m.pos) == t.getRestOfInput().cStr());
  CHECK(m.delims == t.getDelimiters().cStr());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider fdp(data, size);
  Model m;
  m.delims = Text(fdp, 4);
  m.str = Text(fdp, 64);
  const bool with_delims = fdp.ConsumeBool();
  if (!with_delims) m.delims = " ";
  Tokenizer t(m.str.c_str());
  if (with_delims) t.setDelimiters(m.delims.c_str());
  CheckState(t, m);

  for (int step = 0; step < 64 && fdp.remaining_bytes() > 0; step++) {
    switch (fdp.ConsumeIntegralInRange(0, 7)) {
      case 0: {
        const std::string expected = m.next();
        CHECK(expected == t.next().cStr());
        break;
      }
      case 1:
      case 2: {
        String tok("unchanged");
        std::string expected = "unchanged";
        const bool got = t.get(tok);
        CHECK(got == m.get(expected));
        CHECK(expected == tok.cStr());
        break;
      }
      case 3:
        CHECK(t.unget() == m.unget());
        break;
      case 4:
        CHECK(t.isEmpty() == m.isEmpty());
        break;
      case 5: {
        const std::string s = Text(fdp, 32);
        m.reset(s);
        t.reset(s.c_str());
        break;
      }
      case 6:
        m.delims = Text(fdp, 4);
        t.setDelimiters(m.delims.c_str());
        break;
      case 7:
        m.clearQueue();
        t.clearQueue();
        break;
    }
    CheckState(t, m);
  }
  return 0;
}
