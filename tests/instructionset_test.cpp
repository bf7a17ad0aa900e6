// The instruction set: bitify and isinteger at any width or text, the value
// of a .word, and the word of every mnemonic read back by decoding, for
// every 10-bit word.

#include "orvix/instructionset.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

namespace {

TEST(Bitify, LowBitsInTwosComplement) {
  const struct {
    int val, bits;
    std::string want;
  } cases[] = {
      {0, 0, ""},
      {7, -2, ""},
      {5, 8, "00000101"},
      {INT_MIN, 5, "00000"},
      {INT_MIN, 33, "1" + std::string("1") + std::string(31, '0')},
      {INT_MAX, 32, "0" + std::string(31, '1')},
      {-1, 40, std::string(40, '1')},
  };
  for (const auto& c : cases) {
    EXPECT_STREQ(c.want.c_str(), bitify(c.val, c.bits).cStr()) << c.val << "/" << c.bits;
  }
}

TEST(IsInteger, DigitsAndMinusSignsOnly) {
  const struct {
    const char* text;
    bool want;
  } cases[] = {
      {"", true},    {"-", true},     {"12", true},   {"1-2", true}, {"--7", true},
      {"+1", false}, {"0x1F", false}, {"1 2", false}, {"x1", false}, {"\xb2", false},
  };
  for (const auto& c : cases) EXPECT_EQ(c.want, isinteger(c.text)) << c.text;
}

// A .word operand: a decimal or a 0x hexadecimal number of 10 bits, and
// nothing else; `word` keeps its value when there is none.
TEST(WordValue, TenBitsDecimalOrHexadecimal) {
  const struct {
    const char* text;
    int want;  // -1: no word
  } cases[] = {
      {"0", 0},
      {"1023", 1023},
      {"007", 7},
      {"0x3ff", 1023},
      {"0X3FF", 1023},
      {"0x0", 0},
      {"0x0001", 1},
      {"1024", -1},
      {"0x400", -1},
      {"-1", -1},
      {"", -1},
      {"0x", -1},
      {"x1", -1},
      {"1e3", -1},
      {"0x1g", -1},
      {"+1", -1},
      {" 1", -1},
      {"00x1", -1},
      {"99999999999999999999", -1},
      {"0x00000000000000000000003ff", 1023},
  };
  for (const auto& c : cases) {
    int word = 77;
    EXPECT_EQ(c.want >= 0, wordvalue(c.text, word)) << c.text;
    EXPECT_EQ(c.want >= 0 ? c.want : 77, word) << c.text;
  }
}

// Every word decodes to the first row whose fixed bits begin it, and that
// row with the decoded field encodes the word again; a word no row begins
// decodes to none. Every row's words decode to it, but wdpcpu's, which are
// inb's.
TEST(DecodeWord, EncodesBackToTheSameWord) {
  int decodable = 0;
  for (int word = 0; word < 1 << kWordBits; word++) {
    const DecodedWord d = decodeword(word);
    const String bits = bitify(word, kWordBits);
    if (d.mnemonic == nullptr) {
      for (int i = 0; i < kMnemonicCount; i++) {
        EXPECT_NE(0, bits.find(kMnemonics[i].fixed)) << bits.cStr() << " " << kMnemonics[i].name;
      }
      continue;
    }
    decodable++;
    EXPECT_STREQ(bits.cStr(), encodeword(*d.mnemonic, d.field).cStr()) << d.mnemonic->name;
  }
  // 256 load words, 8 x 32 with a 5-bit field, 8 outbpb words, and the 10
  // words of the 11 rows without a field (inb and wdpcpu share one).
  EXPECT_EQ(256 + 8 * 32 + 8 + 10, decodable);
  for (int i = 0; i < kMnemonicCount; i++) {
    const Mnemonic& m = kMnemonics[i];
    for (int field = 0; field < 1 << m.width; field++) {
      const String word = encodeword(m, field);
      const DecodedWord d = decodeword(static_cast<int>(strtol(word.cStr(), nullptr, 2)));
      ASSERT_NE(nullptr, d.mnemonic) << m.name;
      EXPECT_STREQ(strcmp(m.name, "wdpcpu") == 0 ? "inb" : m.name, d.mnemonic->name);
      EXPECT_EQ(field, d.field) << m.name;
    }
  }
}

}  // namespace
