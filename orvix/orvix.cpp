// The assembler proper: the ZRC instruction set, the loader that reads a
// source into the statement table, the encoder that turns each statement
// into a word, and the driver of one run. See orvix.h.

#include "orvix/orvix.h"

#include <cassert>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "libcontainer/libcontainer.h"
#include "orvix/cmdline.h"
#include "orvix/diagnostics.h"
#include "orvix/image.h"
#include "orvix/listing.h"
#include "orvix/platform.h"
#include "orvix/sourcelines.h"
#include "orvix/suggest.h"

#ifndef ORVIX_VERSION
#error "ORVIX_VERSION must be defined by the build (the project's version)"
#endif

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
  int width;  // bits of the operand field
};

// The ZRC instruction set. Matching is exact and case-sensitive. inb and
// wdpcpu share one word; only the listing in the image comment tells them
// apart. One row per mnemonic, kept as a table.
// clang-format off
static constexpr Mnemonic kMnemonics[] = {
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

// True when every row's fixed bits are binary digits, a row without operand
// has none, and fixed bits plus operand field make one word.
static constexpr bool everyRowIsOneWord() {
  for (const Mnemonic& m : kMnemonics) {
    int fixed = 0;
    for (const char* c = m.fixed; *c != '\0'; c++) {
      if (*c != '0' && *c != '1') return false;
      fixed++;
    }
    if ((m.kind == OPERAND_NONE) != (m.width == 0)) return false;
    if (m.kind == OPERAND_JUMP && m.width != 5) return false;
    if (fixed + m.width != kWordBits) return false;
  }
  return true;
}
static_assert(everyRowIsOneWord(), "a mnemonic row does not make a 10-bit word");
static_assert(kMemoryWords == 1 << 5, "jump addresses are 5 bits wide");

// The row of `op`, or null when it is not a ZRC instruction.
static const Mnemonic* findmnemonic(const String& op) {
  for (const Mnemonic& m : kMnemonics) {
    if (op == m.name) return &m;
  }
  return nullptr;
}

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

// "; did you mean '<name>'?" when one of `names` is what `written` was most
// likely meant to be; "" otherwise.
static String hint(const String& written, const std::vector<std::string>& names) {
  String text;
  const std::string name = suggest(written.cStr(), names);
  if (!name.empty()) text.printf("; did you mean '%s'?", name.c_str());
  return text;
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

// True for an optional minus sign followed by one or more digits: a number
// whose whole text is its value.
static bool isplaindecimal(const String& str) {
  int i = str.length() > 0 && str[0] == '-' ? 1 : 0;
  if (i == str.length()) return false;
  for (; i < str.length(); i++) {
    if (!isdigit(static_cast<unsigned char>(str[i]))) return false;
  }
  return true;
}

// Fills `cmd` from one statement line as the LineReader hands it over: an
// optional label (a first token ending in ':'), the mnemonic and the
// operand, which is a number when isinteger holds and a label reference
// otherwise. Tokens are cut at runs of comma, blank and tab; tokens after
// the operand take no part in the record and are returned in `text`.
void parsestatement(const String& line, instruction& cmd, StatementText& text) {
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

  text.operand = tok.next();
  if (isinteger(text.operand)) {
    cmd.data = text.operand.toInt();
  } else {
    cmd.jmptarget = text.operand;
  }

  text.rest = "";
  while (tok.hasTokens()) {
    if (text.rest.length() > 0) text.rest += ' ';
    text.rest += tok.next();
  }
}

// Reports what the loader would otherwise pass over in statement `i`, just
// parsed from `text`.
static void checkstatement(instruction* cmds, int i, const StatementText& text, Diagnostics& diag) {
  const long at = diag.line[i];
  if (cmds[i].label.length() > 0) {
    int first = findlabel(cmds, cmds[i].label);
    if (first < i) {
      diag.warn(at, "label '%s' is defined again (first on line %ld): jumps reach the first",
                cmds[i].label.cStr(), diag.line[first]);
    }
  }
  if (text.operand.length() > 0 && cmds[i].jmptarget.length() == 0 &&
      !isplaindecimal(text.operand)) {
    diag.warn(at, "operand '%s' is not a plain decimal number: it is read as %d",
              text.operand.cStr(), cmds[i].data);
  }
  if (text.rest.length() > 0) {
    diag.warn(at, "text after the operand is ignored: '%s'", text.rest.cStr());
  }
}

// Reports what the loader would pass over in the source line just read.
static void checkline(const SourceLines& lines, Diagnostics& diag) {
  if (lines.length() > kMaxLineLength - 1) {
    diag.warn(lines.number(),
              "line is %lld bytes long, over %d: it is read in pieces of %d bytes, "
              "each a statement of its own",
              lines.length(), kMaxLineLength - 1, kMaxLineLength - 1);
  }
  if (lines.hasNul()) {
    diag.warn(lines.number(), "NUL byte in the line: the rest of the line is ignored");
  }
}

// Reads the open source stream `fp` (named `fn` in messages) into
// cmds[0..count-1], one record per statement, and returns the count: 0 when
// it holds no statement, -1 when it holds more statements than memory has
// words or cannot be read to its end. Records which source line each
// statement came from in `diag`. The stream stays the caller's.
int loadstream(instruction* cmds, FILE* fp, const char* fn, Diagnostics& diag) {
  SourceLines lines(fp);
  if (lines.stream() == nullptr) {
    diag.message("Error reading ZRC assembly source file '%s', aborting..\n", fn);
    return -1;
  }
  if (diag.keep_text) lines.keepText();
  LineReader reader(lines.stream(), kMaxLineLength);
  reader.configure(LR_SET_TRIM_LINES, reinterpret_cast<void*>(1));
  reader.configure(LR_SET_WHITESPACE, const_cast<char*>(" \t\r"));
  reader.configure(LR_SET_CASE_SENSITIVE, nullptr);
  reader.configure(LR_ADD_PARTIAL_COMMENT, const_cast<char*>(";"));
  reader.configure(LR_ADD_COMMENT_START, const_cast<char*>(";"));

  diag.progress("Processing ZRC assembly source file '%s'...\n", fn);

  // The statements of one source line: it may hold several when it is longer
  // than the reader's pieces. One more than memory holds is enough to tell
  // that the program is too long.
  String pending[kMemoryWords + 1];
  int count = 0;
  int result = 0;
  while (result == 0 && lines.next()) {
    int npending = 0;
    while (count + npending <= kMemoryWords && reader.getLine(pending[npending])) npending++;
    if (lines.failed()) break;
    if (count + npending > kMemoryWords) {
      // A statement beyond the last word would be lost: refuse the program.
      diag.message("Too many statements, ZRC memory holds %d words, aborting..\n", kMemoryWords);
      result = -1;
      break;
    }
    checkline(lines, diag);
    if (diag.keep_text) diag.text.push_back(lines.text());
    for (int k = 0; k < npending; k++, count++) {
      StatementText text;
      parsestatement(pending[k], cmds[count], text);
      diag.line[count] = lines.number();
      diag.operand[count] = text.operand;
      checkstatement(cmds, count, text, diag);
    }
  }
  if (result == 0 && lines.failed()) {
    diag.systemerror(fn, "cannot read", lines.error() != 0 ? lines.error() : EIO);
    diag.message("Error reading ZRC assembly source file '%s', aborting..\n", fn);
    result = -1;
  }
  fflush(stdout);
  return result < 0 ? result : count;
}

// Opens the source file `fn`, loads it with loadstream and closes it.
// Returns 0 when the file cannot be opened, printing only, when reporting,
// the system's reason.
int loadsource(instruction* cmds, const char* fn, Diagnostics& diag) {
  diag.source = fn;
  FILE* fp = openfile(fn, "r");
  if (fp == nullptr) {
    diag.systemerror(fn, "cannot open", errno);
    return 0;
  }
  int count = loadstream(cmds, fp, fn, diag);
  fclose(fp);
  return count;
}

// Reads the source file `fn` into cmds[0..count-1], one record per
// statement, and returns the count. Returns 0 when the file cannot be opened
// or holds no statement, and -1 when it holds more statements than memory
// has words or cannot be read to its end.
int loadasm(instruction* cmds, char* fn) {
  Diagnostics quiet;
  return loadsource(cmds, fn, quiet);
}

// The 5-bit address field of the jump statement cmds[i], a missing label
// being reported on `messages`.
static String jumpfield(instruction* cmds, int i, FILE* messages) {
  int val = 0;
  if (cmds[i].jmptarget.length() == 0) {
    val = cmds[i].data;
  } else {
    int addr = findlabel(cmds, cmds[i].jmptarget);
    if (addr >= 0) {
      val = addr;
    } else {
      fprintf(messages, "Warning: Label '%s' in jump statement not found, using address 0\n",
              cmds[i].jmptarget.cStr());
    }
  }
  return bitify(val, 5);
}

// The 5-bit address field of the jump statement cmds[i]. A numeric target is
// cut to 5 bits; a label is looked up in all records, and a missing one is
// reported and replaced by address 0.
String getjmpaddr(instruction* cmds, int i) { return jumpfield(cmds, i, stdout); }

// Reports what the encoder would pass over in statement `i` of `ncmds`,
// whose row is `m`.
static void checkoperand(instruction* cmds, int ncmds, int i, const Mnemonic& m,
                         Diagnostics& diag) {
  const instruction& cmd = cmds[i];
  const long at = diag.line[i];
  const String& written = diag.operand[i];
  switch (m.kind) {
    case OPERAND_NONE:
      if (written.length() > 0) {
        diag.warn(at, "'%s' takes no operand: '%s' is ignored", m.name, written.cStr());
      }
      break;
    case OPERAND_DATA: {
      if (cmd.jmptarget.length() > 0) {
        diag.warn(at, "label '%s' given to '%s', which takes a number: the field gets all ones",
                  cmd.jmptarget.cStr(), m.name);
        break;
      }
      const long long low = -(1LL << (m.width - 1));
      const long long high = (1LL << m.width) - 1;
      if (cmd.data < low || cmd.data > high) {
        diag.warn(at,
                  "operand %s does not fit the %d-bit field of '%s': its low %d bits %s are kept",
                  written.cStr(), m.width, m.name, m.width, bitify(cmd.data, m.width).cStr());
      }
      break;
    }
    case OPERAND_JUMP: {
      int address = 0;
      if (cmd.jmptarget.length() == 0) {
        address = cmd.data & (kMemoryWords - 1);
        if (cmd.data < 0 || cmd.data >= kMemoryWords) {
          diag.warn(at,
                    "jump target %s is not an address 0..%d: its low 5 bits %s (address %d) "
                    "are kept",
                    written.cStr(), kMemoryWords - 1, bitify(cmd.data, 5).cStr(), address);
        }
      } else {
        address = findlabel(cmds, cmd.jmptarget);
        if (address < 0) {
          std::vector<std::string> labels;
          for (int k = 0; k < ncmds; k++) {
            if (cmds[k].label.length() > 0) labels.push_back(cmds[k].label.cStr());
          }
          diag.warn(at, "jump to label '%s', which no statement defines: address 0 is used%s",
                    cmd.jmptarget.cStr(), hint(cmd.jmptarget, labels).cStr());
          address = 0;
        }
      }
      if (address >= ncmds) {
        diag.warn(at,
                  "jump to address %d lies past the last statement (address %d), into the "
                  "zero words",
                  address, ncmds - 1);
      }
      break;
    }
  }
}

// Encodes statement i of ncmds into `ln` (ten '0'/'1' characters), after
// reporting what it would pass over. Returns false, and leaves `ln`
// unspecified, when the mnemonic is not a ZRC instruction.
static bool encodestatement(instruction* cmds, int ncmds, int i, String& ln, Diagnostics& diag) {
  const Mnemonic* m = findmnemonic(cmds[i].op);
  if (m == nullptr) return false;
  checkoperand(cmds, ncmds, i, *m, diag);
  ln = m->fixed;
  switch (m->kind) {
    case OPERAND_NONE:
      break;
    case OPERAND_DATA:
      ln += bitify(cmds[i].data, m->width);
      break;
    case OPERAND_JUMP:
      ln += jumpfield(cmds, i, diag.messages());
      break;
  }
  return true;
}

String statementcomment(const instruction& cmd) {
  String text;
  if (cmd.label.length() > 0) text += cmd.label + ':';
  text += String("\t\t") + cmd.op + ' ';
  if (cmd.jmptarget.length() > 0) {
    text += cmd.jmptarget;
  } else {
    String number;
    number.printf("%d", cmd.data);
    text += number;
  }
  return text;
}

// The mnemonics, as suggestions for an unknown one.
static std::vector<std::string> mnemonicnames() {
  std::vector<std::string> names;
  for (const Mnemonic& m : kMnemonics) names.push_back(m.name);
  return names;
}

// Writes the file `path` whole through `write`; on failure reports the
// system's reason and returns false.
static bool writefile(const char* path, const std::function<void(FILE*)>& write,
                      Diagnostics& diag) {
  if (replacefile(path, write)) return true;
  diag.systemerror(path, "cannot write", errno);
  return false;
}

bool writeoutputs(instruction* cmds, int ncmds, const CommandLine& cl, Diagnostics& diag) {
  assert(ncmds <= kMemoryWords);
  const ImageFormat& format = *cl.format;
  const char* path = cl.output != nullptr ? cl.output : "<stdout>";
  diag.progress("Generating %s output '%s'\n", format.title, path);

  String words[kMemoryWords];
  for (int i = 0; i < ncmds; i++) {
    if (!encodestatement(cmds, ncmds, i, words[i], diag)) {
      diag.error(diag.line[i], "unknown instruction '%s'%s", cmds[i].op.cStr(),
                 diag.report ? hint(cmds[i].op, mnemonicnames()).cStr() : "");
      diag.message("Unknown ZRC instruction '%s', aborting..\n", cmds[i].op.cStr());
      fflush(stdout);
      return false;
    }
    diag.progress("%s\n", words[i].cStr());
  }
  if (cl.strict && diag.warnings > 0) {
    fflush(stdout);
    return false;
  }

  String comments[kMemoryWords];
  for (int i = 0; i < ncmds; i++) comments[i] = statementcomment(cmds[i]);
  const Image image = {path, words, comments, ncmds};
  // The listing comes before an image written to the console (/dev/stdout).
  fflush(stdout);
  if (cl.output != nullptr && !writefile(
                                  cl.output, [&](FILE* fp) { format.write(fp, image); }, diag)) {
    diag.message("Cannot write %s output '%s', aborting..\n", format.title, cl.output);
    return false;
  }
  if (cl.listing != nullptr &&
      !writefile(
          cl.listing, [&](FILE* fp) { writelisting(fp, cmds, ncmds, words, diag); }, diag)) {
    diag.message("Cannot write listing '%s', aborting..\n", cl.listing);
    return false;
  }
  // Last of all, so that standard output carries the image alone.
  if (cl.image_to_stdout) format.write(stdout, image);
  fflush(stdout);
  return true;
}

// Encodes cmds[0..ncmds-1], lists each word on the console and, when `fn` is
// not null, writes the image to it in `format`. Every statement is encoded
// before the file is touched, so a failed assembly leaves an existing file
// as it was. Returns false on an unknown mnemonic, when the file cannot be
// written, or, with `strict`, when any warning was found.
// REQUIRES: ncmds <= 32
bool writeimage(instruction* cmds, int ncmds, const char* fn, const ImageFormat& format,
                Diagnostics& diag, bool strict) {
  CommandLine cl;
  cl.output = fn;
  cl.format = &format;
  cl.strict = strict;
  return writeoutputs(cmds, ncmds, cl, diag);
}

// Encodes cmds[0..ncmds-1], lists each word on the console and, when `fn` is
// not null, writes the MIF image to it. Returns false on an unknown mnemonic
// or when the file cannot be written; an existing file is then unchanged.
// REQUIRES: ncmds <= 32
bool writeasm(instruction* cmds, int ncmds, char* fn) {
  Diagnostics quiet;
  return writeimage(cmds, ncmds, fn, kFormats[0], quiet, false);
}

// The exit status of a run that would end with `status`: 1 when the console
// listing could not be written in full, which is then said on standard error.
int finish(int status) {
  if (fflush(stdout) != 0 || ferror(stdout)) {
    fprintf(stderr, "orvix: Error writing to standard output.\n");
    return 1;
  }
  return status;
}

// True when `a` and `b` name one file: one existing file, or the same text
// for a file that may not exist yet.
static bool samepath(const char* a, const char* b) { return strcmp(a, b) == 0 || samefile(a, b); }

// The line that refuses the command line `cl` because one of its output
// files is another of its files, or "" when each names a file of its own.
static String outputclash(const CommandLine& cl) {
  String refusal;
  // Writing the image or the listing over the source would lose the program.
  if (cl.output != nullptr && samefile(cl.source, cl.output)) {
    refusal.printf("orvix: Output file %s is the source file.\n", cl.output);
  } else if (cl.listing != nullptr && samepath(cl.source, cl.listing)) {
    refusal.printf("orvix: Listing file %s is the source file.\n", cl.listing);
  } else if (cl.listing != nullptr && cl.output != nullptr && samepath(cl.output, cl.listing)) {
    refusal.printf("orvix: Listing file %s is the output file.\n", cl.listing);
  }
  return refusal;
}

// One run of the assembler with the command line `argv`; returns the exit
// status before the console is checked.
int run(int argc, char** argv) {
  instruction cmds[kMemoryWords];
  CommandLine cl;
  String error;
  CommandAction action = readcommandline(argc, argv, cl, error);
  if (action == ACTION_HELP) {
    printhelp();
    return 0;
  }
  if (action == ACTION_VERSION) {
    printf("orvix %s\n", ORVIX_VERSION);
    return 0;
  }

  Diagnostics diag;
  diag.quiet = cl.quiet;
  diag.progress("ZRC Assembler. orvix %s, part of the orvix project.\n", ORVIX_VERSION);
  diag.progress("Supporting basic ZRC and parallel ZRC extensions.\n\n");
  if (action == ACTION_USAGE) {
    printf("usage: orvix <input file> [<output file>]\n");
    return 1;
  }
  if (action == ACTION_ERROR) {
    diag.message("orvix: %s\n", error.cStr());
    diag.message("Try 'orvix --help' for more information.\n");
    return 1;
  }
  const String refusal = outputclash(cl);
  if (refusal.length() > 0) {
    diag.message("%s", refusal.cStr());
    return 1;
  }

  diag.report = cl.warnings;
  diag.keep_text = cl.listing != nullptr;
  int count = loadsource(cmds, cl.source, diag);
  if (count <= 0) {
    diag.message("orvix: Error reading source file %s.\n", cl.source);
    return 1;
  }
  if (!writeoutputs(cmds, count, cl, diag)) {
    diag.message("orvix: Error generating machine code.\n");
    return 1;
  }
  return 0;
}
