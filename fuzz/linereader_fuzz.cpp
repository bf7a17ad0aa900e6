// Reads random input through a LineReader with a random configuration, once
// from memory and once from a stream (fmemopen), and checks that both give
// the same lines and raw-line count, that the count matches the input's
// split into raw lines, and that an unpatterned reader delivers exactly the
// trimmed, non-empty raw lines, without a newline when trimmed.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
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
  int lines_read = 0;
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

  CHECK(from_memory.lines == from_stream.lines);
  CHECK(from_memory.lines_read == from_stream.lines_read);
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
