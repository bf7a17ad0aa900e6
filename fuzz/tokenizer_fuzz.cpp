// Drives a Tokenizer with random input, delimiters and a script of
// operations, and checks every step against a reference model: tokens,
// positions, the rest of the input, and the queue view with its cursor and
// read-ahead.
//
// The model is written apart from the Tokenizer on purpose: it cuts with the
// standard string searches instead of a character loop, and keeps the queue
// as a vector with the cursor as an index, one past the last token when
// every queued token has been taken. A misreading of the behaviour then
// shows as a disagreement instead of being shared by both.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "libcontainer/libcontainer.h"

namespace {

class Model {
 public:
  Model(const std::string& input, const std::string& delims) : input_(input), delims_(delims) {}

  // The token from the read position: the first run of non-delimiters, or
  // "" when none is left. The read position then rests on the next token.
  std::string Cut() {
    const size_t begin = Clamp(input_.find_first_not_of(delims_, read_pos_));
    const size_t end = Clamp(input_.find_first_of(delims_, begin));
    last_end_ = end;
    read_pos_ = Clamp(input_.find_first_not_of(delims_, end));
    return input_.substr(begin, end - begin);
  }
  bool More() const { return read_pos_ < input_.size(); }

  // The queue view.
  bool AtEnd() {
    if (queued_.empty()) {
      ReadAhead();
      cursor_ = 0;
    }
    return cursor_ == queued_.size();
  }
  bool Get(std::string& tok) {
    if (AtEnd()) return false;
    if (cursor_ + 1 == queued_.size()) ReadAhead();
    tok = queued_[cursor_++];
    return true;
  }
  // Past the end the cursor index is the queue size, so stepping back from
  // there reaches the last token, and the first token has nothing before it.
  bool Unget() {
    if (cursor_ == 0) return false;
    cursor_--;
    return true;
  }
  void Clear() {
    queued_.clear();
    cursor_ = 0;
  }
  void Reset(const std::string& input) {
    Clear();
    input_ = input;
    last_end_ = read_pos_ = 0;
  }
  void SetDelimiters(const std::string& delims) { delims_ = delims; }

  const std::string& delims() const { return delims_; }
  size_t last_end() const { return last_end_; }
  size_t read_pos() const { return read_pos_; }
  std::string Rest() const { return input_.substr(read_pos_); }
  size_t size() const { return input_.size(); }

 private:
  size_t Clamp(size_t at) const { return std::min(at, input_.size()); }
  void ReadAhead() {
    if (More()) queued_.push_back(Cut());
  }

  std::string input_;
  std::string delims_;
  size_t last_end_ = 0;
  size_t read_pos_ = 0;
  std::vector<std::string> queued_;
  size_t cursor_ = 0;
};

void CheckState(Tokenizer& t, const Model& m) {
  CHECK(0 <= t.getLastTokenEndPos());
  CHECK(t.getLastTokenEndPos() <= t.getCurrentPos());
  CHECK(static_cast<size_t>(t.getCurrentPos()) <= m.size());
  CHECK(static_cast<size_t>(t.getLastTokenEndPos()) == m.last_end());
  CHECK(static_cast<size_t>(t.getCurrentPos()) == m.read_pos());
  CHECK(t.hasTokens() == m.More());
  CHECK(m.Rest() == t.getRestOfInput().cStr());
  CHECK(m.delims() == t.getDelimiters().cStr());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider fdp(data, size);
  std::string delims = ConsumeText(fdp, 4);
  const std::string input = ConsumeText(fdp, 64);
  const bool with_delims = fdp.ConsumeBool();
  if (!with_delims) delims = " ";
  Model m(input, delims);
  Tokenizer t(input.c_str());
  if (with_delims) t.setDelimiters(delims.c_str());
  CheckState(t, m);

  for (int step = 0; step < 64 && fdp.remaining_bytes() > 0; step++) {
    switch (fdp.ConsumeIntegralInRange(0, 7)) {
      case 0: {
        const std::string expected = m.Cut();
        CHECK(expected == t.next().cStr());
        break;
      }
      case 1:
      case 2: {
        String tok("unchanged");
        std::string expected = "unchanged";
        const bool got = t.get(tok);
        CHECK(got == m.Get(expected));
        CHECK(expected == tok.cStr());
        break;
      }
      case 3:
        CHECK(t.unget() == m.Unget());
        break;
      case 4:
        CHECK(t.isEmpty() == m.AtEnd());
        break;
      case 5: {
        const std::string s = ConsumeText(fdp, 32);
        m.Reset(s);
        t.reset(s.c_str());
        break;
      }
      case 6: {
        const std::string s = ConsumeText(fdp, 4);
        m.SetDelimiters(s);
        t.setDelimiters(s.c_str());
        break;
      }
      case 7:
        m.Clear();
        t.clearQueue();
        break;
    }
    CheckState(t, m);
  }
  return 0;
}
