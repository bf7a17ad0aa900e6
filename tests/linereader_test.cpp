#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "libcontainer/libcontainer.h"
#include "tests/test_files.h"

namespace {

// A non-null flag for the boolean settings.
const char kOn[] = "on";

struct Setting {
  LineReaderSetting type;
  const char* pat;
};

typedef std::vector<Setting> Config;

// The assembler's loader: trimmed, case-insensitive, ';' starts a comment
// anywhere in a line.
const Config kLoader = {{LR_SET_CASE_SENSITIVE, nullptr},
                        {LR_ADD_PARTIAL_COMMENT, ";"},
                        {LR_ADD_COMMENT_START, ";"}};

void Apply(LineReader& reader, const Config& config) {
  for (const Setting& s : config) {
    reader.configure(s.type, const_cast<char*>(s.pat));
  }
}

std::vector<std::string> Drain(LineReader& reader) {
  std::vector<std::string> lines;
  String line;
  while (reader.getLine(line)) lines.push_back(line.cStr());
  EXPECT_STREQ(line.cStr(), "");
  EXPECT_FALSE(reader.getLine(line));  // stays exhausted
  return lines;
}

// A stream holding `text`, positioned at its start.
FILE* StreamOf(const std::string& text) {
  FILE* f = tmpfile();
  EXPECT_NE(f, nullptr);
  fwrite(text.data(), 1, text.size(), f);
  rewind(f);
  return f;
}

// Bytes from memory, delivered `chunk` at a time, as a LineReader's byte
// source.
struct ByteSource {
  std::string text;
  size_t chunk;
  size_t at = 0;

  static size_t Read(void* self, char* buf, size_t size) {
    ByteSource& s = *static_cast<ByteSource*>(self);
    const size_t n = std::min({size, s.chunk, s.text.size() - s.at});
    memcpy(buf, s.text.data() + s.at, n);
    s.at += n;
    return n;
  }
};

struct ReadCase {
  const char* name;
  Config config;
  int max_line_length;
  std::string input;
  std::vector<std::string> lines;
  int lines_read;
};

const ReadCase kReadCases[] = {
    // The loader's configuration.
    {"loader", kLoader, 1024, "  LOAD 5   ; set\n; note\n\nHALT\r\n", {"LOAD 5   ", "HALT"}, 4},
    {"loader blank and indented comment", kLoader, 1024, " \t \n\t; indented\nX", {"X"}, 3},
    {"loader CR LF", kLoader, 1024, "load 1 \r\n\r\n\r\nhalt\r\n", {"load 1", "halt"}, 4},
    {"loader no final newline", kLoader, 1024, "A\nB", {"A", "B"}, 2},
    {"loader comment glued to text", kLoader, 1024, "a;b\n;;\n", {"a"}, 2},
    {"empty input", {}, 1024, "", {}, 0},
    {"newlines only", {}, 1024, "\n\n\n", {}, 3},

    // Long lines arrive in pieces of max_line_length - 1 bytes.
    {"ten letters at 8", {}, 8, "abcdefghij\n", {"abcdefg", "hij"}, 2},
    {"seven letters at 8", {}, 8, "abcdefg\nx", {"abcdefg", "x"}, 3},
    {"six letters at 8", {}, 8, "abcdef\nx\n", {"abcdef", "x"}, 2},
    {"one byte per raw line", {}, 2, "ab\nc", {"a", "b", "c"}, 4},
    {"loader at 8", kLoader, 8, "ld 1 ; comment\n", {"ld 1 ", "comment"}, 3},

    // Without trimming lines keep their newline and blanks.
    {"no trim", {{LR_SET_TRIM_LINES, nullptr}}, 1024, " a \n\nb", {" a \n", "\n", "b"}, 3},
    {"no trim eol sees newline",
     {{LR_SET_TRIM_LINES, nullptr}, {LR_ADD_EOL_CONTINUE, "&"}},
     1024,
     "x &\ny &",
     {"x &\n", "y  "},
     2},
    {"empty whitespace set", {{LR_SET_WHITESPACE, ""}}, 1024, " a \t\n", {" a \t"}, 1},
    {"null whitespace set, unknown setting",
     {{LR_SET_WHITESPACE, nullptr}, {static_cast<LineReaderSetting>(99), ""}},
     1024,
     " a\n",
     {" a"},
     1},
    {"newline as whitespace", {{LR_SET_WHITESPACE, "\n "}}, 1024, " a \n \n", {"a"}, 2},

    // End-of-line continuation.
    {"eol", {{LR_ADD_EOL_CONTINUE, "&"}}, 1024, "ADD 1 &\nSUB 2\n", {"ADD 1  SUB 2"}, 2},
    {"eol over comment",
     {{LR_ADD_EOL_CONTINUE, "&"}, {LR_ADD_COMMENT_START, ";"}},
     1024,
     "A &\n; x\nB\n",
     {"A  B"},
     3},
    {"eol on last line", {{LR_ADD_EOL_CONTINUE, "&"}}, 1024, "END &\n", {"END  "}, 1},
    {"eol chain", {{LR_ADD_EOL_CONTINUE, "&"}}, 1024, "a&\nb &\nc\nd\n", {"a b  c", "d"}, 4},
    {"eol is the whole line", {{LR_ADD_EOL_CONTINUE, "&"}}, 1024, "&\nB\n", {" B"}, 2},
    {"eol two tokens",
     {{LR_ADD_EOL_CONTINUE, "-|-"}},
     1024,
     "x --\ny - -\nz\nw -\n",
     {"x  y  z", "w -"},
     4},
    {"eol two tokens need the whole line",
     {{LR_ADD_EOL_CONTINUE, "a|b"}},
     1024,
     "b\nab\n",
     {"b", " "},
     2},
    {"eol longer than line",
     {{LR_ADD_EOL_CONTINUE, "LONGPATTERN"}},
     1024,
     "AB\nCD",
     {"AB", "CD"},
     2},
    {"eol empty pattern", {{LR_ADD_EOL_CONTINUE, ""}}, 1024, "a\nb\nc", {"a b c "}, 3},
    {"eol case-insensitive",
     {{LR_SET_CASE_SENSITIVE, nullptr}, {LR_ADD_EOL_CONTINUE, "and"}},
     1024,
     "x AND\ny\n",
     {"x  y"},
     2},
    {"eol first registered wins",
     {{LR_ADD_EOL_CONTINUE, "\\"}, {LR_ADD_EOL_CONTINUE, "\\|\\"}},
     1024,
     "a \\\\\nb\n",
     {"a \\ b"},
     2},

    // Begin-of-next-line continuation.
    {"bnl", {{LR_ADD_BNL_CONTINUE, "+"}}, 1024, "LOAD 1\n+ ADD 2\n", {"LOAD 1  ADD 2"}, 2},
    {"eol before bnl",
     {{LR_ADD_EOL_CONTINUE, "&"}, {LR_ADD_BNL_CONTINUE, "+"}},
     1024,
     "A &\n+B\n",
     {"A  +B"},
     2},
    {"bnl leaves an empty line",
     {{LR_ADD_EOL_CONTINUE, "&"}, {LR_ADD_BNL_CONTINUE, "+"}},
     1024,
     "A\n+\nB\n",
     {"A ", "B"},
     3},
    {"bnl chain", {{LR_ADD_BNL_CONTINUE, "..|."}}, 1024, "a\n.. .b\n...c\nd\n", {"a b c", "d"}, 4},
    {"bnl case-insensitive",
     {{LR_SET_CASE_SENSITIVE, nullptr}, {LR_ADD_BNL_CONTINUE, "and|so"}},
     1024,
     "x\nAnD  sO y\nAND so z\nw\n",
     {"x  y  z", "w"},
     4},
    {"bnl case-sensitive",
     {{LR_ADD_BNL_CONTINUE, "and"}},
     1024,
     "x\nAND y\nand z\n",
     {"x", "AND y  z"},
     3},

    // Comments.
    {"comment start only at line start",
     {{LR_SET_CASE_SENSITIVE, nullptr}, {LR_ADD_COMMENT_START, "rem"}},
     1024,
     "REM hello\nx rem y\n",
     {"x rem y"},
     2},
    {"partial comment search is case-sensitive",
     {{LR_SET_CASE_SENSITIVE, nullptr},
      {LR_ADD_COMMENT_START, "rem"},
      {LR_ADD_PARTIAL_COMMENT, "rem"}},
     1024,
     "x REM y\nx rem y\nRem z\n",
     {"x REM y", "x "},
     3},
    {"comment exception",
     {{LR_ADD_COMMENT_START, "#"}, {LR_ADD_PARTIAL_COMMENT, "#"}, {LR_ADD_COMMENT_EXCEPTION, "#!"}},
     1024,
     "#!x\na #! b # d\nc # e\n# f\n",
     {"#!x", "a #! b # d", "c "},
     4},
    {"comment exception case-insensitive",
     {{LR_SET_CASE_SENSITIVE, nullptr},
      {LR_ADD_COMMENT_START, "#"},
      {LR_ADD_PARTIAL_COMMENT, "#"},
      {LR_ADD_COMMENT_EXCEPTION, "#x"}},
     1024,
     "#X1\na #X b\n#y\n",
     {"#X1", "a #X b"},
     3},
    {"partial without comment start",
     {{LR_ADD_PARTIAL_COMMENT, ";"}},
     1024,
     "a ; b\n; c\n",
     {"a ; b", "; c"},
     2},
    {"first comment pattern wins",
     {{LR_ADD_COMMENT_START, "//"},
      {LR_ADD_PARTIAL_COMMENT, "//"},
      {LR_ADD_COMMENT_START, ";"},
      {LR_ADD_PARTIAL_COMMENT, ";"}},
     1024,
     "a ; b // c\n",
     {"a ; b "},
     1},
    {"empty comment start", {{LR_ADD_COMMENT_START, ""}}, 1024, "a\nb\n", {}, 2},
    {"eol pattern begins the comment",
     {{LR_ADD_COMMENT_START, ";"}, {LR_ADD_PARTIAL_COMMENT, ";"}, {LR_ADD_EOL_CONTINUE, ";;"}},
     1024,
     "ADD 1 ;; note\nSUB 2\n",
     {"ADD 1  SUB 2"},
     2},
    {"eol pattern begins the comment, case-insensitive",
     {{LR_SET_CASE_SENSITIVE, nullptr},
      {LR_ADD_COMMENT_START, ";"},
      {LR_ADD_PARTIAL_COMMENT, ";"},
      {LR_ADD_EOL_CONTINUE, ";cont"}},
     1024,
     "ADD 1 ;CONT note\nSUB 2 ;Cont\nHALT\n",
     {"ADD 1  SUB 2  HALT"},
     3},
    {"eol pattern begins the comment, case-sensitive",
     {{LR_ADD_COMMENT_START, ";"}, {LR_ADD_PARTIAL_COMMENT, ";"}, {LR_ADD_EOL_CONTINUE, ";cont"}},
     1024,
     "ADD 1 ;CONT note\nSUB 2 ;cont\nHALT\n",
     {"ADD 1 ", "SUB 2  HALT"},
     3},
    {"eol hidden behind blank and comment",
     {{LR_ADD_COMMENT_START, ";"}, {LR_ADD_PARTIAL_COMMENT, ";"}, {LR_ADD_EOL_CONTINUE, "&"}},
     1024,
     "A & ;x\nB &;y\nC\n",
     {"A & ", "B  C"},
     3},
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

class LineReaderReadTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(LineReaderReadTest, InMemory) {
  const ReadCase& c = GetParam();
  LineReader reader(String(c.input.c_str()), c.max_line_length);
  Apply(reader, c.config);
  EXPECT_EQ(Drain(reader), c.lines);
  EXPECT_EQ(reader.linesRead(), c.lines_read);
}

TEST_P(LineReaderReadTest, Stream) {
  const ReadCase& c = GetParam();
  FILE* f = StreamOf(c.input);
  ASSERT_NE(f, nullptr);
  {
    LineReader reader(f, c.max_line_length);
    Apply(reader, c.config);
    EXPECT_EQ(Drain(reader), c.lines);
    EXPECT_EQ(reader.linesRead(), c.lines_read);
  }
  fclose(f);
}

// Bytes delivered three at a time are cut as a stream of them is.
TEST_P(LineReaderReadTest, Bytes) {
  const ReadCase& c = GetParam();
  ByteSource source{c.input, 3};
  LineReader reader(ByteSource::Read, &source, c.max_line_length);
  Apply(reader, c.config);
  EXPECT_EQ(Drain(reader), c.lines);
  EXPECT_EQ(reader.linesRead(), c.lines_read);
}

std::string CaseName(const ::testing::TestParamInfo<ReadCase>& info) {
  std::string name;
  for (const char* p = info.param.name; *p != '\0'; p++) {
    name += isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(Cases, LineReaderReadTest, ::testing::ValuesIn(kReadCases), CaseName);

// Where each line handed back begins: its input line as an editor counts
// lines, and the bytes before it there.
struct PlaceCase {
  const char* name;
  Config config;
  int max_line_length;
  std::string input;
  std::vector<std::tuple<std::string, long long, long long>> lines;  // text, line, offset
};

const PlaceCase kPlaceCases[] = {
    {"blank and comment lines",
     kLoader,
     1024,
     "\n; c\n  load 5 ; x\n\r\n\tj a\n",
     {{"load 5 ", 3, 2}, {"j a", 5, 1}}},
    {"pieces of a long line",
     kLoader,
     8,
     "ab cdefgh ij\nk\n",
     {{"ab cdef", 1, 0}, {"gh ij", 1, 7}, {"k", 2, 0}}},
    // A NUL byte ends the text of its piece, not the line.
    {"nul bytes", kLoader, 1024, std::string("a\0b\n\0c\nd\n", 9), {{"a", 1, 0}, {"d", 3, 0}}},
    {"nul byte in a piece",
     kLoader,
     4,
     std::string("ab\0def\ng\n", 9),
     {{"ab", 1, 0}, {"def", 1, 3}, {"g", 2, 0}}},
    {"no newline at the end", kLoader, 1024, "a\n\n b", {{"a", 1, 0}, {"b", 3, 1}}},
    // Joined lines begin where their first part does.
    {"continued lines",
     {{LR_ADD_EOL_CONTINUE, "\\"}},
     1024,
     " a \\\nb\nc\n",
     {{"a  b", 1, 1}, {"c", 3, 0}}},
};

void PrintTo(const PlaceCase& c, std::ostream* os) { *os << c.name; }

class LineReaderPlaceTest : public ::testing::TestWithParam<PlaceCase> {};

// The same places from every kind of input.
TEST_P(LineReaderPlaceTest, FromEveryInput) {
  const PlaceCase& c = GetParam();
  const bool has_nul = c.input.find('\0') != std::string::npos;
  FILE* f = StreamOf(c.input);
  ASSERT_NE(f, nullptr);
  ByteSource source{c.input, 5};
  for (int kind = 0; kind < 3; kind++) {
    // A String cannot hold a NUL byte.
    if (kind == 0 && has_nul) continue;
    std::unique_ptr<LineReader> made;
    if (kind == 0) made.reset(new LineReader(String(c.input.c_str()), c.max_line_length));
    if (kind == 1) made.reset(new LineReader(f, c.max_line_length));
    if (kind == 2) made.reset(new LineReader(ByteSource::Read, &source, c.max_line_length));
    LineReader& reader = *made;
    Apply(reader, c.config);
    EXPECT_EQ(0, reader.lineNumber());
    std::vector<std::tuple<std::string, long long, long long>> lines;
    String line;
    while (reader.getLine(line)) {
      lines.emplace_back(line.cStr(), reader.lineNumber(), reader.lineOffset());
    }
    EXPECT_EQ(c.lines, lines) << "input " << kind;
  }
  fclose(f);
}

INSTANTIATE_TEST_SUITE_P(Cases, LineReaderPlaceTest, ::testing::ValuesIn(kPlaceCases),
                         [](const ::testing::TestParamInfo<PlaceCase>& info) {
                           std::string name;
                           for (const char* p = info.param.name; *p != '\0'; p++) {
                             name += isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                           }
                           return name;
                         });

TEST(LineReaderTest, ReadsAheadOfTheCaller) {
  LineReader reader(String("1\n2\n3\n4\n5\n"), 1024);
  String line;
  ASSERT_TRUE(reader.getLine(line));
  EXPECT_STREQ(line.cStr(), "1");
  EXPECT_EQ(reader.linesRead(), 3);
  ASSERT_TRUE(reader.getLine(line));
  EXPECT_STREQ(line.cStr(), "2");
  EXPECT_EQ(reader.linesRead(), 5);
}

// Each call pulls once more than it consumes and once for the look at the
// next line: three pulls for a line without continuations, so the count is
// 3k after the k-th getLine (two lines more queued per call) until the input
// runs out. A pull that skips blank or comment lines counts those as well.
TEST(LineReaderTest, ReadAheadCountInTheMiddleOfALongInput) {
  const int kLines = 40;
  struct {
    const char* name;
    const char* before_each_line;  // skipped by every pull
    int raw_per_pull;
  } variants[] = {{"plain lines", "", 1},
                  {"comment before each line", "; c\n", 2},
                  {"blank before each line", " \t\n", 2}};
  for (const auto& v : variants) {
    SCOPED_TRACE(v.name);
    std::string input;
    for (int i = 1; i <= kLines; i++) input += v.before_each_line + std::to_string(i) + "\n";
    const int total = kLines * v.raw_per_pull;
    LineReader reader(String(input.c_str()), 1024);
    Apply(reader, kLoader);
    String line;
    for (int k = 1; k <= kLines; k++) {
      ASSERT_TRUE(reader.getLine(line)) << k;
      EXPECT_EQ(std::to_string(k), line.cStr());
      EXPECT_EQ(reader.linesRead(), std::min(v.raw_per_pull * 3 * k, total)) << k;
    }
    EXPECT_FALSE(reader.getLine(line));
    EXPECT_EQ(reader.linesRead(), total);
  }
}

TEST(LineReaderTest, SettingsCopyTheirText) {
  char pattern[] = "&";
  LineReader reader(String("a &\nb\n"), 1024);
  reader.configure(LR_ADD_EOL_CONTINUE, pattern);
  pattern[0] = 'x';
  String line;
  ASSERT_TRUE(reader.getLine(line));
  EXPECT_STREQ(line.cStr(), "a  b");
}

TEST(LineReaderTest, TrimmingActsWhenALineIsPulled) {
  // Lines read ahead with trimming on keep it.
  LineReader reader(String(" a \n b \n c \n d \n"), 1024);
  String line;
  ASSERT_TRUE(reader.getLine(line));  // 'b' and 'c' are queued, trimmed
  reader.configure(LR_SET_TRIM_LINES, nullptr);
  EXPECT_EQ(Drain(reader), (std::vector<std::string>{"b", "c", " d \n"}));
}

TEST(LineReaderTest, LeavesTheStreamOpenAndWhereItRead) {
  FILE* f = StreamOf("a\nb\nc\nd\n");
  ASSERT_NE(f, nullptr);
  {
    LineReader reader(f, 1024);
    String line;
    ASSERT_TRUE(reader.getLine(line));  // reads 'a', 'b' and 'c'
  }
  char rest[8];
  ASSERT_NE(fgets(rest, sizeof rest, f), nullptr);
  EXPECT_STREQ(rest, "d\n");
  fclose(f);
}

TEST(LineReaderDeathTest, LineLengthBelowTwoIsRefused) {
  if (orvix_test::UnderMemcheck())
    GTEST_SKIP() << "a death test forks, which valgrind cannot follow";
  EXPECT_DEATH(LineReader(String("a"), 1), "max_line_length >= 2");
}

}  // namespace
