// One source statement: the record the encoder reads, what else its line
// holds, and where each part stands in the line, so that a message, a mark
// or an edit can point at the part it is about.
//
// A statement line is split into tokens at runs of comma, blank and tab: an
// optional label (a first token ending in ':'), the mnemonic, the operand,
// and whatever follows, which takes no part in the record. Pure functions;
// safe from any thread.

#ifndef ORVIX_STATEMENT_H_
#define ORVIX_STATEMENT_H_

#include "libcontainer/libcontainer.h"

// One source statement, filled by the loader and read by the encoder.
struct instruction {
  String label;      // label defined here, without its colon; "" for none
  String op;         // the mnemonic as written; "" when the line holds a label only
  String jmptarget;  // the operand when it is a label reference; "" otherwise
  int data = 0;      // numeric operand; 0 without operand, -1 for a label reference
                     // (for `.word`, the word, or -1 when the operand is none)
};

// Byte columns [begin, end) of a source line, counted from its first byte;
// begin == end for a part that is absent.
struct Span {
  long long begin = 0;
  long long end = 0;
  bool empty() const { return begin == end; }
};

// What parsing one statement line finds beyond its record.
struct StatementText {
  String operand;  // the operand as written; "" when there is none
  String rest;     // the tokens after the operand, joined by one blank
  Span label;      // the label's name, without its colon
  Span mnemonic;
  Span operand_span;
  Span rest_span;  // from the first token after the operand to the last
  Span whole;      // from the first token to the last
};

// Fills `cmd` and `text` from one statement line as the LineReader hands it
// over, `line` beginning at byte `offset` of its source line: the label, the
// mnemonic and the operand, which is a number when isinteger holds and a
// label reference otherwise (after `.word`, always a number: the word, or
// -1 when the operand is no word). Every field of both is set.
void parsestatement(const String& line, long long offset, instruction& cmd, StatementText& text);

// The statement as the image comments show it: the label with its colon,
// two tabs, the mnemonic, a blank and the operand (the label reference, or
// the number).
String statementcomment(const instruction& cmd);

#endif  // ORVIX_STATEMENT_H_
