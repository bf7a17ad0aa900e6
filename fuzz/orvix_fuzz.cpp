// Assembles random source bytes in-process, plainly, reporting, strictly
// and with the lines kept, from memory and from a stream, in an image format
// chosen from the input. Beyond crashes, hangs and leaks it checks that
// - a source read from a stream assembles exactly as the same bytes in
//   memory;
// - reporting changes nothing but the located lines: the same console
//   without them, the same outcome and the same words; a run that locates
//   nothing prints byte for byte what the plain run prints;
// - every diagnostic names a line of the source and a range within it,
//   quotes only what stands in that line, suggests only a near name, every
//   warning counted is told once, and over-long lines and NUL bytes are
//   reported exactly on their lines, with the line's length;
// - strict assembly fails exactly the runs that warn;
// - every statement's parts lie within its line, in order;
// - the image is the writer's text of the listed words and nothing else,
//   and the listing has one line per source line with the words of the
//   statements in order and each line as written, then one line per label.

#include <strings.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "orvix/assembly.h"
#include "orvix/image.h"
#include "orvix/listing.h"
#include "orvix/suggest.h"
#include "tests/image_text.h"
#include "tests/test_files.h"

namespace {

using orvix_test::Lines;

const char kSource[] = "in.asm";

bool IsWord(const std::string& s) {
  return s.size() == 10 && s.find_first_not_of("01") == std::string::npos;
}

bool StartsWith(const std::string& s, const std::string& prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

// What a line of the source is, as an editor counts lines.
struct SourceLine {
  std::string text;   // its bytes, without the LF
  size_t length = 0;  // bytes without its LF or CR LF
  bool nul = false;
};

std::vector<SourceLine> SplitSource(const std::string& source) {
  std::vector<SourceLine> lines;
  size_t start = 0;
  while (start < source.size()) {
    size_t end = source.find('\n', start);
    const bool newline = end != std::string::npos;
    if (!newline) end = source.size();
    SourceLine line;
    line.text = source.substr(start, end - start);
    line.length = end - start;
    if (newline && line.length > 0 && source[end - 1] == '\r') line.length--;
    line.nul = line.text.find('\0') != std::string::npos;
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

// Every text that `message` quotes from the source (each blank-separated
// part of it) occurs in the source line `line`; a suggestion at its end is
// near the first text quoted. Lines holding a quote character are passed
// over, as their quotes cannot be told apart.
void CheckQuotedText(std::string message, const std::string& line) {
  if (line.find('\'') != std::string::npos) return;
  const std::string hint = "; did you mean '";
  const size_t at = message.rfind(hint);
  if (at != std::string::npos) {
    CHECK(message.size() >= at + hint.size() + 2 &&
          message.compare(message.size() - 2, 2, "'?") == 0);
    const std::string suggested =
        message.substr(at + hint.size(), message.size() - 2 - at - hint.size());
    const size_t first = message.find('\'') + 1;
    const std::string written = message.substr(first, message.find('\'', first) - first);
    CHECK(suggested != written);
    CHECK(strcasecmp(suggested.c_str(), written.c_str()) == 0 ||
          editdistance(written, suggested) <= 2);
    message.erase(at);
  }
  size_t open = message.find('\'');
  while (open != std::string::npos) {
    const size_t close = message.find('\'', open + 1);
    CHECK(close != std::string::npos);
    std::istringstream parts(message.substr(open + 1, close - open - 1));
    std::string part;
    while (parts >> part) CHECK(line.find(part) != std::string::npos);
    open = message.find('\'', close + 1);
  }
}

// Checks the diagnostics of a reporting assembly against the source, and
// that the console tells each once.
void CheckDiagnostics(const Assembly& a, const std::vector<SourceLine>& lines) {
  int warnings = 0;
  std::string told;
  std::vector<int> long_reported(lines.size() + 1, 0), nul_reported(lines.size() + 1, 0);
  for (const Diagnostic& d : a.diagnostics) {
    told += locatedline(kSource, d);
    CHECK(d.line >= 1 && d.line <= static_cast<long long>(lines.size()));
    const SourceLine& line = lines[static_cast<size_t>(d.line - 1)];
    CHECK(d.range.begin >= 0 && d.range.begin <= d.range.end &&
          d.range.end <= static_cast<long long>(line.length));
    CheckQuotedText(d.text, line.text);
    if (d.severity == SEVERITY_ERROR) continue;
    warnings++;
    if (StartsWith(d.text, "line is ")) {
      CHECK(strtoull(d.text.c_str() + 8, nullptr, 10) == line.length);
      long_reported[d.line]++;
    }
    if (StartsWith(d.text, "NUL byte")) nul_reported[d.line]++;
  }
  CHECK(warnings == a.warnings);
  CHECK(orvix_test::LinesWhere(a.consoletext(), kSource, true) == told);
  // Once a source is loaded to its end, every line has been seen.
  const bool whole = a.outcome != OUTCOME_TOO_MANY;
  for (size_t n = 1; n <= lines.size(); n++) {
    const bool is_long = lines[n - 1].length > static_cast<size_t>(kMaxLineLength - 1);
    CHECK(long_reported[n] <= (is_long ? 1 : 0));
    CHECK(nul_reported[n] <= (lines[n - 1].nul ? 1 : 0));
    if (whole) {
      CHECK(long_reported[n] == (is_long ? 1 : 0));
      CHECK(nul_reported[n] == (lines[n - 1].nul ? 1 : 0));
    }
  }
}

// Every statement stands within its line, its parts in order.
void CheckStatements(const Assembly& a, const std::vector<SourceLine>& lines) {
  long long line = 1;
  for (const Statement& s : a.statements) {
    CHECK(s.line >= line && s.line <= static_cast<long long>(lines.size()));
    line = s.line;
    const long long length = static_cast<long long>(lines[static_cast<size_t>(s.line - 1)].length);
    long long at = 0;
    for (const Span& part :
         {s.text.label, s.text.mnemonic, s.text.operand_span, s.text.rest_span}) {
      if (part.empty()) continue;
      CHECK(part.begin >= at && part.end <= length);
      CHECK(part.begin >= s.text.whole.begin && part.end <= s.text.whole.end);
      at = part.end;
    }
  }
}

// The listing: each source line with the address and words of its
// statements, all of them in source order, and its text as written; then
// an empty line, "Labels:" and a line per label, when there is any.
void CheckListing(const Assembly& a, const std::vector<SourceLine>& lines) {
  const std::string listing = listingtext(a);
  std::string expected;
  size_t i = 0;
  for (size_t n = 1; n <= lines.size(); n++) {
    std::string columns;
    for (; i < a.statements.size() && a.statements[i].line == static_cast<long long>(n); i++) {
      const char* word = a.statements[i].word.cStr();
      char group[32];
      snprintf(group, sizeof group, "%s%02zx %s %03lx", columns.empty() ? "" : "  ", i, word,
               strtol(word, nullptr, 2));
      columns += group;
    }
    char number[32];
    snprintf(number, sizeof number, " %5zu", n);
    const std::string text = lines[n - 1].text.substr(0, lines[n - 1].length);
    expected += (columns.empty() ? std::string(17, ' ') : columns) + number +
                (text.empty() ? "" : "  " + expandtabs(text)) + "\n";
  }
  CHECK(i == a.statements.size());
  CHECK(listing.compare(0, expected.size(), expected) == 0);
  const std::vector<std::string> labels = Lines(listing.substr(expected.size()));
  CHECK(labels.size() == (a.labels.empty() ? 0 : 2 + a.labels.size()));
  if (!a.labels.empty()) CHECK(labels[0].empty() && labels[1] == "Labels:");
}

// The image is the writer's text of the listed words and the statements as
// the image shows them.
void CheckImage(const Assembly& a, const ImageFormat& format) {
  std::vector<std::pair<std::string, std::string>> statements;
  for (const std::string& line : Lines(a.consoletext())) {
    if (IsWord(line)) statements.emplace_back(line, "");
  }
  CHECK(statements.size() == a.statements.size());
  for (size_t i = 0; i < statements.size(); i++) {
    CHECK(statements[i].first == a.statements[i].word.cStr());
    statements[i].second = a.statements[i].comment.cStr();
  }
  CHECK(format.text(imageof(a, "out.img")) == orvix_test::ImageText(format, "out.img", statements));
}

Assembly Assemble(const std::string& source, bool report, bool strict, bool keep = false) {
  AssemblyOptions options;
  options.source = kSource;
  options.report = report;
  options.strict = strict;
  options.keep_lines = keep;
  return assemble(source, options);
}

// The same bytes read from a stream.
Assembly AssembleStream(const std::string& source) {
  FILE* fp = tmpfile();
  CHECK(fp != nullptr);
  CHECK(fwrite(source.data(), 1, source.size(), fp) == source.size());
  rewind(fp);
  AssemblyOptions options;
  options.source = kSource;
  options.report = true;
  const Assembly a = assemble(fp, options);
  fclose(fp);
  return a;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string source(reinterpret_cast<const char*>(data), size);
  uint32_t h = 2166136261u;
  for (size_t i = 0; i < size; i++) h = (h ^ data[i]) * 16777619u;
  const ImageFormat& format = kFormats[h % kFormatCount];

  const Assembly plain = Assemble(source, false, false);
  const Assembly reported = Assemble(source, true, false);
  const Assembly strict = Assemble(source, true, true);
  const Assembly kept = Assemble(source, true, false, true);
  const Assembly streamed = AssembleStream(source);
  const std::vector<SourceLine> lines = SplitSource(source);

  // A stream reads as memory does.
  CHECK(streamed.consoletext() == reported.consoletext());
  CHECK(streamed.outcome == reported.outcome);

  // Reporting adds located lines and nothing else.
  CHECK(plain.warnings == reported.warnings && plain.outcome == reported.outcome);
  CHECK(orvix_test::LinesWhere(reported.consoletext(), kSource, false) == plain.consoletext());
  if (reported.assembled() && reported.warnings == 0) {
    CHECK(reported.consoletext() == plain.consoletext());
  }
  CheckDiagnostics(reported, lines);
  CheckStatements(reported, lines);

  // Strict assembly fails exactly the runs that warn.
  CHECK(strict.assembled() == (plain.assembled() && plain.warnings == 0));

  // Keeping the lines changes nothing else; a successful run lists them.
  CHECK(kept.consoletext() == reported.consoletext());
  if (kept.assembled()) {
    CheckListing(kept, lines);
    CheckImage(kept, format);
  }
  return 0;
}
