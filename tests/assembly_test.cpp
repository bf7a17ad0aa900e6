// The assembly of a source, in-process: the words of every statement
// shape, every diagnostic at its line and place, the console lines of a
// plain, a reporting, a strict and a quiet run in their order, labels
// resolved once, and sources that cannot be read to their end.

#include "orvix/assembly.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/test_files.h"

using namespace std::string_literals;

namespace {

using namespace orvix_test;

const std::string kProcessing = "Processing ZRC assembly source file 'in.asm'...\n";
const std::string kToConsole = "Generating MIF output '<stdout>'\n";
const std::string kGenFailed = "orvix: Error generating machine code.\n";
const std::string kInc = "1100100000\n";

// Assembles `source` as in.asm, to the console.
Assembly Assemble(const std::string& source, bool report = true, bool strict = false) {
  AssemblyOptions options;
  options.source = "in.asm";
  options.report = report;
  options.strict = strict;
  return assemble(source, options);
}

// The console lines a quiet run prints: the messages.
std::string Messages(const Assembly& a) {
  std::string text;
  for (const ConsoleLine& line : a.console) {
    if (line.channel == CONSOLE_MESSAGE) text += line.text;
  }
  return text;
}

// --- Words ---------------------------------------------------------------------

// Source text and the console listing after the progress lines.
struct Encoding {
  const char* name;
  const char* source;
  const char* listing;
};

const Encoding kEncodings[] = {
    {"LoadFitsTheField", "load 5", "1000000101\n"},
    {"LoadLargestByte", "load 255", "1011111111\n"},
    {"LoadDropsHighBits", "load 300", "1000101100\n"},  // bits above the field are dropped
    {"LoadNegative", "load -5", "1011111011\n"},
    {"LoadSaturatesHigh", "load 99999999999", "1011111111\n"},  // saturates to 2147483647
    {"LoadSaturatesLow", "load -99999999999", "1000000000\n"},  // saturates to -2147483648
    {"AddMinusOne", "add -1", "0011011111\n"},
    {"LeaWrapsAt32", "lea 31\nlea 32", "0000011111\n0000000000\n"},
    {"OutbpbThreeBits", "outbpb 9", "0100001001\n"},
    {"LabelOperandGivesAllOnes", "load x\nlea x\noutbpb x", "1011111111\n0000011111\n0100001111\n"},
    {"OmittedOperandIsZero", "load", "1000000000\n"},
    {"NoOperandFieldIgnoresTheOperand", "inc 7\ninc x", "1100100000\n1100100000\n"},
    {"InbAndWdpcpuShareAWord", "wdpcpu\ninb", "0100100000\n0100100000\n"},
    {"BackwardLabels", "a: inc\nb: inc\nc: inc\nd: jc d\nj a",
     "1100100000\n1100100000\n1100100000\n0010000011\n0001000000\n"},
    {"ForwardLabel", "j fwd\ninc\nfwd: inc", "0001000010\n1100100000\n1100100000\n"},
    {"NumericJumpKeepsFiveBits", "j 33\nj", "0001000001\n0001000000\n"},
    {"DuplicateLabelTakesTheFirst", "x: inc\nx: dec\njmq x",
     "1100100000\n1101000000\n0001100000\n"},
    {"LabelsAreCaseSensitive", "Loop: inc\nj loop",
     "1100100000\nWarning: Label 'loop' in jump statement not found, using address 0\n"
     "0001000000\n"},
    // A negative number is a numeric target, cut to 5 bits like any other.
    {"NegativeJumpTargets", "j -1\njc -32", "0001011111\n0010000000\n"},
    {"NegativeJumpLooksUpNoLabel", "a: inc\nj -1", "1100100000\n0001011111\n"},
    // .word places its word, labelled or not; a jump reaches its label.
    {"WordDecimalAndHexadecimal", ".word 0\n.word 1023\n.word 0x2A\nx: .word 0X3fF\nj x",
     "0000000000\n1111111111\n0000101010\n1111111111\n0001000011\n"},
    {"WordWithLeadingZeros", ".word 0005", "0000000101\n"},
};

void PrintTo(const Encoding& e, std::ostream* os) { *os << e.name; }

class Words : public testing::TestWithParam<Encoding> {};

TEST_P(Words, OfEveryStatementShape) {
  const Assembly a = Assemble(std::string(GetParam().source) + "\n", false);
  EXPECT_TRUE(a.assembled());
  EXPECT_EQ(kProcessing + kToConsole + GetParam().listing, a.consoletext());
}

INSTANTIATE_TEST_SUITE_P(Statements, Words, testing::ValuesIn(kEncodings), ByName());

// --- Diagnostics ---------------------------------------------------------------

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

std::string BadWord(int line, const std::string& why) {
  return "in.asm:" + std::to_string(line) +
         ": error: .word needs a value from 0 to 1023 (or 0x0 to 0x3ff): " + why + "\n";
}

// One source assembled to the console. The expected console with warnings
// is kProcessing + `loaded` + kToConsole + `listed`; a failed run's ends with
// the driver's line.
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

// The lines of `console` that name a place in in.asm, or all the others:
// what a run without warnings prints.
std::string Unlocated(const std::string& console) { return LinesWhere(console, "in.asm", false); }

bool HasWarning(const std::string& console) {
  return console.find(": warning: ") != std::string::npos;
}

// Reporting, the console is exactly as expected; without reporting it is
// the same minus the located lines; a strict run that warned fails after its
// listing, and any other strict run is as a reporting one. A quiet run
// prints the messages alone. The diagnostics are those the console tells,
// each on the line it names.
void CheckReported(const Case& c) {
  const std::string expected = kProcessing + c.loaded + kToConsole + c.listed;

  const Assembly reported = Assemble(c.source);
  EXPECT_EQ(expected, reported.consoletext());
  EXPECT_EQ(c.status == 0, reported.assembled());
  EXPECT_EQ(WithoutWords(c.loaded + c.listed), Messages(reported));
  std::string told;
  int warnings = 0;
  for (const Diagnostic& d : reported.diagnostics) {
    told += locatedline("in.asm", d);
    if (d.severity == SEVERITY_WARNING) warnings++;
  }
  EXPECT_EQ(LinesWhere(expected, "in.asm", true), told);
  EXPECT_EQ(warnings, reported.warnings);

  const Assembly plain = Assemble(c.source, false);
  EXPECT_EQ(Unlocated(expected), plain.consoletext());
  EXPECT_EQ(reported.warnings, plain.warnings);

  const Assembly strict = Assemble(c.source, true, true);
  const bool fails = c.status == 0 && HasWarning(expected);
  EXPECT_EQ(fails ? expected + kGenFailed : expected, strict.consoletext());
  EXPECT_EQ(c.status == 0 && !fails, strict.assembled());
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
    // A defined label near the missing one is suggested (which one is
    // pinned in suggest_test.cpp).
    {"MissingLabelDiffersInCase", "Loop: inc\nj loop\n", "",
     kInc +
         W(2,
           "jump to label 'loop', which no statement defines: address 0 is used; did you mean "
           "'Loop'?") +
         "Warning: Label 'loop' in jump statement not found, using address 0\n0001000000\n",
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
     "in.asm:2: error: no instruction after the label 'here': a statement needs a mnemonic\n"
     "Unknown ZRC instruction '', aborting..\n" +
         kGenFailed,
     1},
    {"UnknownMnemonicOneEditAway", "lod 5\n", "",
     "in.asm:1: error: unknown instruction 'lod'; did you mean 'load'?\n"
     "Unknown ZRC instruction 'lod', aborting..\n" +
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
    // A .word without a word of 10 bits fails the run at its line.
    {"WordOutOfRange", "inc\n.word 1024\ninc\n", "",
     kInc + BadWord(2, "'1024' is not one") + "Invalid .word value '1024', aborting..\n" +
         kGenFailed,
     1},
    {"WordWithoutValue", "x: .word\n", "",
     BadWord(1, "none is given") + "Invalid .word value '', aborting..\n" + kGenFailed, 1},
    {"WordNegative", ".word -1\n", "",
     BadWord(1, "'-1' is not one") + "Invalid .word value '-1', aborting..\n" + kGenFailed, 1},
    {"WordLabelIsNoValue", "a: .word a\n", "",
     BadWord(1, "'a' is not one") + "Invalid .word value 'a', aborting..\n" + kGenFailed, 1},
    // A hexadecimal word is plain; text after it is ignored as after any
    // operand.
    {"WordWithTextAfter", ".word 0x5, 6\n", W(1, "text after the operand is ignored: '6'"),
     "0000000101\n", 0},
    {"UnknownMnemonicNearWord", ".wrod 5\n", "",
     "in.asm:1: error: unknown instruction '.wrod'; did you mean '.word'?\n"
     "Unknown ZRC instruction '.wrod', aborting..\n" +
         kGenFailed,
     1},
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

// --- Places ------------------------------------------------------------------

// A source and, for each diagnostic in order, its line and the text its
// range covers there.
struct Placed {
  const char* name;
  std::string source;
  std::vector<std::pair<long long, std::string>> covered;
};

const Placed kPlaced[] = {
    {"OperandTooWide", "; x\n   load 300 ; c\n", {{2, "300"}}},
    {"TextAfterTheOperand", "add 5, 7  x ; c\n", {{1, "7  x"}}},
    {"OperandNotTaken", "\tinc\t5\n", {{1, "5"}}},
    {"LabelDefinedAgain", "a: inc\n  a: dec\n", {{2, "a"}}},
    {"MissingLabel", "j nowhere\n", {{1, "nowhere"}}},
    {"LabelForANumber", "x: load x\n", {{1, "x"}}},
    {"JumpPastTheEnd", "j 5\n", {{1, "5"}}},
    {"NotPlainDecimal", "add 3-1\n", {{1, "3-1"}}},
    {"UnknownMnemonic", "inc\n  bogus 1\n", {{2, "bogus"}}},
    // Without a mnemonic the statement itself is what is concerned.
    {"LabelAlone", "here:   \n", {{1, "here:"}}},
    // A problem of the line itself covers the whole line.
    {"NulByte", "inc\0 9\r\n"s, {{1, "inc\0 9"s}}},
    // Columns count from the byte after a byte order mark.
    {"ByteOrderMark", "\xef\xbb\xbfload 300\n", {{1, "300"}}},
    {"TooMany", Repeat("inc\n", 32) + " x: inc 1\n", {{33, "x: inc 1"}}},
    // A statement in the second piece of an over-long line stands where the
    // piece does in the line.
    {"SecondPiece",
     "inc" + Repeat(" ", 1020) + "j 40\n",
     {{1, "inc" + Repeat(" ", 1020) + "j 40"}, {1, "40"}, {1, "40"}}},
};

void PrintTo(const Placed& p, std::ostream* os) { *os << p.name; }

class DiagnosticPlaces : public testing::TestWithParam<Placed> {};

TEST_P(DiagnosticPlaces, CoverThePartConcerned) {
  const Placed& p = GetParam();
  std::vector<std::string> lines = Lines(p.source);
  if (lines[0].compare(0, 3, "\xef\xbb\xbf") == 0) lines[0].erase(0, 3);
  const Assembly a = Assemble(p.source);
  std::vector<std::pair<long long, std::string>> covered;
  for (const Diagnostic& d : a.diagnostics) {
    ASSERT_GE(d.line, 1);
    ASSERT_LE(d.line, static_cast<long long>(lines.size()));
    const std::string& line = lines[static_cast<size_t>(d.line - 1)];
    ASSERT_LE(0, d.range.begin);
    ASSERT_LE(d.range.begin, d.range.end);
    ASSERT_LE(d.range.end, static_cast<long long>(line.size()));
    covered.emplace_back(d.line, line.substr(static_cast<size_t>(d.range.begin),
                                             static_cast<size_t>(d.range.end - d.range.begin)));
  }
  EXPECT_EQ(p.covered, covered);
}

INSTANTIATE_TEST_SUITE_P(Sources, DiagnosticPlaces, testing::ValuesIn(kPlaced), ByName());

// Suggestions come with the diagnostic that makes them, apart from its text.
TEST(Diagnostics, CarryTheirSuggestion) {
  const Assembly a = Assemble("Loop: lod 5\nj loop\n");
  ASSERT_EQ(1u, a.diagnostics.size());
  EXPECT_EQ(SEVERITY_ERROR, a.diagnostics[0].severity);
  EXPECT_EQ("load", a.diagnostics[0].suggestion);
  EXPECT_EQ("unknown instruction 'lod'; did you mean 'load'?", a.diagnostics[0].text);
  const Assembly b = Assemble("Loop: load 5\nj loop\n");
  ASSERT_EQ(1u, b.diagnostics.size());
  EXPECT_EQ("Loop", b.diagnostics[0].suggestion);
}

// --- Statements and labels -------------------------------------------------------

// Each statement knows its line, word and comment; each label definition
// its address, line and place, the later ones of a name marked; a jump its
// target, looked up once.
TEST(Statements, LinesWordsLabelsAndTargets) {
  const Assembly a = Assemble("; top\nstart: load 5\n\n  b: j end\nstart: dec\nj start\nj none\n");
  ASSERT_TRUE(a.assembled());
  const struct {
    long long line;
    const char* word;
    const char* comment;
    int target;
  } want[] = {
      {2, "1000000101", "start:\t\tload 5", -1}, {4, "0001000000", "b:\t\tj end", -1},
      {5, "1101000000", "start:\t\tdec 0", -1},  {6, "0001000000", "\t\tj start", 0},
      {7, "0001000000", "\t\tj none", -1},
  };
  ASSERT_EQ(5u, a.statements.size());
  for (size_t i = 0; i < a.statements.size(); i++) {
    EXPECT_EQ(want[i].line, a.statements[i].line) << i;
    EXPECT_STREQ(want[i].word, a.statements[i].word.cStr()) << i;
    EXPECT_STREQ(want[i].comment, a.statements[i].comment.cStr()) << i;
    EXPECT_EQ(want[i].target, a.statements[i].target) << i;
  }
  ASSERT_EQ(3u, a.labels.size());
  const struct {
    const char* name;
    int address;
    long long line, begin;
    bool first;
  } labels[] = {{"start", 0, 2, 0, true}, {"b", 1, 4, 2, true}, {"start", 2, 5, 0, false}};
  for (size_t i = 0; i < 3; i++) {
    EXPECT_STREQ(labels[i].name, a.labels[i].name.cStr()) << i;
    EXPECT_EQ(labels[i].address, a.labels[i].address) << i;
    EXPECT_EQ(labels[i].line, a.labels[i].line) << i;
    EXPECT_EQ(labels[i].begin, a.labels[i].range.begin) << i;
    EXPECT_EQ(labels[i].first, a.labels[i].first) << i;
  }
}

// The rows before an unknown mnemonic are encoded, the rest not.
TEST(Statements, EncodedUpToAnUnknownMnemonic) {
  const Assembly a = Assemble("inc\ndec\nbogus\ninc\n");
  EXPECT_EQ(OUTCOME_UNKNOWN_MNEMONIC, a.outcome);
  EXPECT_EQ(4u, a.statements.size());
  EXPECT_EQ(2, a.encoded());
}

// The LineReader hands over at most 1023 bytes of a line at a time; each
// piece is a statement of its own, of that one line.
TEST(Load, LinePiecesAt1023Bytes) {
  const std::string head = "inc" + std::string(1019, ' ');
  const struct {
    std::string line;
    std::vector<std::string> ops;
  } cases[] = {
      {head + "x", {"inc", "inc"}},        // 1023 bytes: one statement, operand x
      {head + "xy", {"inc", "y", "inc"}},  // 1024 bytes: "inc ... x", then "y"
  };
  for (const auto& c : cases) {
    const Assembly a = Assemble(c.line + "\ninc\n", false);
    ASSERT_EQ(c.ops.size(), a.statements.size()) << c.line.size();
    for (size_t i = 0; i < c.ops.size(); i++) {
      EXPECT_STREQ(c.ops[i].c_str(), a.statements[i].record.op.cStr()) << i;
      EXPECT_EQ(i + 1 < c.ops.size() ? 1 : 2, a.statements[i].line) << i;
    }
    EXPECT_STREQ("x", a.statements[0].record.jmptarget.cStr());
    if (c.ops.size() == 3) {
      EXPECT_EQ(1023, a.statements[1].text.mnemonic.begin);
    }
  }
}

const std::string kNoStatement =
    "in.asm: error: the source holds no statement\n"
    "orvix: Error reading source file in.asm.\n";

TEST(Load, NoStatementTooManyAndWindowsEncodings) {
  const struct {
    std::string source;
    AssemblyOutcome outcome;
    std::string console;
  } cases[] = {
      {"", OUTCOME_NO_STATEMENT, kProcessing + kNoStatement},
      {"; only\n\n  \t\n", OUTCOME_NO_STATEMENT, kProcessing + kNoStatement},
      {Repeat("inc\n", 32) + "; end\n\n", OUTCOME_ASSEMBLED,
       kProcessing + kToConsole + Repeat(kInc, 32)},
      // Warnings before the statement beyond the last word are told; none
      // of its line.
      {"add 1, 2\n" + Repeat("inc\n", 31) + "inc 5\ninc 6\n", OUTCOME_TOO_MANY,
       kProcessing + "in.asm:1: warning: text after the operand is ignored: '2'\n" +
           "in.asm:33: error: too many statements: the memory holds 32 words\n" +
           "Too many statements, ZRC memory holds 32 words, aborting..\n" +
           "orvix: Error reading source file in.asm.\n"},
      // A UTF-8 byte order mark is no part of the text; UTF-16 is not read.
      {"\xef\xbb\xbfload 5\n", OUTCOME_ASSEMBLED, kProcessing + kToConsole + "1000000101\n"},
      {"\xff\xfel\0o\0a\0d\0\n\0"s, OUTCOME_READ_ERROR,
       kProcessing + "in.asm: error: cannot read: the source is UTF-16 text; save it as UTF-8\n" +
           "Error reading ZRC assembly source file 'in.asm', aborting..\n" +
           "orvix: Error reading source file in.asm.\n"},
      {"\xfe\xff\0l\0o\0a\0d\0\n"s, OUTCOME_READ_ERROR,
       kProcessing + "in.asm: error: cannot read: the source is UTF-16 text; save it as UTF-8\n" +
           "Error reading ZRC assembly source file 'in.asm', aborting..\n" +
           "orvix: Error reading source file in.asm.\n"},
  };
  for (const auto& c : cases) {
    const Assembly a = Assemble(c.source);
    EXPECT_EQ(c.outcome, a.outcome) << c.source;
    EXPECT_EQ(c.console, a.consoletext()) << c.source;
  }
}

// Where asked (on Windows, as text mode reads a file), a Ctrl-Z byte ends
// the source; it is told at its line, and its byte, only when more than line
// ends follows it. Elsewhere it is a byte as any other.
TEST(Load, CtrlZEndsTheSourceWhereAsked) {
  const std::string kEnds = "a Ctrl-Z byte ends the source here; the rest is not read";
  const struct {
    std::string source;
    bool ends;
    std::string console;
    long long column;  // of the warning's one byte; -1 for none
  } cases[] = {
      {"load 5\n\x1ainc\n", true, kProcessing + W(2, kEnds) + kToConsole + "1000000101\n", 0},
      {"inc\r\nadd 1\x1a\r\n\n\r\n", true, kProcessing + kToConsole + kInc + "0011000001\n", -1},
      // Whatever lies far behind it, in a later read, counts.
      {"inc\x1a" + Repeat("\r\n", 3000) + "x", true, kProcessing + W(1, kEnds) + kToConsole + kInc,
       3},
      // The bytes before it are the line's last, its own warning first.
      {"\xef\xbb\xbf\ninc 5\x1ainc\n", true,
       kProcessing + W(2, kEnds) + kToConsole + NoOperand(2, "inc", "5") + kInc, 5},
      {"\x1a; gone\n", true, kProcessing + W(1, kEnds) + kNoStatement, 0},
      {"load 5\n\x1ainc\n", false,
       kProcessing + kToConsole + "1000000101\n" +
           "in.asm:2: error: unknown instruction '\x1ainc'; did you mean 'inc'?\n" +
           "Unknown ZRC instruction '\x1ainc', aborting..\n" + kGenFailed,
       -1},
  };
  for (const auto& c : cases) {
    AssemblyOptions options;
    options.source = "in.asm";
    options.report = true;
    options.ctrlz_ends = c.ends;
    const Assembly a = assemble(c.source, options);
    EXPECT_EQ(c.console, a.consoletext()) << c.source;
    if (c.column < 0) continue;
    ASSERT_FALSE(a.diagnostics.empty()) << c.source;
    EXPECT_EQ(c.column, a.diagnostics[0].range.begin) << c.source;
    EXPECT_EQ(c.column + 1, a.diagnostics[0].range.end) << c.source;
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
  std::vector<std::string> ops;  // the statements loaded before the failure
};

const ReadFailure kReadFailures[] = {
    {"InTheFirstRead", {}, {}},
    {"AfterTwoLines", {"a: inc\n", "load 5\n"}, {"inc", "load"}},
    // Nothing after the error counts, even when a retry would read on.
    {"TransientError", {"inc\n", "", "load 5\n"}, {"inc"}},
    // No piece of the broken line becomes a statement.
    {"InTheMiddleOfALongLine", {"inc\n", "load " + std::string(1500, '7')}, {"inc"}},
};

void PrintTo(const ReadFailure& f, std::ostream* os) { *os << f.name; }

class ReadError : public testing::TestWithParam<ReadFailure> {};

TEST_P(ReadError, FailsWithTheStatementsSoFar) {
  FailingSource source{GetParam().pieces};
  cookie_io_functions_t io = {};
  io.read = FailingSource::Read;
  FILE* stream = fopencookie(&source, "r", io);
  ASSERT_NE(nullptr, stream);
  AssemblyOptions options;
  options.source = "src";
  options.report = true;
  const Assembly a = assemble(stream, options);
  fclose(stream);
  EXPECT_EQ(OUTCOME_READ_ERROR, a.outcome);
  EXPECT_EQ(EIO, a.read_error);
  EXPECT_EQ(
      "Processing ZRC assembly source file 'src'...\n"
      "src: error: cannot read: "s +
          strerror(EIO) +
          "\n"
          "Error reading ZRC assembly source file 'src', aborting..\n"
          "orvix: Error reading source file src.\n",
      a.consoletext());
  const std::vector<std::string>& ops = GetParam().ops;
  ASSERT_EQ(ops.size(), a.statements.size());
  for (size_t i = 0; i < ops.size(); i++)
    EXPECT_STREQ(ops[i].c_str(), a.statements[i].record.op.cStr());
}

INSTANTIATE_TEST_SUITE_P(Streams, ReadError, testing::ValuesIn(kReadFailures), ByName());
#endif  // __GLIBC__

}  // namespace
