// orvix: the assembler for the ZRC, a processor with 10-bit instruction words
// and 32 words of memory.
//
// One run reads an assembly source into a fixed table of 32 statement
// records (one per memory word), encodes each statement into a word of ten
// '0'/'1' characters, lists the words on the console and, when an output path
// is given, writes the whole memory image to it: a MIF file by default, or a
// $readmemb, $readmemh or COE file.
//
//   orvix [option ...] [--] <input file> [<output file>]
//
// Every message goes to standard output, except the report that standard
// output itself failed; the exit status is 0 on success and 1 on any
// failure. A failed run never changes an existing image file: images are
// written to a temporary file and renamed over the old one. Single-threaded.
//
// Tests and fuzz targets include this file with ORVIX_NO_MAIN defined, so
// that they call the assembler's own functions in-process.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cassert>
#include <cctype>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "libcontainer/libcontainer.h"

#ifndef ORVIX_VERSION
#error "ORVIX_VERSION must be defined by the build (the project's version)"
#endif

// Number of words in ZRC memory, and so of statements in one program.
static const int kMemoryWords = 32;
// Bits of one ZRC word.
static const int kWordBits = 10;
// The longest piece of a source line the loader's LineReader hands over.
static const int kMaxLineLength = 1024;

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

// What the assembler knows of the source beyond the records, and the
// warnings it reports. Without `report` nothing is printed and the run is
// exactly the plain assembly; warnings are counted either way.
struct Diagnostics {
  const char* source = "";       // the source path as given
  bool report = false;           // print warnings and located errors
  int warnings = 0;              // problems found so far
  long line[kMemoryWords] = {};  // 1-based source line of each statement
  String operand[kMemoryWords];  // each statement's operand as written

  // Counts one problem on source line `at` and, when reporting, prints
  // "<source>:<at>: warning: <text>".
  void warn(long at, const char* format, ...) __attribute__((format(printf, 3, 4)));
  // When reporting, prints "<source>:<at>: error: <text>".
  void error(long at, const char* format, ...) __attribute__((format(printf, 3, 4)));

 private:
  void print(long at, const char* kind, const char* format, va_list args);
};

void Diagnostics::warn(long at, const char* format, ...) {
  warnings++;
  va_list args;
  va_start(args, format);
  print(at, "warning", format, args);
  va_end(args);
}

void Diagnostics::error(long at, const char* format, ...) {
  va_list args;
  va_start(args, format);
  print(at, "error", format, args);
  va_end(args);
}

void Diagnostics::print(long at, const char* kind, const char* format, va_list args) {
  if (!report) return;
  printf("%s:%ld: %s: ", source, at, kind);
  vprintf(format, args);
  printf("\n");
}

// What parsing one statement line finds beyond its record.
struct StatementText {
  String operand;  // the operand as written; "" when there is none
  String rest;     // the tokens after the operand, joined by one blank
};

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

// Hands a source stream to the LineReader one source line at a time. The
// stream it makes reports the end of input at the end of each source line
// (after its newline) until the next line is opened, so every statement the
// reader returns in between comes from the line just opened; the reader
// itself works exactly as on the plain stream. It also measures each line.
class SourceLines {
 public:
  // Reads `source`, which stays the caller's.
  explicit SourceLines(FILE* source);
  // Closes the stream made for the reader; `source` stays open.
  ~SourceLines();

  SourceLines(const SourceLines&) = delete;
  SourceLines& operator=(const SourceLines&) = delete;

  // The stream to build the LineReader on; null when it could not be made.
  FILE* stream() { return lines_; }
  // Makes the next source line readable; false at the end of the source or
  // on a read error.
  bool next();
  // 1-based number of the current line.
  long number() const { return number_; }
  // Bytes of the current line read so far, without its LF or CR LF.
  long long length() const { return length_ - (last_ == '\r' && newline_ ? 1 : 0); }
  // True when the current line held a NUL byte so far.
  bool hasNul() const { return nul_; }
  // True when a read of the source failed and what came before it is used up
  // (the lines before the error are loaded), or the reader's stream failed.
  bool failed() const { return failed_ || (lines_ && ferror(lines_)); }

 private:
  static ssize_t read(void* cookie, char* buf, size_t size);
  // Refills the chunk from the source; false at its end or on an error.
  bool fill();

  FILE* source_;
  FILE* lines_ = nullptr;
  char chunk_[8192];
  size_t chunk_pos_ = 0;
  size_t chunk_len_ = 0;
  long number_ = 0;
  long long length_ = 0;  // bytes before the newline, CR included
  char last_ = '\0';      // the last byte before the newline
  bool ended_ = true;     // the current line's newline (or the source end) was read
  bool newline_ = false;  // the current line ended in a newline
  bool nul_ = false;
  bool failed_ = false;
};

SourceLines::SourceLines(FILE* source) : source_(source) {
  cookie_io_functions_t io = {};
  io.read = read;
  lines_ = fopencookie(this, "r", io);
}

SourceLines::~SourceLines() {
  if (lines_ != nullptr) fclose(lines_);
}

bool SourceLines::fill() {
  chunk_pos_ = 0;
  chunk_len_ = 0;
  // Nothing is read after a read error, even one that a retry would get
  // past: the bytes that came before it are used up, then the source fails.
  if (ferror(source_)) {
    failed_ = true;
    return false;
  }
  chunk_len_ = fread(chunk_, 1, sizeof chunk_, source_);
  if (chunk_len_ == 0 && ferror(source_)) failed_ = true;
  return chunk_len_ > 0;
}

bool SourceLines::next() {
  if (failed()) return false;
  if (chunk_pos_ == chunk_len_ && !fill()) return false;
  number_++;
  length_ = 0;
  last_ = '\0';
  ended_ = false;
  newline_ = false;
  nul_ = false;
  // The reader saw the end of input at the previous line's end.
  clearerr(lines_);
  return true;
}

ssize_t SourceLines::read(void* cookie, char* buf, size_t size) {
  SourceLines* self = static_cast<SourceLines*>(cookie);
  if (self->ended_) return 0;
  if (self->chunk_pos_ == self->chunk_len_ && !self->fill()) {
    self->ended_ = true;
    return self->failed_ ? -1 : 0;
  }
  size_t n = self->chunk_len_ - self->chunk_pos_;
  if (n > size) n = size;
  const char* from = self->chunk_ + self->chunk_pos_;
  const char* newline = static_cast<const char*>(memchr(from, '\n', n));
  if (newline != nullptr) n = static_cast<size_t>(newline - from) + 1;
  size_t text = newline != nullptr ? n - 1 : n;
  if (text > 0) {
    self->length_ += static_cast<long long>(text);
    self->last_ = from[text - 1];
    if (memchr(from, '\0', text) != nullptr) self->nul_ = true;
  }
  if (newline != nullptr) self->ended_ = self->newline_ = true;
  memcpy(buf, from, n);
  self->chunk_pos_ += n;
  return static_cast<ssize_t>(n);
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
    printf("Error reading ZRC assembly source file '%s', aborting..\n", fn);
    return -1;
  }
  LineReader reader(lines.stream(), kMaxLineLength);
  reader.configure(LR_SET_TRIM_LINES, reinterpret_cast<void*>(1));
  reader.configure(LR_SET_WHITESPACE, const_cast<char*>(" \t\r"));
  reader.configure(LR_SET_CASE_SENSITIVE, nullptr);
  reader.configure(LR_ADD_PARTIAL_COMMENT, const_cast<char*>(";"));
  reader.configure(LR_ADD_COMMENT_START, const_cast<char*>(";"));

  printf("Processing ZRC assembly source file '%s'...\n", fn);

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
      printf("Too many statements, ZRC memory holds %d words, aborting..\n", kMemoryWords);
      result = -1;
      break;
    }
    checkline(lines, diag);
    for (int k = 0; k < npending; k++, count++) {
      StatementText text;
      parsestatement(pending[k], cmds[count], text);
      diag.line[count] = lines.number();
      diag.operand[count] = text.operand;
      checkstatement(cmds, count, text, diag);
    }
  }
  if (result == 0 && lines.failed()) {
    printf("Error reading ZRC assembly source file '%s', aborting..\n", fn);
    result = -1;
  }
  fflush(stdout);
  return result < 0 ? result : count;
}

// Opens the source file `fn`, loads it with loadstream and closes it.
// Returns 0, printing nothing, when the file cannot be opened.
static int loadsource(instruction* cmds, const char* fn, Diagnostics& diag) {
  FILE* fp = fopen(fn, "r");
  if (fp == nullptr) return 0;
  diag.source = fn;
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
          diag.warn(at, "jump to label '%s', which no statement defines: address 0 is used",
                    cmd.jmptarget.cStr());
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
      ln += getjmpaddr(cmds, i);
      break;
  }
  return true;
}

// The words of one assembled program, ready to be written in any format.
struct Image {
  const char* path;     // the output path as given on the command line
  instruction* cmds;    // the statements
  const String* words;  // words[i] encodes cmds[i]
  int ncmds;            // number of statements; the rest of memory is zero
};

// The statement as the image comments show it: the label with its colon,
// two tabs, the mnemonic, a blank and the operand (the label reference, or
// the number).
static String statementcomment(const instruction& cmd) {
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

static const char kZeroWord[] = "0000000000";

// The MIF image: header, one commented content line per statement, zero
// words up to the last address, "END;".
static void writemif(FILE* fp, const Image& image) {
  fprintf(fp, "-- MIF Format ZRC Machine Code '%s'\n", image.path);
  fprintf(fp, "-- Generated by orvix assembler.\n\n");
  fprintf(fp, "DEPTH = %d; -- Memory depth\n", kMemoryWords);
  fprintf(fp, "WIDTH = %d; -- %d bits per line\n", kWordBits, kWordBits);
  fprintf(fp, "ADDRESS_RADIX = HEX;\n");
  fprintf(fp, "DATA_RADIX = BIN;\n\n");
  fprintf(fp, "-- memory contents --\n");
  fprintf(fp, "CONTENT\nBEGIN\n");
  for (int a = 0; a < kMemoryWords; a++) {
    if (a < image.ncmds) {
      fprintf(fp, "\t%x : %s ; -- %s\n", a, image.words[a].cStr(),
              statementcomment(image.cmds[a]).cStr());
    } else {
      fprintf(fp, "\t%x : %s ;\n", a, kZeroWord);
    }
  }
  fprintf(fp, "END;\n");
}

// `text` made safe to stand in a one-line comment: line ends become blanks
// and, for `verilog`, a blank separates "/" and "*" wherever they would
// open or close a block comment, which some memory-file readers honour even
// inside a "//" comment and would then lose words.
static String commenttext(const String& text, bool verilog) {
  String safe;
  char prev = '\0';
  for (int i = 0; i < text.length(); i++) {
    char c = text[i] == '\n' || text[i] == '\r' ? ' ' : text[i];
    if (verilog && ((prev == '/' && c == '*') || (prev == '*' && c == '/'))) safe += ' ';
    safe += c;
    prev = c;
  }
  return safe;
}

// A Verilog memory file: comment lines, then one word per line, address 0
// first; a statement's word is followed by its address and the statement.
// `hex` selects three hexadecimal digits per word instead of ten binary.
static void writereadmem(FILE* fp, const Image& image, bool hex) {
  const char* task = hex ? "$readmemh" : "$readmemb";
  fprintf(fp, "// %s Format ZRC Machine Code '%s'\n", task + 1,
          commenttext(image.path, true).cStr());
  fprintf(fp, "// Generated by orvix assembler: %d words of %d bits, address 0 first,\n",
          kMemoryWords, kWordBits);
  fprintf(fp, "// for %s into reg [%d:0] mem [0:%d].\n", task, kWordBits - 1, kMemoryWords - 1);
  for (int a = 0; a < kMemoryWords; a++) {
    const char* word = a < image.ncmds ? image.words[a].cStr() : kZeroWord;
    if (hex) {
      fprintf(fp, "%03lx", strtol(word, nullptr, 2));
    } else {
      fprintf(fp, "%s", word);
    }
    if (a < image.ncmds) {
      fprintf(fp, " // %x: %s", a, commenttext(statementcomment(image.cmds[a]), true).cStr());
    }
    fprintf(fp, "\n");
  }
}

static void writereadmemb(FILE* fp, const Image& image) { writereadmem(fp, image, false); }
static void writereadmemh(FILE* fp, const Image& image) { writereadmem(fp, image, true); }

// A coefficient file: comment lines, the radix, then the 32 words separated
// by commas and ended by a semicolon, one per line.
static void writecoe(FILE* fp, const Image& image) {
  fprintf(fp, "; COE Format ZRC Machine Code '%s'\n", commenttext(image.path, false).cStr());
  fprintf(fp, "; Generated by orvix assembler: %d words of %d bits, address 0 first.\n",
          kMemoryWords, kWordBits);
  fprintf(fp, "memory_initialization_radix=2;\n");
  fprintf(fp, "memory_initialization_vector=\n");
  for (int a = 0; a < kMemoryWords; a++) {
    const char* word = a < image.ncmds ? image.words[a].cStr() : kZeroWord;
    fprintf(fp, "%s%s\n", word, a + 1 < kMemoryWords ? "," : ";");
  }
}

// An image format: its name on the command line, its name in messages, and
// the function that formats the image text.
struct ImageFormat {
  const char* name;
  const char* title;
  void (*write)(FILE* fp, const Image& image);
};

static const ImageFormat kFormats[] = {
    {"mif", "MIF", writemif},
    {"readmemb", "readmemb", writereadmemb},
    {"readmemh", "readmemh", writereadmemh},
    {"coe", "COE", writecoe},
};

// The format named `name`, or null.
static const ImageFormat* findformat(const char* name) {
  for (const ImageFormat& f : kFormats) {
    if (strcmp(name, f.name) == 0) return &f;
  }
  return nullptr;
}

// Formats `image` into the open stream `fp` and closes it; true when every
// write and the close succeeded.
static bool finishimage(FILE* fp, const ImageFormat& format, const Image& image, bool sync) {
  format.write(fp, image);
  bool ok = fflush(fp) == 0 && !ferror(fp);
  // A rename must not make a file visible whose bytes are not yet stored.
  if (ok && sync && fsync(fileno(fp)) != 0 && errno != EINVAL) ok = false;
  if (fclose(fp) != 0) ok = false;
  return ok;
}

// The directory part of `path`, with its final '/'; "" for a bare name.
static String directoryof(const String& path) {
  const char* slash = strrchr(path.cStr(), '/');
  return slash == nullptr ? String() : path.subStr(0, static_cast<int>(slash - path.cStr()) + 1);
}

// The file that `path` names once every symbolic link along the last
// component is followed (it may not exist yet). False on a link loop.
static bool followlinks(const char* path, String& target) {
  target = path;
  for (int hops = 0; hops < 40; hops++) {
    struct stat st;
    if (lstat(target.cStr(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
    char link[4096];
    ssize_t n = readlink(target.cStr(), link, sizeof link - 1);
    if (n < 0) return false;
    link[n] = '\0';
    if (link[0] == '/') {
      target = link;
    } else {
      // A relative link is read from the directory holding it.
      target = directoryof(target) + String(link);
    }
  }
  return false;
}

// Writes `image` to the file `path` in `format`. A regular file, or a path
// that names nothing yet, is replaced whole: the image goes to a temporary
// file in the same directory, which is renamed onto it only once every byte
// is written, so a failure leaves the previous file as it was and no
// temporary file behind. A replaced file keeps its permission bits. Devices
// and FIFOs are written in place. Returns false on any failure.
static bool writeimagefile(const char* path, const ImageFormat& format, const Image& image) {
  String target;
  if (!followlinks(path, target)) return false;
  struct stat st;
  // What the path itself reaches: /dev/stdout on a pipe leads, link by link,
  // to a name ("pipe:[...]") that is no path.
  const bool exists = stat(path, &st) == 0;
  if (exists && !S_ISREG(st.st_mode)) {
    FILE* fp = fopen(path, "w");
    return fp != nullptr && finishimage(fp, format, image, false);
  }

  mode_t mode;
  if (exists) {
    // Refuse a file the user may not write, as opening it would.
    int fd = open(target.cStr(), O_WRONLY);
    if (fd < 0) return false;
    close(fd);
    mode = st.st_mode & 07777;
  } else {
    mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }

  String temp = directoryof(target) + String(".orvix-XXXXXX");
  int fd = mkstemp(temp.getBuffer());
  if (fd < 0) return false;
  bool ok = fchmod(fd, mode) == 0;
  if (ok && exists && (st.st_uid != geteuid() || st.st_gid != getegid())) {
    // Keep the owner of a file replaced for another user. Where that is not
    // allowed the file becomes the writer's, as a new file would: no failure.
    int kept_owner = fchown(fd, st.st_uid, st.st_gid);
    (void)kept_owner;
  }
  FILE* fp = ok ? fdopen(fd, "w") : nullptr;
  if (fp == nullptr) {
    close(fd);
    ok = false;
  } else {
    ok = finishimage(fp, format, image, true);
  }
  if (ok && rename(temp.cStr(), target.cStr()) != 0) ok = false;
  if (!ok) unlink(temp.cStr());
  return ok;
}

// Encodes cmds[0..ncmds-1], lists each word on the console and, when `fn` is
// not null, writes the image to it in `format`. Every statement is encoded
// before the file is touched, so a failed assembly leaves an existing file
// as it was. Returns false on an unknown mnemonic, when the file cannot be
// written, or, with `strict`, when any warning was found.
// REQUIRES: ncmds <= 32
static bool writeimage(instruction* cmds, int ncmds, const char* fn, const ImageFormat& format,
                       Diagnostics& diag, bool strict) {
  assert(ncmds <= kMemoryWords);
  printf("Generating %s output '%s'\n", format.title, fn != nullptr ? fn : "<stdout>");

  String words[kMemoryWords];
  for (int i = 0; i < ncmds; i++) {
    if (!encodestatement(cmds, ncmds, i, words[i], diag)) {
      diag.error(diag.line[i], "unknown instruction '%s'", cmds[i].op.cStr());
      printf("Unknown ZRC instruction '%s', aborting..\n", cmds[i].op.cStr());
      fflush(stdout);
      return false;
    }
    printf("%s\n", words[i].cStr());
  }
  if (strict && diag.warnings > 0) {
    fflush(stdout);
    return false;
  }

  const Image image = {fn, cmds, words, ncmds};
  // The listing comes before an image written to the console (/dev/stdout).
  fflush(stdout);
  bool ok = fn == nullptr || writeimagefile(fn, format, image);
  if (!ok) printf("Cannot write %s output '%s', aborting..\n", format.title, fn);
  fflush(stdout);
  return ok;
}

// Encodes cmds[0..ncmds-1], lists each word on the console and, when `fn` is
// not null, writes the MIF image to it. Returns false on an unknown mnemonic
// or when the file cannot be written; an existing file is then unchanged.
// REQUIRES: ncmds <= 32
bool writeasm(instruction* cmds, int ncmds, char* fn) {
  Diagnostics quiet;
  return writeimage(cmds, ncmds, fn, kFormats[0], quiet, false);
}

// True when `a` and `b` both exist and are one file (the same device and
// inode, so links count as the file they lead to).
static bool samefile(const char* a, const char* b) {
  struct stat sa, sb;
  return stat(a, &sa) == 0 && stat(b, &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// What the command line asks for.
struct CommandLine {
  const char* source = nullptr;
  const char* output = nullptr;
  const ImageFormat* format = &kFormats[0];
  bool warnings = false;
  bool strict = false;
};

enum CommandAction {
  ACTION_ASSEMBLE,  // load `source`, write `output`
  ACTION_USAGE,     // no argument at all: the plain usage line
  ACTION_ERROR,     // a usage error, described in `error`
  ACTION_HELP,
  ACTION_VERSION,
};

enum OptionId { OPT_OUTPUT, OPT_FORMAT, OPT_WARNINGS, OPT_STRICT, OPT_HELP, OPT_VERSION };

struct Option {
  char short_name;  // '\0' for a long name only
  const char* long_name;
  const char* argument;  // the argument's name in the help; null for a switch
  OptionId id;
  const char* help;
};

static const Option kOptions[] = {
    {'o', "output", "FILE", OPT_OUTPUT,
     "write the image to FILE (then only the source may follow)"},
    {'f', "format", "FORMAT", OPT_FORMAT, "the image format (see below); mif by default"},
    {'W', "warnings", nullptr, OPT_WARNINGS, "report probable mistakes, each by its source line"},
    {'\0', "strict", nullptr, OPT_STRICT, "as -W, and fail the run when anything is reported"},
    {'h', "help", nullptr, OPT_HELP, "print this help and exit"},
    {'V', "version", nullptr, OPT_VERSION, "print the version and exit"},
};

// What each format holds, for the help.
static const char* const kFormatHelp[] = {
    "mif       Memory Initialization File, one commented line per address",
    "readmemb  for Verilog $readmemb: one 10-digit binary word per line",
    "readmemh  for Verilog $readmemh: one 3-digit hexadecimal word per line",
    "coe       coefficient file, radix 2, the 32 words separated by commas",
};

static void printhelp() {
  printf("usage: orvix [option ...] [--] <input file> [<output file>]\n\n");
  printf("Assembles a ZRC source into 32 words of 10 bits, lists them and, with an\n");
  printf("output file, writes the memory image. Options come before the input file;\n");
  printf("\"--\" ends them.\n\nOptions:\n");
  for (const Option& o : kOptions) {
    String names;
    if (o.short_name != '\0') {
      names.printf("-%c, --%s%s%s", o.short_name, o.long_name, o.argument ? " " : "",
                   o.argument ? o.argument : "");
    } else {
      names.printf("    --%s%s%s", o.long_name, o.argument ? " " : "",
                   o.argument ? o.argument : "");
    }
    printf("  %-22s %s\n", names.cStr(), o.help);
  }
  printf("\nFormats:\n");
  for (const char* line : kFormatHelp) printf("  %s\n", line);
  printf("\nExit status: 0 on success, 1 on any failure (an existing output file is\n");
  printf("then left as it was).\n");
}

// Reads the option at argv[i] (which begins with '-'), consuming its
// argument from argv[i + 1] when it needs one. Returns the action to take
// now, ACTION_ASSEMBLE to go on.
static CommandAction readoption(int argc, char** argv, int& i, CommandLine& cl, String& error) {
  const char* arg = argv[i++];
  const Option* option = nullptr;
  const char* value = nullptr;
  String name;  // the option as written, without an attached value
  if (arg[1] == '-') {
    const char* equals = strchr(arg, '=');
    name = equals ? String(arg).left(static_cast<int>(equals - arg)) : String(arg);
    for (const Option& o : kOptions) {
      if (strcmp(name.cStr() + 2, o.long_name) == 0) option = &o;
    }
    if (option != nullptr && equals != nullptr) {
      if (option->argument == nullptr) {
        error.printf("option '%s' takes no argument", name.cStr());
        return ACTION_ERROR;
      }
      value = equals + 1;
    }
  } else {
    name = String(arg).left(2);
    for (const Option& o : kOptions) {
      if (o.short_name != '\0' && arg[1] == o.short_name) option = &o;
    }
    if (option != nullptr && arg[2] != '\0') {
      if (option->argument == nullptr) option = nullptr;  // "-Wx" is no option of ours
      value = arg + 2;
    }
    if (option == nullptr) name = arg;
  }
  if (option == nullptr) {
    error.printf("unknown option '%s'", name.cStr());
    return ACTION_ERROR;
  }
  if (option->argument != nullptr && value == nullptr && i < argc) value = argv[i++];
  if (option->argument != nullptr && (value == nullptr || *value == '\0')) {
    error.printf("option '%s' needs an argument", name.cStr());
    return ACTION_ERROR;
  }

  switch (option->id) {
    case OPT_OUTPUT:
      if (cl.output != nullptr) {
        error.printf("output path given twice ('%s' and '%s')", cl.output, value);
        return ACTION_ERROR;
      }
      cl.output = value;
      break;
    case OPT_FORMAT:
      cl.format = findformat(value);
      if (cl.format == nullptr) {
        error.printf("unknown format '%s' (mif, readmemb, readmemh, coe)", value);
        return ACTION_ERROR;
      }
      break;
    case OPT_WARNINGS:
      cl.warnings = true;
      break;
    case OPT_STRICT:
      cl.warnings = true;
      cl.strict = true;
      break;
    case OPT_HELP:
      return ACTION_HELP;
    case OPT_VERSION:
      return ACTION_VERSION;
  }
  return ACTION_ASSEMBLE;
}

// Reads the command line into `cl`. Options count only before the first
// argument that does not begin with '-' (a lone "-" is no option), and "--"
// ends them. A command line without options means what it always has: the
// output path counts only when it is the one argument after the source.
static CommandAction readcommandline(int argc, char** argv, CommandLine& cl, String& error) {
  int i = 1;
  bool options = false;
  while (i < argc && argv[i][0] == '-' && argv[i][1] != '\0') {
    options = true;
    if (strcmp(argv[i], "--") == 0) {
      i++;
      break;
    }
    CommandAction action = readoption(argc, argv, i, cl, error);
    if (action != ACTION_ASSEMBLE) return action;
  }

  const int rest = argc - i;
  if (!options) {
    if (rest < 1) return ACTION_USAGE;
    cl.source = argv[i];
    if (rest == 2) cl.output = argv[i + 1];
    return ACTION_ASSEMBLE;
  }
  if (rest < 1) {
    error = "no input file";
    return ACTION_ERROR;
  }
  if (rest > 2) {
    error = "too many arguments";
    return ACTION_ERROR;
  }
  cl.source = argv[i];
  if (rest == 2) {
    if (cl.output != nullptr) {
      error.printf("output path given twice ('%s' and '%s')", cl.output, argv[i + 1]);
      return ACTION_ERROR;
    }
    cl.output = argv[i + 1];
  }
  return ACTION_ASSEMBLE;
}

// The exit status of a run that would end with `status`: 1 when the console
// listing could not be written in full, which is then said on standard error.
// Unused where the file is included without its main.
[[maybe_unused]] static int finish(int status) {
  if (fflush(stdout) != 0 || ferror(stdout)) {
    fprintf(stderr, "orvix: Error writing to standard output.\n");
    return 1;
  }
  return status;
}

// One run of the assembler with the command line `argv`; returns the exit
// status before the console is checked.
[[maybe_unused]] static int run(int argc, char** argv) {
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

  printf("ZRC Assembler. orvix %s, part of the orvix project.\n", ORVIX_VERSION);
  printf("Supporting basic ZRC and parallel ZRC extensions.\n\n");
  if (action == ACTION_USAGE) {
    printf("usage: orvix <input file> [<output file>]\n");
    return 1;
  }
  if (action == ACTION_ERROR) {
    printf("orvix: %s\n", error.cStr());
    printf("Try 'orvix --help' for more information.\n");
    return 1;
  }
  // Writing the image over its own source would lose the program.
  if (cl.output != nullptr && samefile(cl.source, cl.output)) {
    printf("orvix: Output file %s is the source file.\n", cl.output);
    return 1;
  }

  Diagnostics diag;
  diag.report = cl.warnings;
  int count = loadsource(cmds, cl.source, diag);
  if (count <= 0) {
    printf("orvix: Error reading source file %s.\n", cl.source);
    return 1;
  }
  if (!writeimage(cmds, count, cl.output, *cl.format, diag, cl.strict)) {
    printf("orvix: Error generating machine code.\n");
    return 1;
  }
  return 0;
}

#ifndef ORVIX_NO_MAIN
int main(int argc, char** argv) { return finish(run(argc, argv)); }
#endif  // ORVIX_NO_MAIN
