// Assembles random source bytes in-process three times: quietly, with
// warnings reported, and strictly, each over the same output path, in an
// image format and over an old image both chosen from the input. Beyond
// crashes, hangs and leaks it checks that
// - a successful assembly leaves a complete image of the listed words and
//   nothing else in the image's directory (no temporary file), and a failed
//   one leaves the previous image as it was, or no file;
// - reporting changes nothing but the located lines: the same console
//   without them, the same result and the same image bytes; a run that
//   locates nothing prints byte for byte what the quiet run prints;
// - every located line names a line of the source, every warning counted is
//   printed once, and over-long lines and NUL bytes are reported exactly on
//   their lines, with the line's length;
// - strict assembly fails exactly the runs that warn, printing what the
//   reporting run prints;
// - a quiet run (-q) prints nothing on standard output and, on standard
//   error, what the reporting run prints less its progress lines and words,
//   with the same result and image; its listing has one line per source line
//   with the words of the statements in order and each line as written, then
//   one line per label.

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "orvix/cmdline.h"
#include "orvix/image.h"
#include "orvix/listing.h"
#include "orvix/orvix.h"
#include "orvix/suggest.h"
#include "tests/image_text.h"
#include "tests/test_files.h"

namespace {

using orvix_test::DirEntries;
using orvix_test::Lines;
using orvix_test::ReadFile;
using orvix_test::WriteFile;

std::string scratch;  // holds in.asm, the captured console, and img/
std::string source;   // scratch/in.asm
std::string console;  // scratch/console.txt
std::string errors;   // scratch/errors.txt: standard error of a quiet run
std::string listing;  // scratch/in.lst
std::string image_dir;
std::string output;  // image_dir/out.img

const char kOldImage[] = "previous image, not of this input\n";

void RemoveScratch() {
  remove(output.c_str());
  rmdir(image_dir.c_str());
  remove(source.c_str());
  remove(console.c_str());
  remove(errors.c_str());
  remove(listing.c_str());
  rmdir(scratch.c_str());
}

bool IsWord(const std::string& s) {
  return s.size() == 10 && s.find_first_not_of("01") == std::string::npos;
}

bool StartsWith(const std::string& s, const std::string& prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

// One assembly of in.asm to out.img.
struct Run {
  int count = 0;    // what the loader returned
  bool ok = false;  // loaded and written
  int warnings = 0;
  std::string console;                // everything printed
  std::string errors;                 // standard error, of a quiet run
  std::string listing;                // the listing, of a quiet run that wrote one
  std::vector<long> lines;            // the source line of each statement
  size_t labels = 0;                  // statements that define a label
  std::vector<std::string> entries;   // of the image directory afterwards
  std::string image;                  // out.img afterwards, when it exists
  std::vector<std::string> comments;  // each statement as the image shows it
};

// `quiet` runs as -q with a listing: standard error is captured as well.
Run Assemble(const ImageFormat& format, bool report, bool strict, bool old_image,
             bool quiet = false) {
  remove(output.c_str());
  remove(listing.c_str());
  if (old_image) WriteFile(output, kOldImage);

  Run r;
  fflush(stdout);
  CHECK(freopen(console.c_str(), "w", stdout) != nullptr);
  int saved_stderr = -1;
  if (quiet) {
    saved_stderr = dup(2);
    const int fd = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    CHECK(saved_stderr >= 0 && fd >= 0 && dup2(fd, 2) == 2);
    close(fd);
  }
  instruction cmds[kMemoryWords];
  Diagnostics diag;
  diag.report = report;
  diag.quiet = quiet;
  diag.keep_text = quiet;
  r.count = loadsource(cmds, source.c_str(), diag);
  CHECK(r.count >= -1 && r.count <= kMemoryWords);
  for (int i = 0; i < r.count; i++) r.comments.push_back(statementcomment(cmds[i]).cStr());
  CommandLine cl;
  cl.output = output.c_str();
  cl.format = &format;
  cl.strict = strict;
  cl.listing = quiet ? listing.c_str() : nullptr;
  r.ok = r.count > 0 && writeoutputs(cmds, r.count, cl, diag);
  r.warnings = diag.warnings;
  for (int i = 0; i < r.count; i++) {
    r.lines.push_back(diag.line[i]);
    if (cmds[i].label.length() > 0) r.labels++;
  }
  fflush(stdout);
  // The assembler lists everything on stdout; keep the fuzzer's log clean.
  CHECK(freopen("/dev/null", "w", stdout) != nullptr);
  if (quiet) {
    fflush(stderr);
    CHECK(dup2(saved_stderr, 2) == 2);
    close(saved_stderr);
    r.errors = ReadFile(errors);
    if (access(listing.c_str(), F_OK) == 0) r.listing = ReadFile(listing);
  }

  r.console = ReadFile(console);
  r.entries = DirEntries(image_dir);
  if (!r.entries.empty()) r.image = ReadFile(output);
  return r;
}

// The words of a successful run's listing: those of the statements, then
// zero words up to the last address.
std::vector<std::string> ListedWords(const Run& r) {
  std::vector<std::string> words;
  for (const std::string& line : Lines(r.console)) {
    if (IsWord(line)) words.push_back(line);
  }
  CHECK(static_cast<int>(words.size()) == r.count);
  words.resize(kMemoryWords, std::string(kWordBits, '0'));
  return words;
}

// The image is the writer's text of the listed words and of the statements
// as the image shows them: every word of the listing, and nothing else.
void CheckImage(const Run& r, const ImageFormat& format) {
  const std::vector<std::string> words = ListedWords(r);
  std::vector<std::pair<std::string, std::string>> statements;
  for (int i = 0; i < r.count; i++) statements.emplace_back(words[i], r.comments[i]);
  CHECK(r.image == orvix_test::ImageText(format, output, statements));
}

// What a line of the source is, as an editor counts lines.
struct SourceLine {
  std::string text;   // its bytes, without the LF
  size_t length = 0;  // bytes without its LF or CR LF
  bool nul = false;
};

std::vector<SourceLine> SplitSource(const uint8_t* data, size_t size) {
  std::vector<SourceLine> lines;
  size_t start = 0;
  while (start < size) {
    const uint8_t* nl = static_cast<const uint8_t*>(memchr(data + start, '\n', size - start));
    size_t end = nl != nullptr ? static_cast<size_t>(nl - data) : size;
    SourceLine line;
    line.text.assign(reinterpret_cast<const char*>(data + start), end - start);
    line.length = end - start;
    if (nl != nullptr && line.length > 0 && data[end - 1] == '\r') line.length--;
    line.nul = memchr(data + start, '\0', end - start) != nullptr;
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

// Checks the located lines of a reporting run against the source.
void CheckLocated(const Run& r, const std::vector<SourceLine>& lines) {
  const std::string prefix = source + ":";
  int warnings = 0;
  std::vector<int> long_reported(lines.size() + 1, 0), nul_reported(lines.size() + 1, 0);
  for (const std::string& line : Lines(r.console)) {
    if (!StartsWith(line, prefix)) continue;
    char* end = nullptr;
    const long at = strtol(line.c_str() + prefix.size(), &end, 10);
    CHECK(end != line.c_str() + prefix.size());
    CHECK(at >= 1 && at <= static_cast<long>(lines.size()));
    const std::string rest = end;
    CheckQuotedText(rest, lines[at - 1].text);
    if (StartsWith(rest, ": error: ")) continue;
    CHECK(StartsWith(rest, ": warning: "));
    warnings++;
    const std::string what = rest.substr(strlen(": warning: "));
    if (StartsWith(what, "line is ")) {
      CHECK(strtoull(what.c_str() + 8, nullptr, 10) == lines[at - 1].length);
      long_reported[at]++;
    }
    if (StartsWith(what, "NUL byte")) nul_reported[at]++;
  }
  CHECK(warnings == r.warnings);
  // Once a source is loaded to its end, every line has been seen.
  const bool whole = r.count >= 0;
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

// The console of a quiet run: without the progress lines and the words.
std::string Unprogressed(const std::string& text, const ImageFormat& format) {
  const std::string processing = "Processing ZRC assembly source file '" + source + "'...";
  const std::string generating =
      std::string("Generating ") + format.title + " output '" + output + "'";
  std::string kept;
  for (const std::string& line : Lines(text)) {
    if (line != processing && line != generating && !IsWord(line)) kept += line + "\n";
  }
  return kept;
}

// The listing of a successful run: each source line with the address and
// words of its statements, all of them in source order, and its text as
// written; then an empty line, "Labels:" and a line per label, when there is
// any.
void CheckListing(const Run& r, const std::vector<SourceLine>& lines,
                  const std::vector<std::string>& words) {
  std::string expected;
  int i = 0;
  for (size_t n = 1; n <= lines.size(); n++) {
    std::string columns;
    for (; i < r.count && r.lines[i] == static_cast<long>(n); i++) {
      char group[32];
      snprintf(group, sizeof group, "%s%02x %s %03lx", columns.empty() ? "" : "  ", i,
               words[i].c_str(), strtol(words[i].c_str(), nullptr, 2));
      columns += group;
    }
    char number[32];
    snprintf(number, sizeof number, " %5zu", n);
    const std::string text = lines[n - 1].text.substr(0, lines[n - 1].length);
    expected += (columns.empty() ? std::string(17, ' ') : columns) + number +
                (text.empty() ? "" : "  " + expandtabs(text)) + "\n";
  }
  CHECK(i == r.count);
  CHECK(r.listing.compare(0, expected.size(), expected) == 0);
  const std::vector<std::string> labels = Lines(r.listing.substr(expected.size()));
  CHECK(labels.size() == (r.labels > 0 ? 2 + r.labels : 0));
  if (r.labels > 0) CHECK(labels[0].empty() && labels[1] == "Labels:");
}

// The scratch directory goes under $TMPDIR (or /tmp); a memory file system
// there makes the synced image writes cheap.
void Setup() {
  const char* tmp = getenv("TMPDIR");
  std::string tmpl =
      std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/orvix_fuzz_XXXXXX";
  CHECK(mkdtemp(&tmpl[0]) != nullptr);
  scratch = tmpl;
  source = scratch + "/in.asm";
  console = scratch + "/console.txt";
  errors = scratch + "/errors.txt";
  listing = scratch + "/in.lst";
  image_dir = scratch + "/img";
  output = image_dir + "/out.img";
  CHECK(mkdir(image_dir.c_str(), 0755) == 0);
  atexit(RemoveScratch);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (scratch.empty()) Setup();
  WriteFile(source, std::string(reinterpret_cast<const char*>(data), size));

  // The format and the old image follow from the bytes, so that every
  // source of the corpus stays a source.
  uint32_t h = 2166136261u;
  for (size_t i = 0; i < size; i++) h = (h ^ data[i]) * 16777619u;
  const ImageFormat& format = kFormats[h % kFormatCount];
  const bool old_image = (h >> 8) & 1;
  const std::vector<std::string> old_entries =
      old_image ? std::vector<std::string>{"out.img"} : std::vector<std::string>{};

  const Run quiet = Assemble(format, false, false, old_image);
  const Run reported = Assemble(format, true, false, old_image);
  const Run strict = Assemble(format, true, true, old_image);
  const Run silent = Assemble(format, true, false, old_image, true);

  // A run replaces the image whole or leaves the old one.
  for (const Run* r : {&quiet, &reported, &strict, &silent}) {
    if (r->ok) {
      CHECK(r->entries == std::vector<std::string>{"out.img"});
      CHECK(r->image == quiet.image);
    } else {
      CHECK(r->entries == old_entries);
      if (old_image) CHECK(r->image == kOldImage);
    }
  }
  if (quiet.ok) CheckImage(quiet, format);

  // Reporting adds located lines and nothing else.
  CHECK(quiet.warnings == reported.warnings);
  CHECK(quiet.count == reported.count && quiet.ok == reported.ok);
  CHECK(orvix_test::LinesWhere(reported.console, source, false) == quiet.console);
  // A successful run without warnings locates nothing at all.
  if (reported.ok && reported.warnings == 0) CHECK(reported.console == quiet.console);
  CheckLocated(reported, SplitSource(data, size));

  // A quiet run prints its messages alone, on standard error.
  CHECK(silent.console.empty());
  CHECK(silent.errors == Unprogressed(reported.console, format));
  CHECK(silent.count == reported.count && silent.ok == reported.ok);
  CHECK(silent.warnings == reported.warnings);
  CHECK(silent.listing.empty() != silent.ok);
  if (silent.ok) CheckListing(silent, SplitSource(data, size), ListedWords(quiet));

  // Strict assembly fails exactly the runs that warn.
  CHECK(strict.console == reported.console);
  CHECK(strict.ok == (quiet.ok && quiet.warnings == 0));
  return 0;
}
