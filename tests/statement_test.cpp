// One statement line: the record made of it, the text beside the record,
// and where each part stands in the line, for every shape a line can take.
// The image comment made of a record is pinned with the images.

#include "orvix/statement.h"

#include <climits>
#include <string>

#include <gtest/gtest.h>

#include "tests/test_files.h"

namespace {

// One statement line as the LineReader hands it over, the record made of
// it, the text beside the record, and the text each part's span covers.
struct Shape {
  const char* name;
  const char* line;
  const char* label;
  const char* op;
  const char* jmptarget;
  int data;
  const char* operand;
  const char* rest;
  const char* rest_span;  // the text the span of `rest` covers
  const char* whole;      // the text the whole statement's span covers
};

const Shape kShapes[] = {
    {"MnemonicAlone", "inc", "", "inc", "", 0, "", "", "", "inc"},
    {"NumberOperand", "add 5", "", "add", "", 5, "5", "", "", "add 5"},
    {"LabelReference", "j loop", "", "j", "loop", -1, "loop", "", "", "j loop"},
    {"LabelOnly", "name:", "name", "", "", 0, "", "", "", "name:"},
    // The blank left in front of a cut comment is a delimiter like any other.
    {"LabelMnemonicNumber", "start: add 5 ", "start", "add", "", 5, "5", "", "", "start: add 5"},
    {"LabelMnemonicName", "x: load y", "x", "load", "y", -1, "y", "", "", "x: load y"},
    {"CommasAndTabsAsBlanks", ",\tadd ,, 5,", "", "add", "", 5, "5", "", "", "add ,, 5"},
    {"DetachedColonIsAnOperand", "loop :", "", "loop", ":", -1, ":", "", "", "loop :"},
    {"ColonInsideALabel", "a:b: inc", "a:b", "inc", "", 0, "", "", "", "a:b: inc"},
    {"EmptyLabel", ": inc", "", "inc", "", 0, "", "", "", ": inc"},
    {"OnlyCommas", ",,,", "", "", "", 0, "", "", "", ""},
    {"MinusAloneIsZero", "sto -", "", "sto", "", 0, "-", "", "", "sto -"},
    {"NumberStopsAtInnerMinus", "sto 1-2", "", "sto", "", 1, "1-2", "", "", "sto 1-2"},
    {"HexIsALabel", "sto 0x10", "", "sto", "0x10", -1, "0x10", "", "", "sto 0x10"},
    // After .word the operand is the word: never a label, -1 when no word.
    {"WordHexIsANumber", "w: .word 0x10", "w", ".word", "", 16, "0x10", "", "", "w: .word 0x10"},
    {"WordNameIsNoWord", ".word x", "", ".word", "", -1, "x", "", "", ".word x"},
    {"WordMissing", ".word", "", ".word", "", -1, "", "", "", ".word"},
    // The listing cannot tell a saturated value from a wrapped one.
    {"NumberSaturates", "LOAD 99999999999", "", "LOAD", "", INT_MAX, "99999999999", "", "",
     "LOAD 99999999999"},
    {"TokensAfterTheOperand", "add 5, 7\t x", "", "add", "", 5, "5", "7 x", "7\t x",
     "add 5, 7\t x"},
    {"TokensAfterALabelReference", "l: j a b,,c", "l", "j", "a", -1, "a", "b c", "b,,c",
     "l: j a b,,c"},
};

void PrintTo(const Shape& s, std::ostream* os) { *os << '"' << s.line << '"'; }

// The bytes of `line` that `span` covers, `line` beginning at `offset`.
std::string Covered(const std::string& line, const Span& span, long long offset) {
  EXPECT_LE(span.begin, span.end);
  if (span.empty()) return "";
  EXPECT_GE(span.begin, offset);
  EXPECT_LE(span.end, offset + static_cast<long long>(line.size()));
  return line.substr(static_cast<size_t>(span.begin - offset),
                     static_cast<size_t>(span.end - span.begin));
}

class ParseStatement : public testing::TestWithParam<Shape> {};

TEST_P(ParseStatement, FillsEveryFieldAndPlacesEveryPart) {
  const Shape& s = GetParam();
  // The same line at the start of its source line, and further on in it.
  for (long long offset : {0LL, 3000000000LL}) {
    // A record left from an earlier statement: every field is set.
    instruction cmd;
    cmd.label = "old";
    cmd.op = "old";
    cmd.jmptarget = "old";
    cmd.data = 99;
    StatementText text;
    text.operand = "old";
    text.rest = "old";
    parsestatement(s.line, offset, cmd, text);
    EXPECT_STREQ(s.label, cmd.label.cStr());
    EXPECT_STREQ(s.op, cmd.op.cStr());
    EXPECT_STREQ(s.jmptarget, cmd.jmptarget.cStr());
    EXPECT_EQ(s.data, cmd.data);
    EXPECT_STREQ(s.operand, text.operand.cStr());
    EXPECT_STREQ(s.rest, text.rest.cStr());
    EXPECT_EQ(s.label, Covered(s.line, text.label, offset));
    EXPECT_EQ(s.op, Covered(s.line, text.mnemonic, offset));
    EXPECT_EQ(s.operand, Covered(s.line, text.operand_span, offset));
    EXPECT_EQ(s.rest_span, Covered(s.line, text.rest_span, offset));
    EXPECT_EQ(s.whole, Covered(s.line, text.whole, offset));
  }
}

INSTANTIATE_TEST_SUITE_P(Shapes, ParseStatement, testing::ValuesIn(kShapes), orvix_test::ByName());

}  // namespace
