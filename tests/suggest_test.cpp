// Suggestions: the edit distance with swaps of neighbours, and which
// candidate, if any, is suggested for a misspelt name.

#include "orvix/suggest.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

TEST(EditDistance, InsertDeleteReplaceAndSwap) {
  const struct {
    const char* a;
    const char* b;
    int distance;
  } cases[] = {
      {"", "", 0},           {"", "abc", 3},       {"load", "load", 0}, {"lod", "load", 1},
      {"loadd", "load", 1},  {"lxad", "load", 1},  {"olad", "load", 1}, {"slh", "lsh", 1},
      {"tsrat", "start", 2}, {"stop", "start", 3}, {"LOAD", "load", 4},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.distance, editdistance(c.a, c.b)) << c.a << " " << c.b;
    EXPECT_EQ(c.distance, editdistance(c.b, c.a)) << c.b << " " << c.a;
  }
}

TEST(Suggest, TheOneNearestName) {
  const std::vector<std::string> mnemonics = {"load", "lea", "sto", "j",   "jmq",  "jc",
                                              "jo",   "add", "and", "inc", "swap", "lsh"};
  const struct {
    const char* written;
    std::vector<std::string> candidates;
    const char* suggested;
  } cases[] = {
      {"lod", mnemonics, "load"},
      {"LOAD", mnemonics, "load"},  // letter case alone comes first, however far
      {"slh", mnemonics, "lsh"},
      {"xyz", mnemonics, ""},  // three edits from everything
      {"foo", mnemonics, ""},  // two edits from both jo and sto: a tie
      {"", mnemonics, ""},
      {"lopp", {"lop", "loop"}, ""},
      {"loop", {"LOOP", "Loop"}, "Loop"},  // of two that differ in case alone, the nearer
      {"tsrat", {"start", "stop"}, "start"},
      {"x", {}, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.suggested, suggest(c.written, c.candidates)) << c.written;
}

}  // namespace
