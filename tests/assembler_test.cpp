// In-process tests of the assembler's building blocks where the edges do
// not show through the binary: bitify and isinteger at any width or text,
// the exact records of odd statement shapes, the statement count, and the
// writer on an empty table. Encodings, labels, jump addresses and console
// text are pinned end to end in orvix_e2e_test.cpp.

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

// The assembler itself, without its main (the build defines ORVIX_NO_MAIN).
#include "orvix/orvix.cpp"

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

// A source file in the temp directory, removed afterwards.
struct Source {
  std::string path;
  explicit Source(const std::string& text) {
    char tmpl[] = "/tmp/orvix_src_XXXXXX";
    close(mkstemp(tmpl));
    path = tmpl;
    std::ofstream(path, std::ios::binary) << text;
  }
  ~Source() { remove(path.c_str()); }
};

TEST(Bitify, LowBitsInTwosComplement) {
  const struct {
    int val, bits;
    std::string want;
  } cases[] = {
      {0, 0, ""}, {7, -2, ""}, {INT_MIN, 5, "00000"},
      {INT_MIN, 33, "1" + std::string("1") + std::string(31, '0')},
      {INT_MAX, 32, "0" + std::string(31, '1')}, {-1, 40, std::string(40, '1')},
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

// One source line and the record the loader makes of it: shapes whose
// record does not show in a successful listing.
struct Shape {
  const char* line;
  const char* label;
  const char* op;
  const char* jmptarget;
  int data;
};

const Shape kShapes[] = {
    {"\tinc\t", "", "inc", "", 0},
    {"loop :", "", "loop", ":", -1},
    {",,,", "", "", "", 0},
    {"name:", "name", "", "", 0},
    // The listing cannot tell a saturated value from a wrapped one.
    {"LOAD 99999999999", "", "LOAD", "", INT_MAX},
};

class LoaderShape : public testing::TestWithParam<Shape> {};

TEST_P(LoaderShape, FillsOneRecord) {
  const Shape& s = GetParam();
  Source src("\n  ; leading comment\n\t \r\n" + std::string(s.line) + "\r\n; tail\n");
  instruction cmds[32];
  CaptureStdout();
  ASSERT_EQ(1, loadasm(cmds, &src.path[0]));
  EXPECT_EQ("Processing ZRC assembly source file '" + src.path + "'...\n", GetCapturedStdout());
  EXPECT_STREQ(s.label, cmds[0].label.cStr());
  EXPECT_STREQ(s.op, cmds[0].op.cStr());
  EXPECT_STREQ(s.jmptarget, cmds[0].jmptarget.cStr());
  EXPECT_EQ(s.data, cmds[0].data);
  EXPECT_STREQ("", cmds[1].op.cStr());
}

void PrintTo(const Shape& s, std::ostream* os) { *os << '"' << s.line << '"'; }

INSTANTIATE_TEST_SUITE_P(Statements, LoaderShape, testing::ValuesIn(kShapes));

std::string Lines(const std::string& line, int n) {
  std::string s;
  for (int i = 0; i < n; i++) s += line;
  return s;
}

TEST(Loader, LabelLinesAndLongLinePiecesAreStatements) {
  const struct {
    std::string text;
    int want;
    const char* last_message;  // the last console line
  } cases[] = {
      // A label-only line after 32 statements is a 33rd statement.
      {Lines("inc\n", 32) + "; more\n" + "x:\n", -1,
       "Too many statements, ZRC memory holds 32 words, aborting..\n"},
      // A line longer than the reader's 1023 bytes arrives in two pieces.
      {"load " + std::string(1100, '7') + "\n", 2, "...\n"},
  };
  for (const auto& c : cases) {
    Source src(c.text);
    instruction cmds[32];
    CaptureStdout();
    EXPECT_EQ(c.want, loadasm(cmds, &src.path[0])) << c.text.substr(0, 40);
    std::string out = GetCapturedStdout();
    EXPECT_EQ(c.last_message, out.substr(out.size() - strlen(c.last_message)));
  }
}

TEST(Writer, EmptyTableGivesAnAllZeroImage) {
  Source out("stale");
  instruction cmds[32];
  CaptureStdout();
  EXPECT_TRUE(writeasm(cmds, 0, &out.path[0]));
  EXPECT_EQ("Generating MIF output '" + out.path + "'\n", GetCapturedStdout());
  std::ifstream in(out.path);
  std::string image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  size_t begin = image.find("BEGIN\n");
  ASSERT_NE(std::string::npos, begin);
  std::string want;
  char line[32];
  for (int a = 0; a < 32; a++) {
    snprintf(line, sizeof line, "\t%x : 0000000000 ;\n", a);
    want += line;
  }
  EXPECT_EQ(want + "END;\n", image.substr(begin + 6));
}

}  // namespace
