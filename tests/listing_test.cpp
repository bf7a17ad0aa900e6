// The listing's exact text: every source line with the words of its
// statements, tabs expanded, then the labels.

#include "orvix/listing.h"

#include <string>

#include <gtest/gtest.h>

#include "tests/test_files.h"

namespace {

using orvix_test::Repeat;

struct ListingCase {
  const char* name;
  std::string source;
  std::string listing;
};

const std::string kNoWord = "                 ";  // where a statement's columns would stand

const ListingCase kListings[] = {
    {"BlankAndCommentLines", "start: load 5 ; go\n\n   \n; note\n\tj start\n",
     "00 1000000101 205     1  start: load 5 ; go\n" + kNoWord + "     2\n" + kNoWord +
         "     3     \n" + kNoWord + "     4  ; note\n" +
         "01 0001000000 040     5          j start\n"
         "\nLabels:\n"
         "00     1  start\n"},
    // Tab stops count from the start of the source line; a UTF-8 character
    // takes one column.
    {"TabsExpanded", "a:\tinc\t; x\n\tdec\t; \xc3\x9c\tok\n",
     "00 1100100000 320     1  a:      inc     ; x\n"
     "01 1101000000 340     2          dec     ; \xc3\x9c     ok\n"
     "\nLabels:\n"
     "00     1  a\n"},
    // Both pieces of an over-long line are statements of that one line.
    {"OverLongLineWithTwoStatements", "inc" + Repeat(" ", 1020) + "j\nx: dec\n",
     "00 1100100000 320  01 0001000000 040     1  inc" + Repeat(" ", 1020) + "j\n" +
         "02 1101000000 340     2  x: dec\n"
         "\nLabels:\n"
         "02     2  x\n"},
    {"DuplicateLabel", "a: inc\nb: j a\n\na: dec\n",
     "00 1100100000 320     1  a: inc\n"
     "01 0001000000 040     2  b: j a\n" +
         kNoWord + "     3\n" +
         "02 1101000000 340     4  a: dec\n"
         "\nLabels:\n"
         "00     1  a\n"
         "01     2  b\n"
         "02     4  a  (defined again: not reached by jumps)\n"},
    {"CrLfAndNoLastLineEndNoLabels", "inc\r\n\r\n\tdec\r\n; end",
     "00 1100100000 320     1  inc\n" + kNoWord + "     2\n" +
         "01 1101000000 340     3          dec\n" + kNoWord + "     4  ; end\n"},
    // A NUL byte stays as written; what follows it in the line is no part of
    // the statement.
    {"NulByteAsWritten", std::string("inc\0 9\n", 7),
     "00 1100100000 320     1  inc" + std::string(1, '\0') + " 9\n"},
};

void PrintTo(const ListingCase& l, std::ostream* os) { *os << l.name; }

class Listings : public testing::TestWithParam<ListingCase> {};

TEST_P(Listings, ExactText) {
  const ListingCase& l = GetParam();
  AssemblyOptions options;
  options.source = "in.asm";
  options.keep_lines = true;
  const Assembly a = assemble(l.source, options);
  ASSERT_TRUE(a.assembled());
  EXPECT_EQ(l.listing, listingtext(a));
}

INSTANTIATE_TEST_SUITE_P(Sources, Listings, testing::ValuesIn(kListings), orvix_test::ByName());

TEST(ExpandTabs, StopsEveryEightColumns) {
  const struct {
    const char* text;
    const char* expanded;
  } cases[] = {
      {"", ""},
      {"\t", "        "},
      {"1234567\tx", "1234567 x"},
      {"12345678\tx", "12345678        x"},
      {"\xc3\x9c\t.", "\xc3\x9c       ."},
  };
  for (const auto& c : cases) EXPECT_EQ(c.expanded, expandtabs(c.text)) << c.text;
}

}  // namespace
