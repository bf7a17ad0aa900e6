// The disassembler, in-process: the exact source written for an image, the
// statements of orvix's own comments used only when they assemble to the
// image's words, and the round trip of every word value and of random
// images through the source and the assembler.

#include "orvix/disassembler.h"

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "orvix/assembly.h"
#include "orvix/image.h"
#include "tests/image_text.h"
#include "tests/test_files.h"

namespace {

// The words `given` (zero words after them) as a COE image read back.
MemoryImage Read(const std::vector<int>& given) {
  MemoryImage image;
  image.read = true;
  image.form = "COE";
  image.words = given;
  image.words.resize(kMemoryWords, 0);
  image.comments.assign(kMemoryWords, "");
  return image;
}

struct Written {
  const char* name;
  std::vector<int> words;
  std::string source;  // after the first line
};

void PrintTo(const Written& w, std::ostream* os) { *os << w.name; }

const char kFirstLine[] = "; ZRC source of the COE image 'p.coe', disassembled by orvix\n";

const Written kWritten[] = {
    // Labels for the targets inside the program, numbers past it; operand
    // fields unsigned; the shared word of inb and wdpcpu; .word for what no
    // instruction encodes; zero words inside the program as lea 0.
    {"EveryKindOfStatement",
     {0x2fb, 0x120, 0x083, 0x046, 0x3ff, 0x000, 0x109, 0x05f, 0x11f, 0x0bf, 0x3e0},
     "        load 251            ; 00 1011111011\n"
     "        inb                 ; 01 0100100000 or wdpcpu\n"
     "        jc a03              ; 02 0010000011\n"
     "a03:    j a06               ; 03 0001000110\n"
     "        .word 0x3ff         ; 04 1111111111\n"
     "        lea 0               ; 05 0000000000\n"
     "a06:    outbpb 1            ; 06 0100001001\n"
     "        j 31                ; 07 0001011111\n"
     "        sdpcpu              ; 08 0100011111\n"
     "        jo 31               ; 09 0010111111\n"
     "        leamq               ; 0a 1111100000\n"},
    // A jump to itself, and one to the last statement.
    {"JumpsToTheEnds",
     {0x040, 0x061},
     "a00:    j a00               ; 00 0001000000\n"
     "a01:    jmq a01             ; 01 0001100001\n"},
    // Zero words after the program are not written; an all-zero image is
    // one statement.
    {"AllZero", {}, "        lea 0               ; 00 0000000000\n"},
};

class WrittenSource : public testing::TestWithParam<Written> {};

TEST_P(WrittenSource, ExactSource) {
  const Written& w = GetParam();
  EXPECT_EQ(kFirstLine + w.source, sourceof(Read(w.words), "p.coe", nullptr));
}

INSTANTIATE_TEST_SUITE_P(Images, WrittenSource, testing::ValuesIn(kWritten), orvix_test::ByName());

// A path's control bytes cannot break the first line, and an over-long one
// is cut so that the line stays one line.
TEST(FirstLine, StaysOneLine) {
  const std::string blanked = sourceof(Read({}), "a\nb\x7f", nullptr);
  EXPECT_EQ("; ZRC source of the COE image 'a b ', disassembled by orvix\n",
            blanked.substr(0, blanked.find('\n') + 1));
  const std::string source = sourceof(Read({1}), std::string(2000, 'x'), nullptr);
  std::vector<int> one(kMemoryWords, 0);
  one[0] = 1;
  EXPECT_EQ(one, orvix_test::AssembledWords(source));
  EXPECT_LT(source.find('\n'), 300u);
}

// orvix's own images carry the program as it was written; its statements
// are written back as long as they assemble to the words beside them.
TEST(Comments, WrittenAsTheyWereWhenTheyAgree) {
  const std::vector<std::pair<std::string, std::string>> statements = {
      {"1000000101", "start:\t\tload 5"},
      {"0100100000", "\t\twdpcpu 0"},
      {"1111111111", "x:\t\t.word 1023"},
      {"0001000000", "\t\tj start"}};
  for (const char* format : {"mif", "readmemb", "readmemh", "logisim"}) {
    const std::string text = orvix_test::ImageText(*findformat(format), "p", statements);
    const Disassembly d = disassemble(text, "p");
    EXPECT_TRUE(d.from_comments) << format;
    EXPECT_EQ(std::string("; ZRC source of the ") + findformat(format)->title +
                  " image 'p', disassembled by orvix\n"
                  "start:  load 5              ; 00 1000000101\n"
                  "        wdpcpu              ; 01 0100100000\n"
                  "x:      .word 1023          ; 02 1111111111\n"
                  "        j start             ; 03 0001000000\n",
              d.source)
        << format;
  }
}

// Comments that disagree with their words, or do not make a whole program,
// are passed over: the words are decoded.
TEST(Comments, PassedOverWhenTheyDisagree) {
  const struct {
    const char* name;
    std::vector<std::pair<std::string, std::string>> statements;
  } cases[] = {
      {"AnEditedWord", {{"1000000101", "\t\tload 6"}}},
      {"AnUnknownMnemonic", {{"1000000101", "\t\tLOAD 5"}}},
      {"TwoStatements", {{"1000000101", "\t\tload 5 inc"}}},
      {"ALabelTheJumpMisses", {{"0001000001", "a:\t\tj a"}}},
      {"AnEmptyComment", {{"1000000101", ""}}},
  };
  for (const auto& c : cases) {
    const Disassembly d =
        disassemble(orvix_test::ImageText(*findformat("mif"), "p", c.statements), "p");
    EXPECT_FALSE(d.from_comments) << c.name;
    std::vector<int> words(kMemoryWords, 0);
    words[0] = static_cast<int>(strtol(c.statements[0].first.c_str(), nullptr, 2));
    EXPECT_EQ(words, orvix_test::AssembledWords(d.source)) << c.name << "\n" << d.source;
  }
  // A word the comments do not show: no comment counts.
  std::string text = orvix_test::ImageText(*findformat("mif"), "p", {{"1000000101", "\t\tload 5"}});
  text.replace(text.find("\t5 : 0000000000"), 15, "\t5 : 0000000001");
  EXPECT_FALSE(disassemble(text, "p").from_comments);
}

// Every 10-bit word (once each, spread over 32 images), and random images,
// assemble back to themselves from the source written for them.
TEST(RoundTrip, EveryWordAndRandomImages) {
  std::vector<std::vector<int>> images;
  for (int k = 0; k < kMemoryWords; k++) {
    std::vector<int> words(kMemoryWords);
    for (int a = 0; a < kMemoryWords; a++) words[a] = (k * kMemoryWords + a * 33) % 1024;
    images.push_back(words);
  }
  std::mt19937 rng(23);
  for (int k = 0; k < 200; k++) {
    std::vector<int> words(kMemoryWords, 0);
    const int n = static_cast<int>(rng() % 33);
    for (int a = 0; a < n; a++) words[a] = static_cast<int>(rng() % 1024);
    images.push_back(words);
  }
  for (const std::vector<int>& words : images) {
    const std::string source = sourceof(Read(words), "p.coe", nullptr);
    EXPECT_EQ(words, orvix_test::AssembledWords(source)) << source;
  }
}

}  // namespace
