#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "libcontainer/libcontainer.h"

namespace {

// Every token `next` cuts while the input has tokens.
std::vector<std::string> CutAll(Tokenizer& t) {
  std::vector<std::string> tokens;
  while (t.hasTokens()) tokens.push_back(t.next().cStr());
  return tokens;
}

// Every token the queue view hands out.
std::vector<std::string> GetAll(Tokenizer& t) {
  std::vector<std::string> tokens;
  String tok;
  while (t.get(tok)) tokens.push_back(tok.cStr());
  return tokens;
}

const char kNone[] = "(none)";

// The next token of the queue view, or kNone.
std::string Get(Tokenizer& t) {
  String tok;
  return t.get(tok) ? tok.cStr() : kNone;
}

struct CutCase {
  const char* input;
  const char* delims;
  std::vector<std::string> tokens;
};

const CutCase kCutCases[] = {
    {"", " ", {}},
    {"  add  5 ,, x ", " ,", {"add", "5", "x"}},
    {"a\tb", " ", {"a\tb"}},
    {"  ", " ", {""}},  // only delimiters: one empty token
    {",a,,b,", ",", {"a", "b"}},
    {"a, \tb\t,c", ", \t", {"a", "b", "c"}},
    {"abc", "", {"abc"}},               // no delimiters: the whole input
    {"a-b+c", "+-+", {"a", "b", "c"}},  // repeats in the set do not matter
    {"AbA", "a", {"AbA"}},              // membership is case-sensitive
};

TEST(TokenizerTest, CutsAtRunsOfDelimitersBothWays) {
  for (const CutCase& c : kCutCases) {
    SCOPED_TRACE(std::string("input '") + c.input + "' delims '" + c.delims + "'");
    Tokenizer direct(c.input, c.delims);
    EXPECT_EQ(CutAll(direct), c.tokens);
    EXPECT_STREQ(direct.next().cStr(), "");
    EXPECT_EQ(direct.getCurrentPos(), static_cast<int>(strlen(c.input)));
    EXPECT_EQ(direct.getLastTokenEndPos(), direct.getCurrentPos());

    Tokenizer queued(c.input, c.delims);
    EXPECT_EQ(GetAll(queued), c.tokens);
    EXPECT_TRUE(queued.isEmpty());
  }
}

TEST(TokenizerTest, DefaultDelimiterIsSpaceOnly) {
  Tokenizer one("a\tb c");
  EXPECT_EQ(CutAll(one), (std::vector<std::string>{"a\tb", "c"}));
  Tokenizer none;
  EXPECT_FALSE(none.hasTokens());
  EXPECT_STREQ(none.getDelimiters().cStr(), " ");
}

TEST(TokenizerTest, PositionsFollowTheCut) {
  Tokenizer t("add 5", " ");
  EXPECT_EQ(t.getLastTokenEndPos(), 0);
  EXPECT_EQ(t.getCurrentPos(), 0);
  EXPECT_STREQ(t.getRestOfInput().cStr(), "add 5");

  EXPECT_STREQ(t.next().cStr(), "add");
  EXPECT_EQ(t.getLastTokenEndPos(), 3);
  EXPECT_EQ(t.getCurrentPos(), 4);
  EXPECT_STREQ(t.getRestOfInput().cStr(), "5");
  EXPECT_TRUE(t.hasTokens());

  EXPECT_STREQ(t.next().cStr(), "5");
  EXPECT_EQ(t.getLastTokenEndPos(), 5);
  EXPECT_EQ(t.getCurrentPos(), 5);
  EXPECT_STREQ(t.getRestOfInput().cStr(), "");
  EXPECT_FALSE(t.hasTokens());
}

TEST(TokenizerTest, EmptyInputHasNothingToGetOrUnget) {
  Tokenizer t("");
  EXPECT_TRUE(t.isEmpty());
  String tok("untouched");
  EXPECT_FALSE(t.get(tok));
  EXPECT_STREQ(tok.cStr(), "untouched");
  EXPECT_FALSE(t.unget());
}

TEST(TokenizerTest, UngetStepsBackOneTokenAtATime) {
  Tokenizer t("a b c", " ");
  EXPECT_EQ(Get(t), "a");
  EXPECT_TRUE(t.unget());
  EXPECT_FALSE(t.unget());  // already on the first token
  EXPECT_EQ(Get(t), "a");
  EXPECT_EQ(Get(t), "b");
  EXPECT_EQ(Get(t), "c");
  EXPECT_EQ(Get(t), kNone);
  // Past the end, unget lands on the last token; twice, on the one before.
  EXPECT_TRUE(t.unget());
  EXPECT_EQ(Get(t), "c");
  EXPECT_TRUE(t.unget());
  EXPECT_TRUE(t.unget());
  EXPECT_EQ(Get(t), "b");
}

TEST(TokenizerTest, GetReadsOneTokenAhead) {
  Tokenizer t("a b c", " ");
  EXPECT_EQ(Get(t), "a");
  EXPECT_EQ(t.getLastTokenEndPos(), 3);  // 'b' is already cut
  EXPECT_EQ(t.getCurrentPos(), 4);
  EXPECT_STREQ(t.getRestOfInput().cStr(), "c");
  // Clearing drops the read-ahead 'b'; the read position stays.
  t.clearQueue();
  EXPECT_EQ(t.getCurrentPos(), 4);
  EXPECT_EQ(GetAll(t), std::vector<std::string>{"c"});
}

TEST(TokenizerTest, NextAndGetShareTheReadPosition) {
  Tokenizer t("a b c d", " ");
  EXPECT_STREQ(t.next().cStr(), "a");
  EXPECT_EQ(Get(t), "b");              // and reads 'c' ahead
  EXPECT_STREQ(t.next().cStr(), "d");  // 'c' sits in the queue
  EXPECT_EQ(Get(t), "c");
  EXPECT_EQ(Get(t), kNone);
}

TEST(TokenizerTest, ResetKeepsDelimitersAndEmptiesQueue) {
  Tokenizer t("x,y", ", \t");
  EXPECT_EQ(Get(t), "x");
  t.reset("p,q r\ts");
  EXPECT_EQ(t.getCurrentPos(), 0);
  EXPECT_EQ(t.getLastTokenEndPos(), 0);
  EXPECT_STREQ(t.getDelimiters().cStr(), ", \t");
  EXPECT_EQ(GetAll(t), (std::vector<std::string>{"p", "q", "r", "s"}));
}

TEST(TokenizerTest, SetDelimitersAppliesFromTheNextCut) {
  Tokenizer direct("a,b c,d", " ");
  EXPECT_STREQ(direct.next().cStr(), "a,b");
  direct.setDelimiters(",");
  EXPECT_STREQ(direct.getDelimiters().cStr(), ",");
  EXPECT_EQ(CutAll(direct), (std::vector<std::string>{"c", "d"}));

  // The queue view has already cut 'c,d' with the old set.
  Tokenizer queued("a,b c,d", " ");
  EXPECT_EQ(Get(queued), "a,b");
  queued.setDelimiters(",");
  EXPECT_EQ(GetAll(queued), std::vector<std::string>{"c,d"});
}

}  // namespace
