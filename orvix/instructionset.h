// The ZRC instruction set: the 21 mnemonics the assembler knows, the 10-bit
// word each one becomes, and how an operand fills the bits after a
// mnemonic's fixed prefix; and the `.word` directive, which places any word. Encoding one statement
// and decoding one word are both here, so that what is written and what is read back follow one
// table.
//
// Words are Strings of ten '0'/'1' characters, the most significant bit
// first. The table is constant; the functions keep no state and may be called
// from any thread.

#ifndef ORVIX_INSTRUCTIONSET_H_
#define ORVIX_INSTRUCTIONSET_H_

#include "libcontainer/libcontainer.h"

// Number of words in ZRC memory, and so of statements in one program.
const int kMemoryWords = 32;
// Bits of one ZRC word.
const int kWordBits = 10;
// Bits of a jump's address field.
const int kJumpBits = 5;

// How a mnemonic fills the bits after its fixed prefix.
enum OperandKind {
  OPERAND_NONE,  // the fixed bits are the whole word
  OPERAND_DATA,  // the low `width` bits of the numeric operand
  OPERAND_JUMP,  // the 5-bit address of the jump target
};

// One row of the instruction set.
struct Mnemonic {
  const char* name;
  const char* fixed;  // leading bits of the word
  OperandKind kind;
  int width;  // bits of the operand field; 0 without one
};

// The 21 rows, in the order the assembler compares them. inb and wdpcpu
// share one word.
extern const Mnemonic kMnemonics[];
extern const int kMnemonicCount;

// The row of `op` (exact, case-sensitive), or null when it is not a ZRC
// instruction.
const Mnemonic* findmnemonic(const String& op);

// The low `bits` bits of `val` in two's complement, most significant first.
// Higher bits are dropped; `bits` <= 0 gives "".
String bitify(int val, int bits);

// True when every character of `str` is a decimal digit or '-'. The empty
// text counts as a number, which gives an omitted operand the value 0.
bool isinteger(const String& str);

// The word of `m` whose operand field holds the low bits of `field` (the
// number for a data field, the address for a jump; ignored without a
// field).
String encodeword(const Mnemonic& m, int field);

// The directive that places one raw word: a statement whose mnemonic is
// ".word" holds the word given as its operand.
extern const char kWordDirective[];

// Reads the operand of a `.word` statement into `word`: a decimal number
// from 0 to 1023, or a hexadecimal one written "0x" or "0X" and digits in
// either case. Returns false, leaving `word` as it was, for any other text.
bool wordvalue(const String& text, int& word);

// What one word holds: the first row whose fixed bits begin it, and the
// value of the operand field after them (0 without one).
struct DecodedWord {
  const Mnemonic* mnemonic;  // null when no row encodes the word
  int field;
};

// Decodes the 10-bit `word` (0 to 1023).
// REQUIRES: 0 <= word < 1024
DecodedWord decodeword(int word);

#endif  // ORVIX_INSTRUCTIONSET_H_
