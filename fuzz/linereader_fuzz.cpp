// Reads random input through a LineReader with a random configuration, from
// memory, from a stream (fmemopen) and from a byte source delivering a random
// number of bytes at a time, and checks that all give the same lines, places
// and raw-line count, that each place lies within the input, that the count
// matches the input's
// split into raw lines, and that an unpatterned reader delivers exactly the
// trimmed, non-empty raw lines, without a newline when trimmed.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "libcontainer/libcontainer.h"

namespace {

struct Setting {
  LineReaderSetting type;
  bool null_pat;
  std::string text;
};

struct Result {
  std::vector<std::string> lines;
  std::vector<std::pair<long long, long long>> places;  // line number and offset of each
  int lines_read = 0;
};

// Bytes from memory, `chunk` at a time.
struct Bytes {
  const std::string& text;
  size_t chunk;
  size_t at;

  static size_t Read(void* self, char* buf, size_t size) {
    Bytes& b = *static_cast<Bytes*>(self);
    const size_t n = std::min({size, b.chunk, b.text.size() - b.at});
    memcpy(buf, b.text.data() + b.at, n);
    b.at += n;
    return n;
  }
};

Result Drain(LineReader& reader, const std::vector<Setting>& settings, size_t input_size) {
  for (const Setting& s : settings) {
    void* pat = s.null_pat ? nullptr : const_cast<char*>(s.text.c_str());
    reader.configure(s.type, pat);
  }
  Result r;
  String line;
  while (reader.getLine(line)) {
    r.lines.push_back(line.cStr());
    r.places.emplace_back(reader.lineNumber(), reader.lineOffset());
    // Every delivered line consumes at least one raw line.
    CHECK(r.lines.size() <= input_size + 1);
  }
  CHECK(line.length() == 0);
  r.lines_read = reader.linesRead();
  CHECK(!reader.getLine(line));
  CHECK(reader.linesRead() == r.lines_read);
  return r;
}

// The raw lines: pieces of at most max_len - 1 bytes, each ending after a
// newline or at the limit.
std::vector<std::string> RawLines(const std::string& input, int max_len) {
  std::vector<std::string> raw;
  size_t pos = 0;
  while (pos < input.size()) {
    size_t len = 0;
    while (pos + len < input.size() && len < static_cast<size_t>(max_len - 1)) {
      len++;
      if (input[pos + len - 1] == '\n') break;
    }
    raw.push_back(input.substr(pos, len));
    pos += len;
  }
  return raw;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider fdp(data, size);
  const int max_len = fdp.ConsumeIntegralInRange(2, 40);
  std::vector<Setting> settings;
  const int n_settings = fdp.ConsumeIntegralInRange(0, 6);
  for (int i = 0; i < n_settings; i++) {
    Setting s;
    s.type = static_cast<LineReaderSetting>(fdp.ConsumeIntegralInRange(0, 8));
    s.null_pat = fdp.ConsumeIntegralInRange(0, 7) == 0;
    s.text = ConsumeText(fdp, 5);
    settings.push_back(s);
  }
  const std::string input = ConsumeText(fdp, 512);

  LineReader memory_reader(String(input.c_str()), max_len);
  const Result from_memory = Drain(memory_reader, settings, input.size());

  FILE* f = fmemopen(const_cast<char*>(input.data()), input.size(), "r");
  CHECK(f != nullptr);
  Result from_stream;
  {
    LineReader stream_reader(f, max_len);
    from_stream = Drain(stream_reader, settings, input.size());
  }
  fclose(f);

  Bytes bytes{input, fdp.ConsumeIntegralInRange<size_t>(1, 64), 0};
  LineReader bytes_reader(Bytes::Read, &bytes, max_len);
  const Result from_bytes = Drain(bytes_reader, settings, input.size());

  CHECK(from_memory.lines == from_stream.lines);
  CHECK(from_memory.lines_read == from_stream.lines_read);
  CHECK(from_memory.places == from_stream.places);
  CHECK(from_memory.lines == from_bytes.lines);
  CHECK(from_memory.lines_read == from_bytes.lines_read);
  CHECK(from_memory.places == from_bytes.places);
  // Each line begins within its input line, the lines in input order.
  std::vector<size_t> lengths;  // of the input lines, without the newline
  for (size_t start = 0; start <= input.size();) {
    size_t end = input.find('\n', start);
    if (end == std::string::npos) end = input.size();
    lengths.push_back(end - start);
    start = end + 1;
  }
  std::pair<long long, long long> previous(1, 0);
  for (const auto& place : from_memory.places) {
    CHECK(place.first >= 1 && place.first <= static_cast<long long>(lengths.size()));
    CHECK(place.second >= 0 && place.second <= static_cast<long long>(lengths[place.first - 1]));
    CHECK(place >= previous);
    previous = place;
  }
  const std::vector<std::string> raw = RawLines(input, max_len);
  CHECK(from_memory.lines_read == static_cast<int>(raw.size()));

  // Without patterns the lines are the cleaned raw lines, in order.
  bool trim = true;
  bool patterned = false;
  std::string whitespace = " \t\r";
  for (const Setting& s : settings) {
    if (s.type == LR_SET_TRIM_LINES) trim = !s.null_pat;
    if (s.type == LR_SET_WHITESPACE) whitespace = s.null_pat ? "" : s.text;
    if (s.type >= LR_ADD_EOL_CONTINUE && s.type <= LR_ADD_COMMENT_START) {
      patterned = true;
    }
  }
  if (!patterned) {
    std::vector<std::string> expected;
    for (std::string line : raw) {
      if (trim) {
        size_t start = line.find_first_not_of(whitespace);
        if (start == std::string::npos) start = line.size();
        if (!line.empty() && line.back() == '\n') line.pop_back();
        size_t end = line.find_last_not_of(whitespace);
        line = end == std::string::npos || end < start ? std::string()
                                                       : line.substr(start, end + 1 - start);
      }
      if (!line.empty()) expected.push_back(line);
    }
    CHECK(from_memory.lines == expected);
  }
  // Trimming removes the newline that ends every raw line, and joins add
  // blanks only.
  if (trim) {
    for (const std::string& line : from_memory.lines) {
      CHECK(line.find('\n') == std::string::npos);
    }
  }
  return 0;
}
