// Reading images back, in-process: every form an image is written in, by
// orvix or by hand as other tools write it, read to its 32 words and its
// form; and every broken image refused with the line and the reason.

#include "orvix/imagereader.h"

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "orvix/instructionset.h"
#include "tests/test_files.h"

namespace {

using namespace std::string_literals;

// The diagnostics of `image` as the console tells them for "img".
std::string Told(const MemoryImage& image) {
  std::string told;
  for (const Diagnostic& d : image.diagnostics) told += locatedline("img", d);
  return told;
}

struct Form {
  const char* name;
  std::string text;
  const char* form;
  std::vector<std::pair<int, int>> words;  // address, word; every other word is zero
  std::string told = "";                   // the warnings
};

void PrintTo(const Form& f, std::ostream* os) { *os << f.name; }

const char kMifHead[] = "DEPTH = 32;\nWIDTH = 10;\n";

const Form kForms[] = {
    // MIF, as the published grammar allows it.
    {"MifLowerCaseKeywords",
     "-- by hand\ndepth = 32;\nwidth = 10;\naddress_radix = hex;\ndata_radix = bin;\ncontent\n"
     "begin\n  0 : 1000000101;\n  1f : 0001000000;\nend;\n",
     "MIF",
     {{0, 0x205}, {31, 0x40}}},
    {"MifRadixesHexByDefault",
     "DEPTH=32;WIDTH=10;CONTENT BEGIN 0:3FF; a: 1;END;",
     "MIF",
     {{0, 0x3ff}, {10, 1}}},
    {"MifBinaryAddressesSignedDecimalData",
     kMifHead + "ADDRESS_RADIX = BIN;\nDATA_RADIX = DEC;\nCONTENT BEGIN\n11 : -1;\n100 : -512;\n"s
                "101 : 511;\n110 : -0;\nEND;\n",
     "MIF",
     {{3, 1023}, {4, 512}, {5, 511}}},
    {"MifOctalAddressesUnsignedData",
     kMifHead + "ADDRESS_RADIX = OCT;\nDATA_RADIX = UNS;\nCONTENT BEGIN\n37 : 1023;\nEND;\n"s,
     "MIF",
     {{31, 1023}}},
    {"MifUnsignedAddressesOctalData",
     kMifHead + "ADDRESS_RADIX = UNS;\nDATA_RADIX = OCT;\nCONTENT BEGIN\n10 : 1777;\nEND;\n"s,
     "MIF",
     {{10, 1023}}},
    {"MifDecimalAddressesHexData",
     kMifHead + "ADDRESS_RADIX = DEC;\nDATA_RADIX = HEX;\nCONTENT BEGIN\n31 : 2a;\nEND;\n"s,
     "MIF",
     {{31, 0x2a}}},
    // Comments of both kinds, anywhere between words.
    {"MifComments",
     "% a block\ncomment %DEPTH -- depth\n= 32; WIDTH = % ten % 10;\nDATA_RADIX = BIN;\n"
     "CONTENT BEGIN -- go\n0 : % five\n% 101; -- done\nEND; -- end\n% trailing %\n",
     "MIF",
     {{0, 5}}},
    // Several values run over consecutive addresses; a range repeats them.
    {"MifValueListsAndRanges",
     kMifHead + "DATA_RADIX = DEC;\nCONTENT BEGIN\n0 : 1 2 3;\n[4..6] : 7;\n[8..c] : 1 2;\nEND;\n"s,
     "MIF",
     {{0, 1}, {1, 2}, {2, 3}, {4, 7}, {5, 7}, {6, 7}, {8, 1}, {9, 2}, {10, 1}, {11, 2}, {12, 1}}},
    {"MifAddressGivenAgain",
     kMifHead + "CONTENT BEGIN\n1 : 5;\n[0..3] : 1;\n1 : 6;\nEND;\n"s,
     "MIF",
     {{0, 1}, {1, 6}, {2, 1}, {3, 1}},
     "img:5: warning: address 1 is given again (first on line 4): the later value counts\n"
     "img:6: warning: address 1 is given again (first on line 5): the later value counts\n"},
    // Fewer words than memory; more, when those past it are zero; wider
    // words whose values fit.
    {"MifShallowDepth", "DEPTH = 4;\nWIDTH = 10;\nCONTENT BEGIN\n3 : 1;\nEND;\n", "MIF", {{3, 1}}},
    {"MifDeeperWithZeros",
     "DEPTH = 64;\nWIDTH = 16;\nCONTENT BEGIN\n[0..3F] : 0;\n1F : 3FF;\n3f : 0000;\nEND;\n",
     "MIF",
     {{31, 0x3ff}},
     "img:5: warning: address 31 is given again (first on line 4): the later value counts\n"},
    // As srec_cat writes it: 16-bit words, several to a line, CONTENT BEGIN
    // on one line, an address without a blank before its colon.
    {"MifAsSrecCatWritesIt",
     "-- http://srecord.sourceforge.net/\n--\nDEPTH = 32;\nWIDTH = 16;\nADDRESS_RADIX = HEX;\n"
     "DATA_RADIX = HEX;\nCONTENT BEGIN\n0000: 0205 0040 03FF;\n001E: 0001 0002;\nEND;\n",
     "MIF",
     {{0, 0x205}, {1, 0x40}, {2, 0x3ff}, {30, 1}, {31, 2}}},
    {"MifByteOrderMarkAndCrLf",
     "\xEF\xBB\xBF"
     "DEPTH = 32;\r\nWIDTH = 10;\r\nCONTENT BEGIN\r\n2 : 3FF;\r\nEND;\r\n",
     "MIF",
     {{2, 0x3ff}}},

    // COE: the radix first, values apart by commas, blanks or line ends.
    {"CoeBinary",
     "; a comment\nmemory_initialization_radix=2;\nmemory_initialization_vector=\n1000000101,\n"
     "0001000000;\n",
     "COE",
     {{0, 0x205}, {1, 0x40}}},
    {"CoeUpperCaseHexadecimal",
     "MEMORY_INITIALIZATION_RADIX = 16 ; sixteen\nMEMORY_INITIALIZATION_VECTOR = 205 40\n"
     "3FF, 1 ,\n\t2 ; the rest is a comment, 7\n; more\n",
     "COE",
     {{0, 0x205}, {1, 0x40}, {2, 0x3ff}, {3, 1}, {4, 2}}},
    // The rest of a line after ';' is a comment.
    {"CoeDecimal",
     "memory_initialization_radix=10; vector=1;\nmemory_initialization_vector=1023,0,5;",
     "COE",
     {{0, 1023}, {2, 5}}},
    {"CoeMoreWordsThanMemoryAllZero",
     "memory_initialization_radix=2;\nmemory_initialization_vector=" + orvix_test::Repeat("1,", 1) +
         orvix_test::Repeat("0,", 40) + "0;\n",
     "COE",
     {{0, 1}}},

    // Verilog memory files: comments of both kinds, addresses, underscores.
    {"ReadmembCommentsAddressesUnderscores",
     "// by hand\n/* a block\n comment */ 10_0000_0101 0001000000\n@1f 1111111111 // last\n",
     "readmemb",
     {{0, 0x205}, {1, 0x40}, {31, 0x3ff}}},
    {"ReadmemhThreeDigits",
     "205\n040 3ff\n@A 1_0\n@1F 3Ff\n",
     "readmemh",
     {{0, 0x205}, {1, 0x40}, {2, 0x3ff}, {10, 0x10}, {31, 0x3ff}}},
    // Words of binary digits, but not ten of them: $readmemh.
    {"ReadmemhOfBinaryDigits", "101\n011\n", "readmemh", {{0, 0x101}, {1, 0x11}}},
    {"ReadmemAddressGivenAgain",
     "@2 1\n@2 2\n",
     "readmemh",
     {{2, 2}},
     "img:2: warning: address 2 is given again (first on line 1): the later value counts\n"},
    {"ReadmemMoreWordsThanMemoryAllZero", "@1f 1 0 0\n@ffff_ffff 0\n", "readmemh", {{31, 1}}},
    // As Icarus Verilog's $writememh writes it back.
    {"ReadmemhWrittenBack",
     "// 0x00000000\n205\n040\n// 0x00000002\n3ff\n",
     "readmemh",
     {{0, 0x205}, {1, 0x40}, {2, 0x3ff}}},

    // Logisim: the header, comments, runs.
    {"LogisimRuns",
     "v2.0 raw\n# a comment\n3*5 7\n2*0 3ff # note\n0*7 1\n",
     "Logisim",
     {{0, 5}, {1, 5}, {2, 5}, {3, 7}, {6, 0x3ff}, {7, 1}}},
    {"LogisimHeaderAloneIsZeros", "v2.0 raw\n", "Logisim", {}},
    {"LogisimCrLfAndRunPastMemoryOfZeros", "v2.0 raw\r\n1f\r\n100*0\r\n", "Logisim", {{0, 0x1f}}},
};

class Forms : public testing::TestWithParam<Form> {};

TEST_P(Forms, ReadToTheirWords) {
  const Form& f = GetParam();
  const MemoryImage image = readimage(f.text);
  EXPECT_TRUE(image.read) << Told(image);
  EXPECT_EQ(f.form, image.form);
  std::vector<int> words(kMemoryWords, 0);
  for (const auto& [address, word] : f.words) words[address] = word;
  EXPECT_EQ(words, image.words);
  EXPECT_EQ(f.told, Told(image));
  EXPECT_EQ(static_cast<int>(image.diagnostics.size()), image.warnings);
}

INSTANTIATE_TEST_SUITE_P(HandWritten, Forms, testing::ValuesIn(kForms), orvix_test::ByName());

struct Broken {
  const char* name;
  std::string text;
  std::string told;  // after "img:"
};

void PrintTo(const Broken& b, std::ostream* os) { *os << b.name; }

// (The end-to-end table of orvix -d pins the commonest of these with the
// run's status and files: a width of 8, an empty file, text that is no
// image, a COE without its vector, an unclosed '%' comment.)
const Broken kBroken[] = {
    {"ValueOfElevenBits", "// readmemb Format ZRC Machine Code 'x'\n1000000101\n10000000000\n",
     "3: error: value 0x400 does not fit in 10 bits"},
    {"HexValueTooWide", kMifHead + "DATA_RADIX = HEX;\nCONTENT BEGIN\n0 : 5;\n1 : 4A3;\nEND;\n"s,
     "6: error: value 0x4A3 does not fit in 10 bits"},
    {"HugeValueShownAsWritten", "v2.0 raw\nffffffffffffffffffff\n",
     "2: error: value 'ffffffffffffffffffff' does not fit in 10 bits"},
    {"DecimalBelowTheWord", kMifHead + "DATA_RADIX = DEC;\nCONTENT BEGIN\n0 : -513;\nEND;\n"s,
     "5: error: value -513 does not fit in 10 bits"},
    {"Address40NotZero",
     "DEPTH = 64;\nWIDTH = 10;\nADDRESS_RADIX = DEC;\nDATA_RADIX = BIN;\nCONTENT BEGIN\n"
     "40 : 0000000101;\nEND;\n",
     "6: error: address 40 lies past the 32 words of memory and holds 0x5, not zero"},
    {"ReadmemAddress40NotZero", "0\n@28 5\n",
     "2: error: address 40 lies past the 32 words of memory and holds 0x5, not zero"},
    {"LogisimRunPastMemory", "v2.0 raw\n33*1\n",
     "2: error: address 32 lies past the 32 words of memory and holds 0x1, not zero"},
    {"RangePastMemoryNotZero", "DEPTH=64;WIDTH=10;\nCONTENT BEGIN\n[0..3f] : 0 1;\nEND;\n",
     "3: error: address 33 lies past the 32 words of memory and holds 0x1, not zero"},
    {"UnterminatedPercentCommentFirst", "\n% open\n",
     "2: error: a comment opened with '%' is not closed"},
    {"UnterminatedBlockComment", "205\n/* open\n040\n",
     "2: error: a comment opened with '/*' is not closed"},
    {"CoeVectorBeforeRadix", "memory_initialization_vector=1;\n",
     "1: error: the vector comes before memory_initialization_radix"},
    {"CoeVectorNotEnded", "memory_initialization_radix=2;\nmemory_initialization_vector=\n1,\n0\n",
     "2: error: the vector is not ended by ';'"},
    {"CoeRadixEight", "memory_initialization_radix=8;\n",
     "1: error: memory_initialization_radix must be 2, 10 or 16, not '8'"},
    {"CoeDigitOutsideTheRadix",
     "memory_initialization_radix=2;\nmemory_initialization_vector=\n12;\n",
     "3: error: '12' is not a number of radix 2"},
    {"CoeUnknownKeyword", "memory_initialization_radix=2;\nradix=2;\n",
     "2: error: unknown COE keyword 'radix'"},
    {"BlankFile", "\n \r\n", "1: error: the file is empty: it holds no image"},
    {"OnlyComments", "// nothing\n-- here\n", "2: error: the file holds no image, only comments"},
    {"BinaryFile",
     "\x7f"
     "ELF\x02\x01\x01\n\0\0\0"s,
     "2: error: a NUL byte: the file is no text image"},
    {"ControlBytes", "\x01\x02\x03", "1: error: not a memory image: it begins with byte 0x01"},
    {"MifUnknownKeyword", "DEPTH = 32;\nDEEP = 1;\n", "2: error: unknown MIF keyword 'DEEP'"},
    {"MifWithoutDepth", "WIDTH = 10;\nCONTENT BEGIN\nEND;\n",
     "2: error: the MIF gives no DEPTH before CONTENT"},
    {"MifWithoutBegin", kMifHead + "CONTENT\n0 : 1;\n"s, "4: error: BEGIN expected after CONTENT"},
    {"MifWithoutEnd", kMifHead + "CONTENT BEGIN\n0 : 1;\n"s, "4: error: the MIF ends without END;"},
    {"MifAddressAtDepth", "DEPTH = 16;\nWIDTH = 10;\nCONTENT BEGIN\n10 : 1;\nEND;\n",
     "4: error: address 10 lies at or beyond DEPTH 16"},
    {"MifValuesRunPastDepth", "DEPTH = 2;\nWIDTH = 10;\nCONTENT BEGIN\n1 : 1 1;\nEND;\n",
     "4: error: the values from address 1 run past DEPTH 2"},
    {"MifRangeBackwards", kMifHead + "CONTENT BEGIN\n[5..2] : 1;\nEND;\n"s,
     "4: error: the address range [5..2] runs backwards"},
    {"MifBinaryDigitTwo", kMifHead + "DATA_RADIX = BIN;\nCONTENT BEGIN\n0 : 102;\nEND;\n"s,
     "5: error: '102' is not a number of radix BIN"},
    {"MifNegativeHex", kMifHead + "CONTENT BEGIN\n0 : -1;\nEND;\n"s,
     "4: error: '-1' is not a number of radix HEX"},
    {"MifUnknownRadix", "DEPTH = 32;\nDATA_RADIX = TERNARY;\n",
     "2: error: DATA_RADIX must be BIN, OCT, DEC, HEX or UNS, not 'TERNARY'"},
    {"MifMissingSemicolon", "DEPTH = 32\nWIDTH = 10;\n",
     "2: error: ';' expected after the value of DEPTH, found 'W' (a MIF image)"},
    {"MifTextAfterEnd", kMifHead + "CONTENT BEGIN\nEND;\nmore\n"s, "5: error: text after END; 'm'"},
    {"ReadmemUnknownBits", "205\n1x0\n", "2: error: '1x0' has unknown bits (x or z)"},
    {"ReadmemNoHexWord", "205\n0g\n", "2: error: '0g' is not a hexadecimal word"},
    {"ReadmemBadAddress", "@\n", "1: error: '@' is not an address (@ and hexadecimal digits)"},
    {"ReadmemStrayCharacter", "205 ;\n", "1: error: unexpected ';' in a Verilog memory image"},
    {"LogisimHexWithPrefix", "v2.0 raw\n1\n0x1f\n",
     "3: error: '0x1f' is not hexadecimal as Logisim writes it (no 0x)"},
    {"LogisimBadRun", "v2.0 raw\na*5\n",
     "2: error: 'a*5' is not a run: a decimal count, '*', a value"},
};

class BrokenImages : public testing::TestWithParam<Broken> {};

TEST_P(BrokenImages, AreRefusedAtTheirLine) {
  const Broken& b = GetParam();
  const MemoryImage image = readimage(b.text);
  EXPECT_FALSE(image.read);
  EXPECT_EQ("img:" + b.told + "\n", Told(image));
  EXPECT_EQ(std::vector<int>(kMemoryWords, 0), image.words);
}

INSTANTIATE_TEST_SUITE_P(Images, BrokenImages, testing::ValuesIn(kBroken), orvix_test::ByName());

}  // namespace
