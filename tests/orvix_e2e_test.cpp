// End-to-end runs of the orvix binary (env ORVIX_BIN) in a scratch directory:
// console text, exit status and the bytes of the MIF image. The words of
// each statement shape are pinned in-process (assembly_test.cpp).

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/orvix_run.h"
#include "tests/round_trip.h"

namespace fs = std::filesystem;

namespace {

using namespace orvix_test;

const std::string kLoad = kBanner + "Processing ZRC assembly source file 'in.asm'...\n";
std::string Gen(const std::string& path) {
  return kLoad + "Generating MIF output '" + path + "'\n";
}
const std::string kGenFailed = "orvix: Error generating machine code.\n";
const std::string kReadFailed = "orvix: Error reading source file in.asm.\n";

// What must hold for out.mif after a run.
enum MifCheck { NO_FILE, UNTOUCHED, IMAGE };

struct Case {
  const char* name;
  std::optional<std::string> source;  // written to in.asm; none: no source file
  std::vector<std::string> args;
  const char* old_mif;  // out.mif before the run; null: absent
  std::string console;  // stdout after the first line
  int status;
  MifCheck mif;
  std::vector<std::string> lines;  // content lines of the image for IMAGE
};

std::vector<std::string> ThirtyTwoLines() {
  std::vector<std::string> lines;
  char buf[64];
  for (int a = 0; a < 31; a++) {
    snprintf(buf, sizeof buf, "\t%x : 1100100000 ; -- \t\tinc 0", a);
    lines.push_back(buf);
  }
  lines.push_back("\t1f : 0001011111 ; -- last:\t\tj last");
  return lines;
}

const std::string kWorked = "start: load 5\nj start\n";
const std::string kTooMany =
    "Too many statements, ZRC memory holds 32 words, aborting..\n" + kReadFailed;

const Case kCases[] = {
    {"NoArguments",
     std::nullopt,
     {},
     nullptr,
     kBanner + "usage: orvix <input file> [<output file>]\n",
     1,
     NO_FILE,
     {}},
    {"OnlyBlankAndCommentLines",
     "\n \t \r\n; note\n   ;indented\n",
     {"in.asm", "out.mif"},
     "old\n",
     kLoad + kReadFailed,
     1,
     UNTOUCHED,
     {}},
    // A trimmed line with a label and a trailing comment, and a jump back.
    {"WorkedExample",
     "  start: load 5 ; set up\nj start\n",
     {"in.asm", "out.mif"},
     nullptr,
     Gen("out.mif") + "1000000101\n0001000000\n",
     0,
     IMAGE,
     {"\t0 : 1000000101 ; -- start:\t\tload 5", "\t1 : 0001000000 ; -- \t\tj start"}},
    {"OneArgumentListsWordsOnly",
     kWorked,
     {"in.asm"},
     nullptr,
     Gen("<stdout>") + "1000000101\n0001000000\n",
     0,
     NO_FILE,
     {}},
    {"ExistingImageIsReplaced",
     "inc\n",
     {"in.asm", "out.mif"},
     "a much longer previous image than the new one, which must not survive\n",
     Gen("out.mif") + "1100100000\n",
     0,
     IMAGE,
     {"\t0 : 1100100000 ; -- \t\tinc 0"}},
    {"MissingLabelWarnsAndUsesAddressZero",
     "jo nowhere\n",
     {"in.asm", "out.mif"},
     nullptr,
     Gen("out.mif") + "Warning: Label 'nowhere' in jump statement not found, using address 0\n"
                      "0010100000\n",
     0,
     IMAGE,
     {"\t0 : 0010100000 ; -- \t\tjo nowhere"}},
    {"StatementShapesInTheListing",
     "start: add 5 ; note\nadd,5\n  add , 5\nx: load y\nsto -3\nsto 1-2\nsto -\n"
     "sto 0x10\na:b: inc\n: inc\nadd 5, 7\nj a:b\n",
     {"in.asm", "out.mif"},
     nullptr,
     Gen("out.mif") + "0011000101\n0011000101\n0011000101\n1011111111\n0000111101\n0000100001\n"
                      "0000100000\n0000111111\n1100100000\n1100100000\n0011000101\n0001001000\n",
     0,
     IMAGE,
     {"\t0 : 0011000101 ; -- start:\t\tadd 5", "\t1 : 0011000101 ; -- \t\tadd 5",
      "\t2 : 0011000101 ; -- \t\tadd 5", "\t3 : 1011111111 ; -- x:\t\tload y",
      "\t4 : 0000111101 ; -- \t\tsto -3", "\t5 : 0000100001 ; -- \t\tsto 1",
      "\t6 : 0000100000 ; -- \t\tsto 0", "\t7 : 0000111111 ; -- \t\tsto 0x10",
      "\t8 : 1100100000 ; -- a:b:\t\tinc 0", "\t9 : 1100100000 ; -- \t\tinc 0",
      "\ta : 0011000101 ; -- \t\tadd 5", "\tb : 0001001000 ; -- \t\tj a:b"}},
    // A failed assembly creates no image (an earlier one is kept: see the
    // failure table of every format).
    {"UnknownMnemonicCreatesNoFile",
     "j nowhere\n5\ninc\n",
     {"in.asm", "out.mif"},
     nullptr,
     Gen("out.mif") +
         "Warning: Label 'nowhere' in jump statement not found, using address 0\n"
         "0001000000\nUnknown ZRC instruction '5', aborting..\n" +
         kGenFailed,
     1,
     NO_FILE,
     {}},
    {"LabelOnlyLineIsAnEmptyMnemonic",
     "here:\n",
     {"in.asm", "out.mif"},
     nullptr,
     Gen("out.mif") + "Unknown ZRC instruction '', aborting..\n" + kGenFailed,
     1,
     NO_FILE,
     {}},
    // A program longer than memory is refused, not cut short; a line that
    // holds a label only is a statement too.
    {"ThirtyThreeStatementsAreRefused",
     Repeat("inc\n", 32) + "; more\nx:\n",
     {"in.asm", "out.mif"},
     "previous image\n",
     kLoad + kTooMany,
     1,
     UNTOUCHED,
     {}},
    {"ThirtyTwoStatementsFillMemory",
     Repeat("inc\n", 31) + "last: j last\n\n; the end\n   \n;\n",
     {"in.asm", "out.mif"},
     nullptr,
     Gen("out.mif") + Repeat("1100100000\n", 31) + "0001011111\n",
     0,
     IMAGE,
     ThirtyTwoLines()},
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class OrvixRun : public testing::TestWithParam<Case> {};

TEST_P(OrvixRun, ConsoleStatusAndImage) {
  const Case& c = GetParam();
  ScratchDir d;
  if (c.source) WriteFile(d.path / "in.asm", *c.source);
  if (c.old_mif) WriteFile(d.path / "out.mif", c.old_mif);
  Outcome r = RunOrvix(d.path, c.args);
  EXPECT_EQ(c.console, r.out);
  EXPECT_EQ("", r.err);
  EXPECT_EQ(c.status, r.status);
  // Nothing but the source and the image is left in the directory.
  std::vector<std::string> entries;
  if (c.source) entries.push_back("in.asm");
  if (c.mif != NO_FILE) entries.push_back("out.mif");
  EXPECT_EQ(entries, DirEntries(d.path));
  switch (c.mif) {
    case NO_FILE:
      EXPECT_FALSE(fs::exists(d.path / "out.mif"));
      break;
    case UNTOUCHED:
      EXPECT_EQ(c.old_mif, ReadFile(d.path / "out.mif"));
      break;
    case IMAGE:
      EXPECT_EQ(MifImage("out.mif", c.lines), ReadImage(d.path / "out.mif"));
      break;
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, OrvixRun, testing::ValuesIn(kCases), orvix_test::ByName());

const char* const kExamples[] = {"counter", "allops", "comments"};

// The words of the statements' content lines of a MIF image, in order.
std::string StatementWords(const std::string& mif) {
  std::string words;
  std::istringstream in(mif);
  std::string line;
  while (std::getline(in, line)) {
    size_t colon = line.find(" : ");
    if (line.find(" ; -- ") != std::string::npos) words += line.substr(colon + 3, 10) + "\n";
  }
  return words;
}

class OrvixExample : public testing::TestWithParam<const char*> {
 protected:
  // Assembles examples/<name>.asm into <name>.mif in `d`; returns the run.
  Outcome Assemble(const ScratchDir& d) {
    fs::path examples = SourceDir() / "examples";
    fs::copy_file(examples / (name_ + ".asm"), d.path / (name_ + ".asm"));
    expected_ = ReadFile(examples / (name_ + ".mif"));
    return RunOrvix(d.path, {name_ + ".asm", name_ + ".mif"});
  }
  std::string name_ = GetParam();
  std::string expected_;
};

TEST_P(OrvixExample, MatchesItsExpectedImage) {
  ScratchDir d;
  Outcome r = Assemble(d);
  EXPECT_EQ(0, r.status);
  EXPECT_EQ(expected_, ReadImage(d.path / (name_ + ".mif")));
  EXPECT_EQ(kBanner + "Processing ZRC assembly source file '" + name_ + ".asm'...\n" +
                "Generating MIF output '" + name_ + ".mif'\n" + StatementWords(expected_),
            r.out);
}

INSTANTIATE_TEST_SUITE_P(Examples, OrvixExample, testing::ValuesIn(kExamples));

// Every source here that assembles, the examples included, comes back from
// its image.
TEST(RoundTrip, EverySourceOfTheTables) {
  std::vector<std::string> sources;
  for (const Case& c : kCases) {
    if (c.source) sources.push_back(*c.source);
  }
  for (const char* name : kExamples) {
    sources.push_back(ReadFile(SourceDir() / "examples" / (std::string(name) + ".asm")));
  }
  EXPECT_LE(static_cast<int>(std::size(kExamples)) + 5, ExpectRoundTrips(sources));
}

}  // namespace
