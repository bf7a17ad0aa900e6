// In-process tests of the assembler's building blocks where the edges do
// not show through the binary: bitify and isinteger at any width or text,
// the record and text of every statement shape, the loader's line pieces,
// reuse of a filled table and streams that fail part way, and the writer on
// an empty table. Encodings, labels, jump addresses and console text are
// pinned end to end in orvix_e2e_test.cpp and orvix_badinput_test.cpp.

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "orvix/diagnostics.h"
#include "orvix/orvix.h"
#include "orvix/platform.h"
#include "tests/orvix_run.h"

namespace {

using orvix_test::MifImage;
using orvix_test::ReadImage;
using orvix_test::ScratchDir;
using orvix_test::WriteFile;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

TEST(Bitify, LowBitsInTwosComplement) {
  const struct {
    int val, bits;
    std::string want;
  } cases[] = {
      {0, 0, ""},
      {7, -2, ""},
      {INT_MIN, 5, "00000"},
      {INT_MIN, 33, "1" + std::string("1") + std::string(31, '0')},
      {INT_MAX, 32, "0" + std::string(31, '1')},
      {-1, 40, std::string(40, '1')},
  };
  for (const auto& c : cases) {
    EXPECT_STREQ(c.want.c_str(), bitify(c.val, c.bits).cStr()) << c.val << "/" << c.bits;
  }
}

TEST(IsInteger, DigitsAndMinusSignsOnly) {
  const struct {
    const char* text;
    bool want;
  } cases[] = {
      {"", true}, {"--7", true}, {"+1", false}, {"1 2", false}, {"\xb2", false},
  };
  for (const auto& c : cases) EXPECT_EQ(c.want, isinteger(c.text)) << c.text;
}

// One statement line as the LineReader hands it over, the record made of
// it and the text beside the record.
struct Shape {
  const char* name;
  const char* line;
  const char* label;
  const char* op;
  const char* jmptarget;
  int data;
  const char* operand;
  const char* rest;
};

const Shape kShapes[] = {
    {"MnemonicAlone", "inc", "", "inc", "", 0, "", ""},
    {"NumberOperand", "add 5", "", "add", "", 5, "5", ""},
    {"LabelReference", "j loop", "", "j", "loop", -1, "loop", ""},
    {"LabelOnly", "name:", "name", "", "", 0, "", ""},
    // The blank left in front of a cut comment is a delimiter like any other.
    {"LabelMnemonicNumber", "start: add 5 ", "start", "add", "", 5, "5", ""},
    {"LabelMnemonicName", "x: load y", "x", "load", "y", -1, "y", ""},
    {"CommasAndTabsAsBlanks", ",\tadd ,, 5,", "", "add", "", 5, "5", ""},
    {"DetachedColonIsAnOperand", "loop :", "", "loop", ":", -1, ":", ""},
    {"ColonInsideALabel", "a:b: inc", "a:b", "inc", "", 0, "", ""},
    {"EmptyLabel", ": inc", "", "inc", "", 0, "", ""},
    {"OnlyCommas", ",,,", "", "", "", 0, "", ""},
    {"MinusAloneIsZero", "sto -", "", "sto", "", 0, "-", ""},
    {"NumberStopsAtInnerMinus", "sto 1-2", "", "sto", "", 1, "1-2", ""},
    {"HexIsALabel", "sto 0x10", "", "sto", "0x10", -1, "0x10", ""},
    // The listing cannot tell a saturated value from a wrapped one.
    {"NumberSaturates", "LOAD 99999999999", "", "LOAD", "", INT_MAX, "99999999999", ""},
    {"TokensAfterTheOperand", "add 5, 7\t x", "", "add", "", 5, "5", "7 x"},
    {"TokensAfterALabelReference", "l: j a b,,c", "l", "j", "a", -1, "a", "b c"},
};

void PrintTo(const Shape& s, std::ostream* os) { *os << '"' << s.line << '"'; }

class ParseStatement : public testing::TestWithParam<Shape> {};

TEST_P(ParseStatement, FillsEveryField) {
  const Shape& s = GetParam();
  // A record and text left from an earlier statement: every field is set.
  instruction cmd;
  cmd.label = "old";
  cmd.op = "old";
  cmd.jmptarget = "old";
  cmd.data = 99;
  StatementText text;
  text.operand = "old";
  text.rest = "old";
  parsestatement(s.line, cmd, text);
  EXPECT_STREQ(s.label, cmd.label.cStr());
  EXPECT_STREQ(s.op, cmd.op.cStr());
  EXPECT_STREQ(s.jmptarget, cmd.jmptarget.cStr());
  EXPECT_EQ(s.data, cmd.data);
  EXPECT_STREQ(s.operand, text.operand.cStr());
  EXPECT_STREQ(s.rest, text.rest.cStr());
}

INSTANTIATE_TEST_SUITE_P(Shapes, ParseStatement, testing::ValuesIn(kShapes), orvix_test::ByName());

const char kProcessing[] = "Processing ZRC assembly source file 'src'...\n";
const char kReadError[] = "Error reading ZRC assembly source file 'src', aborting..\n";

// Loads `stream` (named 'src') into `cmds`; returns the count, and the
// console in `console`.
int Load(instruction* cmds, FILE* stream, std::string& console) {
  Diagnostics quiet;
  CaptureStdout();
  int count = loadstream(cmds, stream, "src", quiet);
  console = GetCapturedStdout();
  return count;
}

// Loads the bytes of `text`, read back from a scratch file.
int LoadText(instruction* cmds, const std::string& text, std::string& console) {
  FILE* stream = scratchfile();
  EXPECT_NE(nullptr, stream);
  if (stream == nullptr) return -2;
  EXPECT_EQ(text.size(), fwrite(text.data(), 1, text.size(), stream));
  rewind(stream);
  int count = Load(cmds, stream, console);
  fclose(stream);
  return count;
}

// The ops of cmds[0..n-1], one per line.
std::string Ops(const instruction* cmds, int n) {
  std::string ops;
  for (int i = 0; i < n; i++) ops += std::string(cmds[i].op.cStr()) + "\n";
  return ops;
}

// The LineReader hands over at most 1023 bytes of a line at a time; each
// piece is a statement of its own.
TEST(LoadStream, LinePiecesAt1023Bytes) {
  const std::string head = "inc" + std::string(1019, ' ');
  const struct {
    std::string line;
    int want;
    const char* ops;
  } cases[] = {
      {head + "x", 2, "inc\ninc\n"},      // 1023 bytes: one statement, operand x
      {head + "xy", 3, "inc\ny\ninc\n"},  // 1024 bytes: "inc ... x", then "y"
  };
  for (const auto& c : cases) {
    instruction cmds[kMemoryWords];
    std::string console;
    EXPECT_EQ(c.want, LoadText(cmds, c.line + "\ninc\n", console)) << c.line.size();
    EXPECT_EQ(kProcessing, console);
    EXPECT_EQ(c.ops, Ops(cmds, c.want));
    EXPECT_STREQ("x", cmds[0].jmptarget.cStr());
  }
}

// A second load into a table that an earlier one filled resets every field
// of the records it fills, and leaves the records after them alone.
TEST(LoadStream, RefillResetsEveryFieldOfTheFilledRecords) {
  instruction cmds[kMemoryWords];
  std::string console;
  ASSERT_EQ(3, LoadText(cmds, "a: j far\nb: load 7\nc: dec 3\n", console));
  ASSERT_EQ(2, LoadText(cmds, "inc\nj there\n", console));
  const struct {
    const char* label;
    const char* op;
    const char* jmptarget;
    int data;
  } want[] = {{"", "inc", "", 0}, {"", "j", "there", -1}, {"c", "dec", "", 3}};
  for (int i = 0; i < 3; i++) {
    EXPECT_STREQ(want[i].label, cmds[i].label.cStr()) << i;
    EXPECT_STREQ(want[i].op, cmds[i].op.cStr()) << i;
    EXPECT_STREQ(want[i].jmptarget, cmds[i].jmptarget.cStr()) << i;
    EXPECT_EQ(want[i].data, cmds[i].data) << i;
  }
}

// Streams that fail part way are made with glibc's custom streams, so these
// cases run where the tests are built with glibc.
#if defined(__GLIBC__)
// A stream that delivers `pieces`, one read each (in parts when a read
// asks for less), and then fails every read.
struct FailingSource {
  std::vector<std::string> pieces;
  size_t piece = 0;
  size_t at = 0;

  static ssize_t Read(void* cookie, char* buf, size_t size) {
    FailingSource* self = static_cast<FailingSource*>(cookie);
    if (self->piece == self->pieces.size()) {
      errno = EIO;
      return -1;
    }
    const std::string& p = self->pieces[self->piece];
    if (p.empty()) {  // an error that a retry gets past
      self->piece++;
      errno = EIO;
      return -1;
    }
    size_t n = std::min(size, p.size() - self->at);
    memcpy(buf, p.data() + self->at, n);
    self->at += n;
    if (self->at == p.size()) {
      self->piece++;
      self->at = 0;
    }
    return static_cast<ssize_t>(n);
  }
};

struct ReadFailure {
  const char* name;
  std::vector<std::string> pieces;
  std::vector<std::string> ops;  // the records loaded before the failure
};

const ReadFailure kReadFailures[] = {
    {"InTheFirstRead", {}, {}},
    {"AfterTwoLines", {"a: inc\n", "load 5\n"}, {"inc", "load"}},
    // Nothing after the error counts, even when a retry would read on.
    {"TransientError", {"inc\n", "", "load 5\n"}, {"inc"}},
    // No piece of the broken line becomes a record.
    {"InTheMiddleOfALongLine", {"inc\n", "load " + std::string(1500, '7')}, {"inc"}},
};

void PrintTo(const ReadFailure& f, std::ostream* os) { *os << f.name; }

class LoadStreamReadError : public testing::TestWithParam<ReadFailure> {};

TEST_P(LoadStreamReadError, FailsWithTheRecordsSoFar) {
  FailingSource source{GetParam().pieces};
  cookie_io_functions_t io = {};
  io.read = FailingSource::Read;
  FILE* stream = fopencookie(&source, "r", io);
  ASSERT_NE(nullptr, stream);
  instruction cmds[kMemoryWords];
  for (instruction& cmd : cmds) cmd.op = "untouched";
  std::string console;
  EXPECT_EQ(-1, Load(cmds, stream, console));
  fclose(stream);
  EXPECT_EQ(std::string(kProcessing) + kReadError, console);
  const std::vector<std::string>& ops = GetParam().ops;
  for (size_t i = 0; i <= ops.size(); i++) {
    EXPECT_STREQ(i < ops.size() ? ops[i].c_str() : "untouched", cmds[i].op.cStr()) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Streams, LoadStreamReadError, testing::ValuesIn(kReadFailures),
                         orvix_test::ByName());
#endif  // __GLIBC__

TEST(Writer, EmptyTableGivesAnAllZeroImage) {
  ScratchDir dir;
  std::string out = (dir.path / "out.mif").string();
  WriteFile(out, "stale");
  instruction cmds[kMemoryWords];
  CaptureStdout();
  EXPECT_TRUE(writeasm(cmds, 0, &out[0]));
  EXPECT_EQ("Generating MIF output '" + out + "'\n", GetCapturedStdout());
  EXPECT_EQ(MifImage(out, {}), ReadImage(out));
}

}  // namespace
