// Document: one source as an editor holds it, and what an editor asks of
// it: where each diagnostic lies, the label at a place, its definition and
// references, a rename, the word under the cursor, completions, the labels
// as symbols, the source formatted in columns, and the quick fixes the
// suggestions give.
//
// Everything is read from the one assembly of the text (assembly.h), made
// when the document is: statements, labels, diagnostics and their ranges.
// Places are 0-based lines, as editors count them (a line ends at LF; a CR
// before it is no part of the line), and byte columns of the line. A
// Document owns its text and assembly; it is a plain value, safe to read
// from several threads.

#ifndef ORVIX_DOCUMENT_H_
#define ORVIX_DOCUMENT_H_

#include <string>
#include <vector>

#include "orvix/assembly.h"

// A place in a document: 0-based line, byte column in that line.
struct TextPoint {
  long long line = 0;
  long long column = 0;
};

// The text from `start` up to `end`.
struct TextRange {
  TextPoint start;
  TextPoint end;
};

// Replace `range` by `text`.
struct TextEdit {
  TextRange range;
  std::string text;
};

// One completion: a mnemonic, the directive or a label.
struct Completion {
  std::string name;
  std::string detail;  // the word layout, or the label's address
  std::string help;    // more on it, Markdown; may be ""
  bool label = false;
};

// A label of the document, as the editor lists it.
struct LabelSymbol {
  std::string name;
  std::string detail;  // its address, and whether jumps reach it
  TextRange range;     // the statement that defines it
  TextRange name_range;
};

// A suggestion's change, fixing one diagnostic.
struct QuickFix {
  size_t diagnostic;  // index into assembly().diagnostics
  std::string title;
  TextEdit edit;
};

class Document {
 public:
  // Assembles `text`, named `name` in the assembly's console lines, as
  // orvix -W does.
  Document(const std::string& text, const std::string& name);

  const std::string& text() const { return text_; }
  const Assembly& assembly() const { return assembly_; }

  // Number of lines: one more than the text has LF bytes.
  long long lineCount() const { return static_cast<long long>(starts_.size()); }
  // The bytes of line `line` (0-based) without its line end; "" past the
  // last line.
  std::string line(long long line) const;

  // Where `d` lies: its range in its line, the whole line for an empty
  // range, and the first statement's line (else the first line) for a
  // diagnostic of no line.
  TextRange rangeof(const Diagnostic& d) const;

  // The name of the label defined or referenced at `p` (the cursor may
  // stand just after it), with the range of that occurrence; "" when there
  // is none.
  std::string labelat(TextPoint p, TextRange* range) const;
  // The definition jumps reach of label `name`, or null when none defines
  // it.
  const Label* definition(const std::string& name) const;
  // Where the definition `l` names its label.
  TextRange labelrange(const Label& l) const { return rangein(l.line, l.range); }
  // Every operand that names label `name`, and, with `definitions`, every
  // definition of it, in source order.
  std::vector<TextRange> references(const std::string& name, bool definitions) const;

  // Why no label can be renamed `to`: one line, or "" when one can. A name
  // that is a label already, or that an operand names, is refused: the
  // rename would change where a jump goes.
  std::string renamerefusal(const std::string& to) const;
  // The edits that rename label `from` to `to`: every definition and every
  // operand that names it. Meant for a name renamerefusal() lets pass.
  std::vector<TextEdit> rename(const std::string& from, const std::string& to) const;

  // What the cursor at `p` stands on, in Markdown, with the range it is
  // about: a label (its address, its definition), a mnemonic (its word
  // layout), or a statement (its address, its word and the word's fields).
  // "" for nothing.
  // REQUIRES: range != nullptr
  std::string hover(TextPoint p, TextRange* range) const;

  // What may be written at `p`: after a jump's mnemonic the labels, where a
  // mnemonic goes every mnemonic and the directive, else nothing.
  std::vector<Completion> completions(TextPoint p) const;

  // Every label definition, in source order.
  std::vector<LabelSymbol> symbols() const;

  // The edits that put labels, mnemonics, operands and comments in columns,
  // one per line that changes. A line the assembler reads in pieces, one
  // with a NUL byte, and one past the statements read is left as it is.
  // Returns false, with no edit, if the result would not read as the same
  // statements (which would be a fault of the formatter).
  bool format(std::vector<TextEdit>* edits) const;

  // The suggestions of the diagnostics on lines `first` to `last`, each as
  // the edit that takes it.
  std::vector<QuickFix> quickfixes(long long first, long long last) const;

 private:
  // The statements on line `line` (0-based), by index.
  std::vector<size_t> statementson(long long line) const;
  // The document range of `span` in source line `line` (1-based).
  TextRange rangein(long long line, const Span& span) const;
  // The byte column in the source line of column `column` of line `line`
  // (0-based): the assembler reads the first line without a byte order mark.
  long long sourcecolumn(long long line, long long column) const;

  std::string text_;
  std::vector<size_t> starts_;  // where each line begins in text_
  long long bom_ = 0;           // bytes of a UTF-8 byte order mark before the first line
  Assembly assembly_;
};

#endif  // ORVIX_DOCUMENT_H_
