// orvix: the assembler for the ZRC, a processor with 10-bit instruction words
// and 32 words of memory.
//
// One run reads an assembly source into a fixed table of 32 statement
// records (one per memory word), encodes each statement into a word of ten
// '0'/'1' characters, lists the words on the console and, when an output path
// is given, writes the whole memory image as a MIF file.
//
//   orvix <input file> [<output file>]
//
// Every message goes to standard output; the exit status is 0 on success and
// 1 on any failure. Single-threaded.

#include <cassert>
#include <cctype>
#include <cstdio>

#include "libcontainer/libcontainer.h"

// Number of words in ZRC memory, and so of statements in one program.
static const int kMemoryWords = 32;

// One source statement, filled by loadasm and read by the encoder.
struct instruction {
  String label;      // label defined here, without its colon; "" for none
  String op;         // the mnemonic as written; "" when the line holds a label only
  String jmptarget;  // the operand when it is a label reference; "" otherwise
  int data = 0;      // numeric operand; 0 without operand, -1 for a label reference
};

// How a mnemonic fills the bits after its fixed prefix.
enum OperandKind {
  OPERAND_NONE,  // the fixed bits are the whole word
  OPERAND_DATA,  // the low `width` bits of `data`
  OPERAND_JUMP,  // the 5-bit jump address of getjmpaddr
};

struct Mnemonic {
  const char* name;
  const char* fixed;  // leading bits of the word
  OperandKind kind;
  int width;          // bits of the operand field; 10 - strlen(fixed)
};

// The ZRC instruction set. Matching is exact and case-sensitive. inb and
// wdpcpu share one word; only the listing in the MIF comment tells them apart.
static const Mnemonic kMnemonics[] = {
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

// The low `bits` bits of `val` in two's complement, most significant first.
// Higher bits are dropped; `bits` <= 0 gives "".
String bitify(int val, int bits) {
  String str;
  for (int b = 0; b < bits; b++) {
    str = String((val & 1) ? "1" : "0") + str;
    val >>= 1;  // arithmetic: a negative value keeps shifting in ones
  }
  return str;
}

// Index of the first of all 32 records whose label equals `label`, or -1.
int findlabel(instruction* cmds, const String& label) {
  for (int i = 0; i < kMemoryWords; i++) {
    if (cmds[i].label == label) return i;
  }
  return -1;
}

// True when every character of `str` is a decimal digit or '-'. The empty
// text counts as a number, which gives an omitted operand the value 0.
bool isinteger(const String& str) {
  int len = str.length();
  for (int i = 0; i < len; i++) {
    char c = str[i];
    if (!isdigit(static_cast<unsigned char>(c)) && c != '-') return false;
  }
  return true;
}

// Reads the source file `fn` into cmds[0..count-1], one record per
// statement, and returns the count. Returns 0 when the file cannot be opened
// or holds no statement, and -1 when it holds more statements than memory
// has words.
int loadasm(instruction* cmds, char* fn) {
  FILE* fp = fopen(fn, "r");
  if (fp == nullptr) return 0;

  int count = 0;
  bool too_long = false;
  {
    LineReader reader(fp, 1024);
    reader.configure(LR_SET_TRIM_LINES, reinterpret_cast<void*>(1));
    reader.configure(LR_SET_WHITESPACE, const_cast<char*>(" \t\r"));
    reader.configure(LR_SET_CASE_SENSITIVE, nullptr);
    reader.configure(LR_ADD_PARTIAL_COMMENT, const_cast<char*>(";"));
    reader.configure(LR_ADD_COMMENT_START, const_cast<char*>(";"));

    printf("Processing ZRC assembly source file '%s'...\n", fn);

    String line;
    while (reader.getLine(line)) {
      // A statement beyond the last word would be lost: refuse the program.
      if (count == kMemoryWords) {
        printf("Too many statements, ZRC memory holds %d words, aborting..\n",
               kMemoryWords);
        too_long = true;
        break;
      }
      instruction& cmd = cmds[count];
      cmd.label = "";
      cmd.op = "";
      cmd.data = -1;
      cmd.jmptarget = "";

      Tokenizer tok(line, ", \t");
      String token = tok.next();
      int len = token.length();
      if (len > 0 && token[len - 1] == ':') {
        cmd.label = token.subStr(0, len - 1);
        cmd.op = tok.next();
      } else {
        cmd.op = token;
      }

      // Further tokens after the operand are ignored.
      String operand = tok.next();
      if (isinteger(operand)) {
        cmd.data = operand.toInt();
      } else {
        cmd.jmptarget = operand;
      }
      count++;
    }
  }
  fclose(fp);
  fflush(stdout);
  return too_long ? -1 : count;
}

// The 5-bit address field of the jump statement cmds[i]. A numeric target is
// cut to 5 bits; a label is looked up in all records, and a missing one is
// reported and replaced by address 0.
String getjmpaddr(instruction* cmds, int i) {
  int val = 0;
  if (cmds[i].jmptarget.length() == 0) {
    val = cmds[i].data;
  } else {
    int addr = findlabel(cmds, cmds[i].jmptarget);
    if (addr >= 0) {
      val = addr;
    } else {
      printf("Warning: Label '%s' in jump statement not found, using address 0\n",
             cmds[i].jmptarget.cStr());
    }
  }
  return bitify(val, 5);
}

// Encodes cmds[i] into `ln` (ten '0'/'1' characters). Returns false, and
// leaves `ln` unspecified, when the mnemonic is not a ZRC instruction.
static bool encodestatement(instruction* cmds, int i, String& ln) {
  for (const Mnemonic& m : kMnemonics) {
    if (cmds[i].op != m.name) continue;
    ln = m.fixed;
    switch (m.kind) {
      case OPERAND_NONE:
        break;
      case OPERAND_DATA:
        ln += bitify(cmds[i].data, m.width);
        break;
      case OPERAND_JUMP:
        ln += getjmpaddr(cmds, i);
        break;
    }
    return true;
  }
  return false;
}

// Writes the complete MIF image of `words` (ncmds statements, zero words
// after them) to `fn`. Returns false when the file cannot be opened, written
// or closed.
static bool writemif(instruction* cmds, const String* words, int ncmds,
                     const char* fn) {
  FILE* fp = fopen(fn, "w");
  if (fp == nullptr) return false;

  bool ok = true;
  auto put = [&](int written) { ok = ok && written >= 0; };
  put(fprintf(fp, "-- MIF Format ZRC Machine Code '%s'\n", fn));
  put(fprintf(fp, "-- Generated by orvix assembler.\n\n"));
  put(fprintf(fp, "DEPTH = 32; -- Memory depth\n"));
  put(fprintf(fp, "WIDTH = 10; -- 10 bits per line\n"));
  put(fprintf(fp, "ADDRESS_RADIX = HEX;\n"));
  put(fprintf(fp, "DATA_RADIX = BIN;\n\n"));
  put(fprintf(fp, "-- memory contents --\n"));
  put(fprintf(fp, "CONTENT\nBEGIN\n"));

  int ct = 0;
  for (int i = 0; i < ncmds; i++) {
    put(fprintf(fp, "\t%x : %s ; -- ", ct, words[i].cStr()));
    ct++;
    if (cmds[i].label.length() > 0) put(fprintf(fp, "%s:", cmds[i].label.cStr()));
    put(fprintf(fp, "\t\t%s ", cmds[i].op.cStr()));
    if (cmds[i].jmptarget.length() > 0) {
      put(fprintf(fp, "%s", cmds[i].jmptarget.cStr()));
    } else {
      put(fprintf(fp, "%d", cmds[i].data));
    }
    put(fprintf(fp, "\n"));
  }
  for (; ct < kMemoryWords; ct++) put(fprintf(fp, "\t%x : 0000000000 ;\n", ct));
  put(fprintf(fp, "END;\n"));

  // Buffered data reaches the file only at the close; a full disk shows there.
  if (ferror(fp)) ok = false;
  if (fclose(fp) != 0) ok = false;
  return ok;
}

// Encodes cmds[0..ncmds-1], lists each word on the console and, when `fn` is
// not null, writes the MIF image to it. Every statement is encoded before the
// file is opened, so a failed assembly leaves an existing file untouched.
// Returns false on an unknown mnemonic or when the file cannot be written.
// REQUIRES: ncmds <= 32
bool writeasm(instruction* cmds, int ncmds, char* fn) {
  assert(ncmds <= kMemoryWords);
  printf("Generating MIF output '%s'\n", fn != nullptr ? fn : "<stdout>");

  String words[kMemoryWords];
  for (int i = 0; i < ncmds; i++) {
    if (!encodestatement(cmds, i, words[i])) {
      printf("Unknown ZRC instruction '%s', aborting..\n", cmds[i].op.cStr());
      fflush(stdout);
      return false;
    }
    printf("%s\n", words[i].cStr());
  }

  bool ok = fn == nullptr || writemif(cmds, words, ncmds, fn);
  if (!ok) printf("Cannot write MIF output '%s', aborting..\n", fn);
  fflush(stdout);
  return ok;
}

#ifndef ORVIX_NO_MAIN
int main(int argc, char** argv) {
  instruction cmds[kMemoryWords];

  printf("ZRC Assembler. orvix 1.0.0, part of the orvix project.\n");
  printf("Supporting basic ZRC and parallel ZRC extensions.\n\n");
  if (argc < 2) {
    printf("usage: orvix <input file> [<output file>]\n");
    return 1;
  }

  int count = loadasm(cmds, argv[1]);
  if (count <= 0) {
    printf("orvix: Error reading source file %s.\n", argv[1]);
    return 1;
  }

  // The output path counts only when it is the one argument after the source.
  char* out = argc == 3 ? argv[2] : nullptr;
  if (!writeasm(cmds, count, out)) {
    printf("orvix: Error generating machine code.\n");
    return 1;
  }
  return 0;
}
#endif  // ORVIX_NO_MAIN
