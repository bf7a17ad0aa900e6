// The assembly of one ZRC source, as one value that every front end reads:
// the command line prints its console lines and writes its image and
// listing, the playground page shows it, an editor marks its diagnostics.
//
// assemble() reads a source (an open stream or text in memory), loads its
// statements, resolves their labels once, encodes each into a word and
// checks what the assembler would otherwise pass over in silence. It prints
// nothing and opens nothing: what a run prints is in `console`, line by
// line, in the order the program prints it, and the files are the front
// end's to write. The two stages are also available on their own, for the
// functions that work on a statement table.
//
// Values are plain; an Assembly owns everything in it. The functions keep no
// state and may run in several threads on different values.

#ifndef ORVIX_ASSEMBLY_H_
#define ORVIX_ASSEMBLY_H_

#include <cstdio>
#include <string>
#include <vector>

#include "libcontainer/libcontainer.h"
#include "orvix/diagnostics.h"
#include "orvix/instructionset.h"
#include "orvix/sourcetext.h"
#include "orvix/statement.h"

// The longest piece of a source line the loader's LineReader hands over,
// terminator included: a longer line is read in pieces of 1023 bytes.
const int kMaxLineLength = 1024;

// How to assemble, and how the console names things.
struct AssemblyOptions {
  std::string source;                // the source's name in messages, as given
  std::string output = "<stdout>";   // the image's name in the progress line
  std::string format_title = "MIF";  // the image format's name in the progress line
  bool report = false;               // the console tells every diagnostic (-W)
  bool strict = false;               // any warning fails the assembly
  bool keep_lines = false;           // keep every source line, for a listing
  bool ctrlz_ends = false;           // a Ctrl-Z byte ends the source (Windows' text mode)
};

// How an assembly ended.
enum AssemblyOutcome {
  OUTCOME_ASSEMBLED,         // every statement encoded: the image may be written
  OUTCOME_NO_STATEMENT,      // the source holds no statement
  OUTCOME_TOO_MANY,          // more statements than memory has words
  OUTCOME_READ_ERROR,        // the source could not be read to its end
  OUTCOME_UNKNOWN_MNEMONIC,  // a statement names no ZRC instruction
  OUTCOME_BAD_WORD,          // a `.word` statement's operand is no 10-bit word
  OUTCOME_STRICT,            // strict, and a warning was found
};

// One statement of the program, at the address of its index.
struct Statement {
  instruction record;  // as the encoder reads it
  StatementText text;  // the operand and what follows as written, and where each part stands
  long long line = 0;  // 1-based source line; 0 when it comes from a statement table
  int target = -1;     // a label reference: the address of its first definition, -1 for none
  String word;         // ten '0'/'1' characters; "" when not encoded
  String comment;      // as the image comments show it
};

// One definition of a label, in source order.
struct Label {
  String name;
  int address = 0;
  long long line = 0;
  Span range;         // the name in its line
  bool first = true;  // the first definition of the name: the one jumps reach
};

// Where a console line goes: progress lines and words are left out of a
// quiet run, messages then go to standard error.
enum ConsoleChannel { CONSOLE_PROGRESS, CONSOLE_MESSAGE };

struct ConsoleLine {
  ConsoleChannel channel;
  std::string text;  // ends with its newline
};

struct Assembly {
  AssemblyOutcome outcome = OUTCOME_NO_STATEMENT;
  std::vector<Statement> statements;    // those loaded, address 0 first
  std::vector<Label> labels;            // every definition, in source order
  std::vector<Diagnostic> diagnostics;  // in the order the console tells them
  int warnings = 0;                     // diagnostics that are warnings
  int read_error = 0;                   // the system's error number of a failed read; 0 if unknown
  std::string failure;  // the assembler's console line saying why it failed; "" if none
  std::vector<SourceText::Line> lines;  // every source line, when kept
  std::vector<ConsoleLine> console;     // what the run prints after the banner

  // True when every statement was encoded and the image may be written.
  bool assembled() const { return outcome == OUTCOME_ASSEMBLED; }
  // The statements with a word: all of them, or those before an unknown
  // mnemonic.
  int encoded() const;
  // The console text, every line as a run that is not quiet prints it.
  std::string consoletext() const;
};

// Assembles the source read from the open stream `source` (the caller's,
// left open) or from `text`. The console ends with the driver's line when
// the assembly fails ("orvix: Error reading source file ...", or "orvix:
// Error generating machine code.").
Assembly assemble(FILE* source, const AssemblyOptions& options);
Assembly assemble(const std::string& text, const AssemblyOptions& options);

// The first stage: reads the source `text` into statements, labels, the
// loader's diagnostics and its console lines ("Processing ...", and why a
// source fails). The outcome is OUTCOME_ASSEMBLED when statements were
// loaded and may be encoded.
Assembly loadstatements(SourceText& text, const AssemblyOptions& options);

// Resolves every label reference of `a` through `a.labels`.
void resolvelabels(Assembly& a);

// The second stage: encodes the statements of a loaded `a` in order, with
// the progress line, each word and the encoder's diagnostics; stops at an
// unknown mnemonic or a `.word` without a word. Labels must be resolved.
void encodestatements(Assembly& a, const AssemblyOptions& options);

#endif  // ORVIX_ASSEMBLY_H_
