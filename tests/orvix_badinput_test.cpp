// The orvix binary against hostile and unusual inputs and output paths, one
// table row per case: the exact console text after the banner line, the exit
// status, and what became of the output path.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/orvix_run.h"

namespace {

using namespace orvix_test;

// An unprivileged account for the read-only row when the suite runs as root,
// for whom permission bits do not stop a write.
const uid_t kNobody = 65534;

// An earlier good image, which a failing run must leave byte for byte.
std::string EarlierImage(const std::string& path) {
  return MifImage(path, {"\t0 : 1100100000 ; -- \t\tinc 0"});
}

enum class Output {
  kNone,        // no output argument
  kFile,        // <dir>/out.mif
  kDirectory,   // <dir>/outdir, an existing directory
  kMissingDir,  // <dir>/nowhere/out.mif
  kReadOnly,    // <dir>/out.mif, mode 0444, written by an unprivileged user
  kDevFull,     // /dev/full: opens, but every write fails
};

enum class Result {
  kAbsent,    // nothing exists at the output path
  kKept,      // the earlier image is still there, byte for byte
  kImage,     // the new image with `content`
  kEmptyDir,  // still an empty directory
  kDevice,    // a device: nothing to look at
};

struct Row {
  const char* name;
  // Makes the source under the directory given and returns its path.
  std::function<std::string(const std::string&)> source;
  Output output;
  bool earlier_image;  // the output path holds an earlier image before the run
  // The console after the banner line; {src} and {out} stand for the paths.
  std::string console;
  int status;
  Result result;
  std::vector<std::string> content;  // content lines of the new image
};

std::string Fixed(const std::string& name, const std::string& bytes, const std::string& dir) {
  std::string path = dir + "/" + name;
  WriteFile(path, bytes);
  return path;
}

void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

// A source file `name` holding what `make` returns, made when the row runs.
std::function<std::string(const std::string&)> Source(const char* name,
                                                      std::function<std::string()> make) {
  return [name, make](const std::string& dir) { return Fixed(name, make(), dir); };
}

std::function<std::string(const std::string&)> Source(const char* name, const std::string& bytes) {
  return Source(name, [bytes] { return bytes; });
}

template <size_t N>
std::string Bytes(const char (&literal)[N]) {
  return std::string(literal, N - 1);
}

// An object file's first bytes, a line of high bytes, a line of NULs, and
// control bytes without a final newline.
const char kBinary[] =
    "\x7f" "ELF\x02\x01\x01\0\0\0\0\x03\0>\0\n"
    "\xff\xfe\x80\x81 \x90\x91\n"
    "\0\0\0\0\n"
    "\x01\x02\x03";
// NUL bytes inside statement lines and at the start of one.
const char kNulLines[] = "load 5\0; junk\nadd 3\0\0\0x\n\0inc\nj 0\n";

const char kStatement[] = "load 5\n";

const char kBanner2[] = "Supporting basic ZRC and parallel ZRC extensions.\n\n";
const char kProcessing[] = "Processing ZRC assembly source file '{src}'...\n";
const char kReadError[] = "orvix: Error reading source file {src}.\n";
const char kGenerating[] = "Generating MIF output '{out}'\n";
const char kCannotWrite[] =
    "Cannot write MIF output '{out}', aborting..\n"
    "orvix: Error generating machine code.\n";
const char kTooMany[] = "Too many statements, ZRC memory holds 32 words, aborting..\n";

std::string Cat(std::initializer_list<std::string> parts) {
  std::string s;
  for (const std::string& p : parts) s += p;
  return s;
}

const std::vector<Row>& Rows() {
  // A long line is read in pieces of 1023 bytes.
  static const std::vector<Row> rows = {
      {"missing_source", [](const std::string& dir) { return dir + "/missing.asm"; },
       Output::kFile, false, kReadError, 1, Result::kAbsent, {}},
      {"missing_source_keeps_output", [](const std::string& dir) { return dir + "/missing.asm"; },
       Output::kFile, true, kReadError, 1, Result::kKept, {}},
      // A directory opens for reading on Linux; the first read fails, which
      // ends the input like an empty file.
      {"directory_source",
       [](const std::string& dir) {
         std::string path = dir + "/srcdir";
         mkdir(path.c_str(), 0755);
         return path;
       },
       Output::kFile, false, Cat({kProcessing, kReadError}), 1, Result::kAbsent, {}},
      {"dev_null_source", [](const std::string&) { return std::string("/dev/null"); },
       Output::kFile, true, Cat({kProcessing, kReadError}), 1, Result::kKept, {}},
      // A NUL byte ends the text of its line; the first line's text is not an
      // instruction.
      {"binary_source",
       Source("binary.asm", Bytes(kBinary)),
       Output::kFile, true,
       Cat({kProcessing, kGenerating,
            "Unknown ZRC instruction '\x7f" "ELF\x02\x01\x01', aborting..\n",
            "orvix: Error generating machine code.\n"}),
       1, Result::kKept, {}},
      {"nul_bytes_in_lines",
       Source("nul.asm", Bytes(kNulLines)),
       Output::kFile, true,
       Cat({kProcessing, kGenerating, "1000000101\n0011000011\n0001000000\n"}), 0,
       Result::kImage,
       {"\t0 : 1000000101 ; -- \t\tload 5", "\t1 : 0011000011 ; -- \t\tadd 3",
        "\t2 : 0001000000 ; -- \t\tj 0"}},
      // 10 MB of blanks in whole pieces, then the statement in a piece of its
      // own: every blank piece is skipped.
      {"blank_line_10mb",
       Source("blank10mb.asm", [] { return Repeat(" ", 1023 * 10250) + "load 1\n"; }),
       Output::kFile, false, Cat({kProcessing, kGenerating, "1000000001\n"}), 0,
       Result::kImage, {"\t0 : 1000000001 ; -- \t\tload 1"}},
      // Each 1023-byte piece of a 10 MB word is a statement of its own: far
      // more than memory holds.
      {"word_line_10mb", Source("word10mb.asm", [] { return Repeat("x", 10 << 20) + "\n"; }),
       Output::kFile, true, Cat({kProcessing, kTooMany, kReadError}), 1, Result::kKept, {}},
      // 1 GiB of NUL bytes, sparse: every piece reads as an empty line.
      {"sparse_1gb_of_nul",
       [](const std::string& dir) {
         std::string path = dir + "/sparse.asm";
         int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
         EXPECT_EQ(ftruncate(fd, 1L << 30), 0);
         close(fd);
         return path;
       },
       Output::kFile, false, Cat({kProcessing, kReadError}), 1, Result::kAbsent, {}},
      {"comments_100k_then_statement",
       Source("comments.asm",
              [] { return Repeat("\n  ; a comment line\n \t\r\n;\n", 25000) + "  inc ; last\n"; }),
       Output::kFile, false, Cat({kProcessing, kGenerating, "1100100000\n"}), 0,
       Result::kImage, {"\t0 : 1100100000 ; -- \t\tinc 0"}},
      {"thirty_three_statements", Source("long.asm", Repeat("inc\n", 33)), Output::kFile, true,
       Cat({kProcessing, kTooMany, kReadError}), 1, Result::kKept, {}},
      {"unknown_mnemonic_keeps_output", Source("unknown.asm", "load 5\nLOAD 6\n"),
       Output::kFile, true,
       Cat({kProcessing, kGenerating, "1000000101\n",
            "Unknown ZRC instruction 'LOAD', aborting..\n",
            "orvix: Error generating machine code.\n"}),
       1, Result::kKept, {}},
      {"no_output_path", Source("ok.asm", kStatement), Output::kNone, false,
       Cat({kProcessing, "Generating MIF output '<stdout>'\n", "1000000101\n"}), 0,
       Result::kAbsent, {}},
      {"output_is_directory", Source("ok.asm", kStatement), Output::kDirectory, false,
       Cat({kProcessing, kGenerating, "1000000101\n", kCannotWrite}), 1, Result::kEmptyDir, {}},
      {"output_in_missing_directory", Source("ok.asm", kStatement), Output::kMissingDir, false,
       Cat({kProcessing, kGenerating, "1000000101\n", kCannotWrite}), 1, Result::kAbsent, {}},
      {"output_read_only", Source("ok.asm", kStatement), Output::kReadOnly, true,
       Cat({kProcessing, kGenerating, "1000000101\n", kCannotWrite}), 1, Result::kKept, {}},
      // /dev/full opens; the full device shows when the buffered image is
      // written out at the close.
      {"output_dev_full", Source("ok.asm", kStatement), Output::kDevFull, false,
       Cat({kProcessing, kGenerating, "1000000101\n", kCannotWrite}), 1, Result::kDevice, {}},
  };
  return rows;
}

void ReplaceAll(std::string& s, const std::string& from, const std::string& to) {
  for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size())) {
    s.replace(at, from.size(), to);
  }
}

class OrvixBadInputTest : public ::testing::TestWithParam<Row> {
 protected:
  ScratchDir scratch_;
  const std::string dir_ = scratch_.path.string();
};

bool IsEmptyDirectory(const std::string& path) {
  DIR* d = opendir(path.c_str());
  if (d == nullptr) return false;
  int entries = 0;
  while (readdir(d) != nullptr) entries++;
  closedir(d);
  return entries == 2;  // "." and ".."
}

TEST_P(OrvixBadInputTest, Case) {
  const Row& row = GetParam();
  const std::string src = row.source(dir_);
  uid_t uid = geteuid();

  std::string out;
  switch (row.output) {
    case Output::kNone:
      break;
    case Output::kFile:
      out = dir_ + "/out.mif";
      break;
    case Output::kDirectory:
      out = dir_ + "/outdir";
      ASSERT_EQ(mkdir(out.c_str(), 0755), 0);
      break;
    case Output::kMissingDir:
      out = dir_ + "/nowhere/out.mif";
      break;
    case Output::kReadOnly:
      out = dir_ + "/out.mif";
      if (uid == 0) {
        if (access(OrvixBin().c_str(), X_OK) != 0) GTEST_SKIP() << "binary not reachable";
        uid = kNobody;  // root writes through mode 0444; an ordinary user cannot
      }
      break;
    case Output::kDevFull:
      out = "/dev/full";
      break;
  }
  if (row.earlier_image) WriteFile(out, EarlierImage(out));
  if (row.output == Output::kReadOnly) {
    ASSERT_EQ(chmod(out.c_str(), 0444), 0);
  }

  std::vector<std::string> args = {src};
  if (row.output != Output::kNone) args.push_back(out);
  RunOptions options;
  options.uid = uid;
  Outcome run = RunOrvix(dir_, args, options);

  std::string expected = std::string(kBanner2) + row.console;
  ReplaceAll(expected, "{src}", src);
  ReplaceAll(expected, "{out}", out);
  EXPECT_EQ(run.out, expected);
  EXPECT_EQ(run.status, row.status);

  struct stat st;
  switch (row.result) {
    case Result::kAbsent:
      if (!out.empty()) {
        EXPECT_NE(lstat(out.c_str(), &st), 0) << out << " exists";
      }
      break;
    case Result::kKept:
      EXPECT_EQ(ReadFile(out), EarlierImage(out));
      break;
    case Result::kImage:
      EXPECT_EQ(ReadFile(out), MifImage(out, row.content));
      break;
    case Result::kEmptyDir:
      EXPECT_TRUE(IsEmptyDirectory(out));
      break;
    case Result::kDevice:
      break;
  }

  // Large inputs stream through a fixed buffer: no run may need memory in
  // proportion to its input, nor take long.
  EXPECT_LT(run.max_rss_kb, 256 * 1024);
  EXPECT_LT(run.seconds, 60.0);
}

INSTANTIATE_TEST_SUITE_P(Matrix, OrvixBadInputTest, ::testing::ValuesIn(Rows()),
                         [](const ::testing::TestParamInfo<Row>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
