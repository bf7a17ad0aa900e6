#include "orvix/instructionset.h"

#include <cassert>
#include <cctype>
#include <cstring>

// clang-format off
constexpr Mnemonic kMnemonics[] = {
    {"load", "10", OPERAND_DATA, 8},
    {"lea", "00000", OPERAND_DATA, 5},
    {"sto", "00001", OPERAND_DATA, 5},
    {"j", "00010", OPERAND_JUMP, 5},
    {"jmq", "00011", OPERAND_JUMP, 5},
    {"jc", "00100", OPERAND_JUMP, 5},
    {"jo", "00101", OPERAND_JUMP, 5},
    {"add", "00110", OPERAND_DATA, 5},
    {"and", "00111", OPERAND_DATA, 5},
    {"outb", "0100000000", OPERAND_NONE, 0},
    {"outbpb", "0100001", OPERAND_DATA, 3},
    {"sdpcpu", "0100011111", OPERAND_NONE, 0},
    {"inb", "0100100000", OPERAND_NONE, 0},
    {"wdpcpu", "0100100000", OPERAND_NONE, 0},
    {"inc", "1100100000", OPERAND_NONE, 0},
    {"dec", "1101000000", OPERAND_NONE, 0},
    {"lsh", "1101100000", OPERAND_NONE, 0},
    {"rsh", "1110000000", OPERAND_NONE, 0},
    {"inv", "1110100000", OPERAND_NONE, 0},
    {"swap", "1111000000", OPERAND_NONE, 0},
    {"leamq", "1111100000", OPERAND_NONE, 0},
};
// clang-format on
const int kMnemonicCount = sizeof kMnemonics / sizeof kMnemonics[0];

namespace {

// True when every row's fixed bits are binary digits, a row without operand
// has none, a jump's field is an address, and fixed bits plus operand field
// make one word.
constexpr bool everyRowIsOneWord() {
  for (const Mnemonic& m : kMnemonics) {
    int fixed = 0;
    for (const char* c = m.fixed; *c != '\0'; c++) {
      if (*c != '0' && *c != '1') return false;
      fixed++;
    }
    if ((m.kind == OPERAND_NONE) != (m.width == 0)) return false;
    if (m.kind == OPERAND_JUMP && m.width != kJumpBits) return false;
    if (fixed + m.width != kWordBits) return false;
  }
  return true;
}
static_assert(everyRowIsOneWord(), "a mnemonic row does not make a 10-bit word");
static_assert(kMemoryWords == 1 << kJumpBits, "a jump reaches every word of memory");

}  // namespace

const Mnemonic* findmnemonic(const String& op) {
  for (const Mnemonic& m : kMnemonics) {
    if (op == m.name) return &m;
  }
  return nullptr;
}

String bitify(int val, int bits) {
  String str;
  for (int b = 0; b < bits; b++) {
    str = String((val & 1) ? "1" : "0") + str;
    val >>= 1;  // arithmetic: a negative value keeps shifting in ones
  }
  return str;
}

bool isinteger(const String& str) {
  int len = str.length();
  for (int i = 0; i < len; i++) {
    char c = str[i];
    if (!isdigit(static_cast<unsigned char>(c)) && c != '-') return false;
  }
  return true;
}

String encodeword(const Mnemonic& m, int field) {
  String word = m.fixed;
  word += bitify(field, m.width);
  return word;
}

const char kWordDirective[] = ".word";

bool wordvalue(const String& text, int& word) {
  const char* c = text.cStr();
  int base = 10;
  if (c[0] == '0' && (c[1] == 'x' || c[1] == 'X')) {
    base = 16;
    c += 2;
  }
  if (*c == '\0') return false;
  int value = 0;
  for (; *c != '\0'; c++) {
    const unsigned char digit = static_cast<unsigned char>(*c);
    if (base == 10 ? !isdigit(digit) : !isxdigit(digit)) return false;
    value = value * base + (isdigit(digit) ? digit - '0' : tolower(digit) - 'a' + 10);
    if (value >= 1 << kWordBits) return false;
  }
  word = value;
  return true;
}

DecodedWord decodeword(int word) {
  // REQUIRES: 0 <= word < 1024
  assert(word >= 0 && word < (1 << kWordBits));
  const String bits = bitify(word, kWordBits);
  for (const Mnemonic& m : kMnemonics) {
    const int fixed = static_cast<int>(strlen(m.fixed));
    if (strncmp(bits.cStr(), m.fixed, static_cast<size_t>(fixed)) == 0) {
      return DecodedWord{&m, word & ((1 << m.width) - 1)};
    }
  }
  return DecodedWord{nullptr, 0};
}
