// End-to-end runs of orvix with its diagnostics (-W, --warnings, --strict):
// every kind of located warning and its line number, the field and address
// boundaries at which warnings start, and that reporting changes nothing else
// of a run: the same console apart from the located lines, the same status
// and the same image in every format. --strict fails exactly the runs that
// warn and then leaves the output path as it was.

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/orvix_run.h"

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

using namespace orvix_test;

const std::string kProcessing = kBanner + "Processing ZRC assembly source file 'in.asm'...\n";
const std::string kToConsole = "Generating MIF output '<stdout>'\n";
const std::string kGenFailed = "orvix: Error generating machine code.\n";
const std::string kInc = "1100100000\n";

// The located warning line for line `line` of in.asm.
std::string W(int line, const std::string& text) {
  return "in.asm:" + std::to_string(line) + ": warning: " + text + "\n";
}

std::string NoOperand(int line, const std::string& mnemonic, const std::string& operand) {
  return W(line, "'" + mnemonic + "' takes no operand: '" + operand + "' is ignored");
}

std::string LongLine(int line, size_t bytes) {
  return W(line, "line is " + std::to_string(bytes) +
                     " bytes long, over 1023: it is read in pieces of 1023 bytes, each a "
                     "statement of its own");
}

std::string Nul(int line) {
  return W(line, "NUL byte in the line: the rest of the line is ignored");
}

std::string NotPlain(int line, const std::string& operand, int value) {
  return W(line, "operand '" + operand + "' is not a plain decimal number: it is read as " +
                     std::to_string(value));
}

std::string PastLast(int line, int address, int last) {
  return W(line, "jump to address " + std::to_string(address) +
                     " lies past the last statement (address " + std::to_string(last) +
                     "), into the zero words");
}

std::string JumpCut(int line, const std::string& target, const std::string& bits, int address) {
  return W(line, "jump target " + target + " is not an address 0..31: its low 5 bits " + bits +
                     " (address " + std::to_string(address) + ") are kept");
}

std::string NoFit(int line, const std::string& operand, int width, const std::string& mnemonic,
                  const std::string& bits) {
  return W(line, "operand " + operand + " does not fit the " + std::to_string(width) +
                     "-bit field of '" + mnemonic + "': its low " + std::to_string(width) +
                     " bits " + bits + " are kept");
}

// The lines of `console` that name a place in in.asm, or all the others:
// what a run without warnings prints.
std::string Located(const std::string& console) { return LinesWhere(console, "in.asm", true); }
std::string Unlocated(const std::string& console) { return LinesWhere(console, "in.asm", false); }

bool HasWarning(const std::string& console) {
  return console.find(": warning: ") != std::string::npos;
}

// One source assembled to the console. The expected console with warnings
// is kProcessing + `loaded` + kToConsole + `listed`.
struct Case {
  std::string name;
  std::string source;  // in.asm
  std::string loaded;  // the loader's warnings
  std::string listed;  // the words, with the encoder's warnings before their word
  int status;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

std::string CaseName(const testing::TestParamInfo<Case>& info) { return info.param.name; }

// `console` without the words of the listing: what a quiet run prints of it.
std::string WithoutWords(const std::string& console) {
  std::string kept;
  size_t pos = 0;
  while (pos < console.size()) {
    size_t end = std::min(console.find('\n', pos), console.size() - 1) + 1;
    std::string line = console.substr(pos, end - pos);
    if (line.size() != 11 || line.find_first_not_of("01") != 10) kept += line;
    pos = end;
  }
  return kept;
}

// With -W the console is exactly as expected; without options it is the
// same minus the located lines; with --strict a run that warned fails after
// its listing, and any other run is as with -W. A quiet run prints its
// messages alone, on standard error.
void CheckReported(const Case& c) {
  ScratchDir d;
  WriteFile(d.path / "in.asm", c.source);
  const std::string expected = kProcessing + c.loaded + kToConsole + c.listed;

  Outcome reported = RunOrvix(d.path, {"-W", "in.asm"});
  EXPECT_EQ(expected, reported.out);
  EXPECT_EQ(c.status, reported.status);

  Outcome quiet = RunQuiet(d.path, {"-q", "-W", "in.asm"});
  EXPECT_EQ("", quiet.out);
  EXPECT_EQ(WithoutWords(c.loaded + c.listed), quiet.err);
  EXPECT_EQ(c.status, quiet.status);

  Outcome plain = RunOrvix(d.path, {"in.asm"});
  EXPECT_EQ(Unlocated(expected), plain.out);
  EXPECT_EQ(c.status, plain.status);

  Outcome strict = RunOrvix(d.path, {"--strict", "in.asm"});
  const bool fails = c.status == 0 && HasWarning(expected);
  EXPECT_EQ(fails ? expected + kGenFailed : expected, strict.out);
  EXPECT_EQ(fails ? 1 : c.status, strict.status);
  EXPECT_EQ(std::vector<std::string>{"in.asm"}, DirEntries(d.path));
}

// 32 statements, the first `first`, the rest inc: no jump lies past the end.
std::string FullProgram(const std::string& first) { return first + "\n" + Repeat("inc\n", 31); }
const std::string kFullTail = Repeat(kInc, 31);

// A line of 1023 bytes: a statement and a comment that fills the rest.
const std::string kLine1023 = "add 1 ;" + Repeat("c", 1016);

// One row per kind of problem, and for each where a problem starts.
const std::vector<Case> kKinds = {
    {"OperandTooLargeForField", "load 256\n", "",
     NoFit(1, "256", 8, "load", "00000000") + "1000000000\n", 0},
    {"JumpTargetOutsideMemory", FullProgram("jo 40"), "",
     JumpCut(1, "40", "01000", 8) + "0010101000\n" + kFullTail, 0},
    {"JumpPastTheLastStatement", "inc\ninc\njc 3\n", "",
     kInc + kInc + PastLast(3, 3, 2) + "0010000011\n", 0},
    // The cut target is what is compared with the last statement.
    {"CutJumpTargetPastTheLastStatement", "inc\nj 34\n", "",
     kInc + JumpCut(2, "34", "00010", 2) + PastLast(2, 2, 1) + "0001000010\n", 0},
    {"CutJumpTargetOnTheLastStatement", "inc\nj 33\n", "",
     kInc + JumpCut(2, "33", "00001", 1) + "0001000001\n", 0},
    {"LabelWhereANumberIsNeeded", "x: load x\noutbpb x\n", "",
     W(1, "label 'x' given to 'load', which takes a number: the field gets all ones") +
         "1011111111\n" +
         W(2, "label 'x' given to 'outbpb', which takes a number: the field gets all ones") +
         "0100001111\n",
     0},
    {"OperandToInstructionWithoutOperand", "inc 5\nleamq x\n", "",
     NoOperand(1, "inc", "5") + kInc + NoOperand(2, "leamq", "x") + "1111100000\n", 0},
    {"TextAfterTheOperand", "add 5, 7\nsto 1 2,3\n",
     W(1, "text after the operand is ignored: '7'") +
         W(2, "text after the operand is ignored: '2 3'"),
     "0011000101\n0000100001\n", 0},
    {"LineLongerThanAPiece", "inc" + Repeat(" ", 1020) + "j\ninc 5\n", LongLine(1, 1024),
     kInc + "0001000000\n" + NoOperand(2, "inc", "5") + kInc, 0},
    {"LineOfExactlyOnePiece", kLine1023 + "\ninc 5\n", "",
     "0011000001\n" + NoOperand(2, "inc", "5") + kInc, 0},
    {"LineOfOnePieceBeforeCrLf", kLine1023 + "\r\ninc 5\r\n", "",
     "0011000001\n" + NoOperand(2, "inc", "5") + kInc, 0},
    {"NulByte", "inc\0 9\ninc 5\n"s, Nul(1), kInc + NoOperand(2, "inc", "5") + kInc, 0},
    // Every later definition names the first; jumps reach the first.
    {"LabelDefinedAgain", "a: inc\nb: inc\na: dec\n\na: j a\n",
     W(3, "label 'a' is defined again (first on line 1): jumps reach the first") +
         W(5, "label 'a' is defined again (first on line 1): jumps reach the first"),
     kInc + kInc + "1101000000\n0001000000\n", 0},
    // The plain "Warning: Label" line stays, after the located one.
    {"JumpToMissingLabel", "inc\nj nowhere\n", "",
     kInc + W(2, "jump to label 'nowhere', which no statement defines: address 0 is used") +
         "Warning: Label 'nowhere' in jump statement not found, using address 0\n"
         "0001000000\n",
     0},
    // A defined label near the missing one is suggested: one that differs
    // only in case, else the one nearest within two edits.
    {"MissingLabelDiffersInCase", "Loop: inc\nj loop\n", "",
     kInc +
         W(2,
           "jump to label 'loop', which no statement defines: address 0 is used; did you mean "
           "'Loop'?") +
         "Warning: Label 'loop' in jump statement not found, using address 0\n0001000000\n",
     0},
    {"MissingLabelTwoSwapsAway", "start: inc\nj tsrat\n", "",
     kInc +
         W(2,
           "jump to label 'tsrat', which no statement defines: address 0 is used; did you mean "
           "'start'?") +
         "Warning: Label 'tsrat' in jump statement not found, using address 0\n0001000000\n",
     0},
    {"MissingLabelEquallyNearTwo", "lop: inc\nloop: inc\nj lopp\n", "",
     kInc + kInc + W(3, "jump to label 'lopp', which no statement defines: address 0 is used") +
         "Warning: Label 'lopp' in jump statement not found, using address 0\n0001000000\n",
     0},
    {"MissingLabelThreeEditsAway", "start: inc\nj stop\n", "",
     kInc + W(2, "jump to label 'stop', which no statement defines: address 0 is used") +
         "Warning: Label 'stop' in jump statement not found, using address 0\n0001000000\n",
     0},
    {"OperandWithInnerMinus", "add 3-1\n", NotPlain(1, "3-1", 3), "0011000011\n", 0},
    {"OperandWithTwoMinusSigns", "sto --4\n", NotPlain(1, "--4", 0), "0000100000\n", 0},
    {"OperandMinusAlone", "sto -\n", NotPlain(1, "-", 0), "0000100000\n", 0},
    {"OperandWithLeadingZerosIsPlain", "add 007\n", "", "0011000111\n", 0},
    {"OperandMinusZeroIsPlain", "add -0\n", "", "0011000000\n", 0},
    {"UnknownMnemonicIsALocatedError", "inc\n\nLOAD 5\ninc\n", "",
     kInc +
         "in.asm:3: error: unknown instruction 'LOAD'; did you mean 'load'?\n"
         "Unknown ZRC instruction 'LOAD', aborting..\n" +
         kGenFailed,
     1},
    {"LabelOnlyLineIsALocatedError", "; start\nhere:\n", "",
     "in.asm:2: error: unknown instruction ''\nUnknown ZRC instruction '', aborting..\n" +
         kGenFailed,
     1},
    {"UnknownMnemonicOneEditAway", "lod 5\n", "",
     "in.asm:1: error: unknown instruction 'lod'; did you mean 'load'?\n"
     "Unknown ZRC instruction 'lod', aborting..\n" +
         kGenFailed,
     1},
    {"UnknownMnemonicNeighboursSwapped", "slh\n", "",
     "in.asm:1: error: unknown instruction 'slh'; did you mean 'lsh'?\n"
     "Unknown ZRC instruction 'slh', aborting..\n" +
         kGenFailed,
     1},
    {"UnknownMnemonicThreeEditsAway", "xyz 5\n", "",
     "in.asm:1: error: unknown instruction 'xyz'\nUnknown ZRC instruction 'xyz', aborting..\n" +
         kGenFailed,
     1},
    // Warnings found before an unknown mnemonic are still reported; 'foo'
    // lies two edits from both 'jo' and 'sto': no suggestion.
    {"WarningsBeforeAnUnknownMnemonic", "load 300\nfoo 1, 2\n",
     W(2, "text after the operand is ignored: '2'"),
     NoFit(1, "300", 8, "load", "00101100") + "1000101100\n" +
         "in.asm:2: error: unknown instruction 'foo'\nUnknown ZRC instruction 'foo', "
         "aborting..\n" +
         kGenFailed,
     1},
    // One statement with several problems: the loader's in order, then the
    // encoder's before the word.
    {"SeveralProblemsInOneStatement", "a: inc\n\na: inc 3-1, 9\n",
     W(3, "label 'a' is defined again (first on line 1): jumps reach the first") +
         NotPlain(3, "3-1", 3) + W(3, "text after the operand is ignored: '9'"),
     kInc + NoOperand(3, "inc", "3-1") + kInc, 0},
    {"CleanProgram", "start: load 5\nadd -16\nj start\n", "",
     "1000000101\n0011010000\n0001000000\n", 0},
};

class DiagnosticKinds : public testing::TestWithParam<Case> {};

TEST_P(DiagnosticKinds, ReportedOnceOnItsLine) { CheckReported(GetParam()); }

INSTANTIATE_TEST_SUITE_P(Kinds, DiagnosticKinds, testing::ValuesIn(kKinds), CaseName);

// A value at the edge of an operand field: the word it gives and whether it
// fits (-2^(w-1) .. 2^w - 1 for a field of w bits).
struct FieldValue {
  const char* mnemonic;
  int width;
  const char* operand;
  const char* word;
  bool fits;
};

const FieldValue kFieldValues[] = {
    {"load", 8, "-129", "1001111111", false}, {"load", 8, "-128", "1010000000", true},
    {"load", 8, "255", "1011111111", true},   {"load", 8, "256", "1000000000", false},
    {"lea", 5, "-17", "0000001111", false},   {"lea", 5, "-16", "0000010000", true},
    {"lea", 5, "31", "0000011111", true},     {"lea", 5, "32", "0000000000", false},
    {"sto", 5, "-17", "0000101111", false},   {"sto", 5, "-16", "0000110000", true},
    {"sto", 5, "31", "0000111111", true},     {"sto", 5, "32", "0000100000", false},
    {"add", 5, "-17", "0011001111", false},   {"add", 5, "-16", "0011010000", true},
    {"add", 5, "31", "0011011111", true},     {"add", 5, "32", "0011000000", false},
    {"and", 5, "-17", "0011101111", false},   {"and", 5, "-16", "0011110000", true},
    {"and", 5, "31", "0011111111", true},     {"and", 5, "32", "0011100000", false},
    {"outbpb", 3, "-5", "0100001011", false}, {"outbpb", 3, "-4", "0100001100", true},
    {"outbpb", 3, "7", "0100001111", true},   {"outbpb", 3, "8", "0100001000", false},
};

std::vector<Case> FieldCases() {
  std::vector<Case> cases;
  for (const FieldValue& f : kFieldValues) {
    std::string name = std::string(f.mnemonic) + (f.operand[0] == '-' ? "Minus" : "") +
                       (f.operand + (f.operand[0] == '-' ? 1 : 0));
    name[0] = static_cast<char>(toupper(name[0]));
    const std::string word = f.word;
    // The statement sits on line 2, after a comment line.
    std::string listed =
        f.fits ? "" : NoFit(2, f.operand, f.width, f.mnemonic, word.substr(10 - f.width));
    cases.push_back({name, "; edge\n" + std::string(f.mnemonic) + " " + f.operand + "\n", "",
                     listed + word + "\n", 0});
  }
  return cases;
}

class FieldBoundaries : public testing::TestWithParam<Case> {};

TEST_P(FieldBoundaries, WarnExactlyOutsideTheField) { CheckReported(GetParam()); }

INSTANTIATE_TEST_SUITE_P(Fields, FieldBoundaries, testing::ValuesIn(FieldCases()), CaseName);

// Jump targets at the edges of memory, in a full program, so that no target
// lies past the last statement; then the last statement and the one after.
const std::vector<Case> kJumps = {
    {"MinusOne", FullProgram("jmq -1"), "",
     JumpCut(1, "-1", "11111", 31) + "0001111111\n" + kFullTail, 0},
    {"Zero", FullProgram("jc 0"), "", "0010000000\n" + kFullTail, 0},
    {"ThirtyOne", FullProgram("jo 31"), "", "0010111111\n" + kFullTail, 0},
    {"ThirtyTwo", FullProgram("j 32"), "",
     JumpCut(1, "32", "00000", 0) + "0001000000\n" + kFullTail, 0},
    {"LastStatement", "j 2\ninc\nend: inc\n", "", "0001000010\n" + kInc + kInc, 0},
    {"LastStatementByLabel", "j end\ninc\nend: inc\n", "", "0001000010\n" + kInc + kInc, 0},
    {"AfterTheLastStatement", "j 3\ninc\ninc\n", "",
     PastLast(1, 3, 2) + "0001000011\n" + kInc + kInc, 0},
    {"WithoutTarget", "inc\nj\n", "", kInc + "0001000000\n", 0},
};

class JumpBoundaries : public testing::TestWithParam<Case> {};

TEST_P(JumpBoundaries, WarnExactlyOutsideTheProgram) { CheckReported(GetParam()); }

INSTANTIATE_TEST_SUITE_P(Jumps, JumpBoundaries, testing::ValuesIn(kJumps), CaseName);

// A line of three pieces: 'inc 1' and 'inc 2' padded to a piece each, then
// 'inc 3'.
const std::string kThreePieces =
    "inc 1" + Repeat(" ", 1018) + "inc 2" + Repeat("\t", 1018) + "inc 3";

// Line numbers count every line as an editor does.
const std::vector<Case> kLines = {
    {"BlankAndCommentLines", "\n; note\n  \t\n   ; indented\ninc 1\n\nadd 1, 2 ; c\n",
     W(7, "text after the operand is ignored: '2'"),
     NoOperand(5, "inc", "1") + kInc + "0011000001\n", 0},
    {"CrLfLineEnds", "\r\ninc 1\r\n; c\r\n\r\nj 40\r\n", "",
     NoOperand(2, "inc", "1") + kInc + JumpCut(5, "40", "01000", 8) + PastLast(5, 8, 1) +
         "0001001000\n",
     0},
    {"MixedLineEnds", "inc 1\n\r\ninc 2\r\n\ninc 3\n", "",
     NoOperand(1, "inc", "1") + kInc + NoOperand(3, "inc", "2") + kInc + NoOperand(5, "inc", "3") +
         kInc,
     0},
    // Every piece of a long line is a statement of that one line.
    {"LongLineInPieces", "inc\n" + kThreePieces + "\n\ninc 4\n", LongLine(2, 2051),
     kInc + NoOperand(2, "inc", "1") + kInc + NoOperand(2, "inc", "2") + kInc +
         NoOperand(2, "inc", "3") + kInc + NoOperand(4, "inc", "4") + kInc,
     0},
    // The CR of a CR LF line end does not count in its length.
    {"LongLineWithCrLf", "inc" + Repeat(" ", 1020) + "j\r\ninc 5\r\n", LongLine(1, 1024),
     kInc + "0001000000\n" + NoOperand(2, "inc", "5") + kInc, 0},
    // A comment ends with its piece: the next piece of the line is read anew.
    {"LongCommentLine", ";" + Repeat("x", 1022) + "inc 5\ninc 6\n", LongLine(1, 1028),
     NoOperand(1, "inc", "5") + kInc + NoOperand(2, "inc", "6") + kInc, 0},
    // A NUL byte ends what is read of its line, not the line count.
    {"NulBytes", "inc 1\0garbage\n\0inc 9\ninc 2\n"s, Nul(1) + Nul(2),
     NoOperand(1, "inc", "1") + kInc + NoOperand(3, "inc", "2") + kInc, 0},
    {"LastLineWithoutNewline", "inc\n\n; c\ninc 7", "", kInc + NoOperand(4, "inc", "7") + kInc, 0},
    {"LastLineEndsInCarriageReturn", "inc\r\ninc 7\r", "", kInc + NoOperand(2, "inc", "7") + kInc,
     0},
    // A carriage return without a newline after it is part of the line.
    {"LongLastLineEndsInCarriageReturn", "inc" + Repeat(" ", 1020) + "\r", LongLine(1, 1024), kInc,
     0},
    {"LongLastLineWithoutNewline", "inc\n" + kThreePieces, LongLine(2, 2051),
     kInc + NoOperand(2, "inc", "1") + kInc + NoOperand(2, "inc", "2") + kInc +
         NoOperand(2, "inc", "3") + kInc,
     0},
};

class DiagnosticLineNumbers : public testing::TestWithParam<Case> {};

TEST_P(DiagnosticLineNumbers, CountEveryLine) { CheckReported(GetParam()); }

INSTANTIATE_TEST_SUITE_P(Lines, DiagnosticLineNumbers, testing::ValuesIn(kLines), CaseName);

// --strict with an output file: a run that warns lists its words, fails,
// and leaves the output path as it was; a clean run writes the image that a
// run without options writes.
struct StrictCase {
  const char* name;
  std::string source;
  bool warns;
};

void PrintTo(const StrictCase& c, std::ostream* os) { *os << c.name; }

const StrictCase kStrict[] = {
    {"LoaderWarning", "add 5, 7\n", true},        {"EncoderWarning", "inc\nload 256\n", true},
    {"MissingLabel", "j nowhere\ninc\n", true},   {"LongLine", Repeat(" ", 1024) + "\ninc\n", true},
    {"Clean", "start: load 5\nj start\n", false},
};

class StrictRuns : public testing::TestWithParam<std::tuple<StrictCase, bool>> {};

TEST_P(StrictRuns, FailExactlyTheRunsThatWarn) {
  const StrictCase& c = std::get<0>(GetParam());
  const bool old_image = std::get<1>(GetParam());
  const std::string old = "previous image\n";
  ScratchDir strict_dir, plain_dir;
  for (const fs::path& dir : {strict_dir.path, plain_dir.path}) {
    WriteFile(dir / "in.asm", c.source);
    if (old_image) WriteFile(dir / "out.mif", old);
  }
  Outcome strict = RunOrvix(strict_dir.path, {"--strict", "in.asm", "out.mif"});
  Outcome reported = RunOrvix(plain_dir.path, {"-W", "in.asm", "out.mif"});
  ASSERT_EQ(0, reported.status) << reported.out;
  EXPECT_EQ(c.warns, HasWarning(reported.out)) << reported.out;

  const std::vector<std::string> source_only = {"in.asm"};
  const std::vector<std::string> with_image = {"in.asm", "out.mif"};
  if (c.warns) {
    EXPECT_EQ(reported.out + kGenFailed, strict.out);
    EXPECT_EQ(1, strict.status);
    EXPECT_EQ(old_image ? with_image : source_only, DirEntries(strict_dir.path));
    if (old_image) {
      EXPECT_EQ(old, ReadFile(strict_dir.path / "out.mif"));
    }
  } else {
    EXPECT_EQ(reported.out, strict.out);
    EXPECT_EQ(0, strict.status);
    EXPECT_EQ(with_image, DirEntries(strict_dir.path));
    EXPECT_EQ(ReadFile(plain_dir.path / "out.mif"), ReadFile(strict_dir.path / "out.mif"));
    EXPECT_EQ(0u, ReadFile(strict_dir.path / "out.mif").rfind("-- MIF Format", 0));
  }
}

std::string StrictName(const testing::TestParamInfo<std::tuple<StrictCase, bool>>& info) {
  return std::string(std::get<0>(info.param).name) +
         (std::get<1>(info.param) ? "OverOldImage" : "WithoutOldImage");
}

INSTANTIATE_TEST_SUITE_P(Strict, StrictRuns,
                         testing::Combine(testing::ValuesIn(kStrict), testing::Bool()), StrictName);

// A program with warnings of the loader and of the encoder, and a missing
// label, written in each image format with and without warnings.
const std::string kWarnedProgram =
    "start: load 300 ; too wide\nadd 5, 7\n\nj nowhere\nstart: inc 1\nj 9\n";
const std::string kWarnedLocated =
    W(2, "text after the operand is ignored: '7'") +
    W(5, "label 'start' is defined again (first on line 1): jumps reach the first") +
    NoFit(1, "300", 8, "load", "00101100") +
    W(4, "jump to label 'nowhere', which no statement defines: address 0 is used") +
    NoOperand(5, "inc", "1") + PastLast(6, 9, 4);
const std::string kWarnedWords =
    "1000101100\n0011000101\n"
    "Warning: Label 'nowhere' in jump statement not found, using address 0\n"
    "0001000000\n1100100000\n0001001001\n";

struct FormatCase {
  const char* name;
  std::vector<std::string> options;  // before the source
  const char* title;                 // in the progress line
  const char* last_word;             // the last statement's word as the image holds it
};

void PrintTo(const FormatCase& c, std::ostream* os) { *os << c.name; }

const FormatCase kFormatCases[] = {
    {"Default", {}, "MIF", "\t4 : 0001001001 ;"},
    {"Readmemb", {"-f", "readmemb"}, "readmemb", "\n0001001001 // 4:"},
    {"Readmemh", {"--format", "readmemh"}, "readmemh", "\n049 // 4:"},
    {"Coe", {"--format=coe"}, "COE", "\n0001001001,\n"},
};

class FormatRuns : public testing::TestWithParam<FormatCase> {};

TEST_P(FormatRuns, WarningsChangeNothingButTheLocatedLines) {
  const FormatCase& c = GetParam();
  ScratchDir reported_dir, plain_dir;
  std::vector<std::string> plain_args = c.options;
  plain_args.insert(plain_args.end(), {"in.asm", "out.img"});
  Outcome runs[2];
  for (int warn = 0; warn < 2; warn++) {
    const fs::path& dir = warn ? reported_dir.path : plain_dir.path;
    WriteFile(dir / "in.asm", kWarnedProgram);
    std::vector<std::string> args = plain_args;
    if (warn) args.insert(args.begin(), "-W");
    runs[warn] = RunOrvix(dir, args);
    EXPECT_EQ(0, runs[warn].status) << runs[warn].out;
    EXPECT_EQ((std::vector<std::string>{"in.asm", "out.img"}), DirEntries(dir));
  }
  const std::string progress = "Generating " + std::string(c.title) + " output 'out.img'\n";
  EXPECT_EQ(kProcessing + progress + kWarnedWords, runs[0].out);
  EXPECT_EQ(runs[0].out, Unlocated(runs[1].out));
  EXPECT_EQ(kWarnedLocated, Located(runs[1].out));
  const std::string image = ReadImage(plain_dir.path / "out.img");
  EXPECT_EQ(image, ReadImage(reported_dir.path / "out.img"));
  EXPECT_NE(std::string::npos, image.find(c.last_word)) << image;
}

INSTANTIATE_TEST_SUITE_P(Formats, FormatRuns, testing::ValuesIn(kFormatCases), ByName());

}  // namespace
