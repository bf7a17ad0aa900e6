#include "orvix/disassembler.h"

#include <cassert>
#include <cstring>
#include <vector>

#include "orvix/assembly.h"
#include "orvix/instructionset.h"
#include "orvix/statement.h"

namespace {

// Where a statement and its comment begin in a source line.
const size_t kStatementColumn = 8;
const size_t kCommentColumn = 28;

// `text` padded with blanks to `column`, or followed by one blank when it
// reaches it.
std::string padded(const std::string& text, size_t column) {
  return text + std::string(text.size() < column ? column - text.size() : 1, ' ');
}

// One source line: the label (without its colon; "" for none), the
// statement, and the comment with the address, the word and `note`. A
// statement too long for the comment to follow it within the longest line
// the assembler reads whole has the comment on a line of its own before it.
std::string sourceline(const std::string& label, const std::string& statement, int address,
                       int word, const char* note) {
  const std::string text = padded(label.empty() ? "" : label + ":", kStatementColumn) + statement;
  const std::string comment =
      formatted("; %02x %s%s", address, bitify(word, kWordBits).cStr(), note);
  const std::string line = padded(text, kCommentColumn) + comment;
  if (line.size() < static_cast<size_t>(kMaxLineLength)) return line + "\n";
  return comment + "\n" + text + "\n";
}

// The label of a jump target at `address`.
std::string targetlabel(int address) { return formatted("a%02x", address); }

// The statements of the words 0 to `n` - 1, each decoded.
std::string decoded(const std::vector<int>& words, int n) {
  std::vector<bool> target(static_cast<size_t>(n), false);
  for (int a = 0; a < n; a++) {
    const DecodedWord d = decodeword(words[a]);
    if (d.mnemonic != nullptr && d.mnemonic->kind == OPERAND_JUMP && d.field < n) {
      target[d.field] = true;
    }
  }
  std::string text;
  for (int a = 0; a < n; a++) {
    const DecodedWord d = decodeword(words[a]);
    std::string statement;
    const char* note = "";
    if (d.mnemonic == nullptr) {
      statement = formatted("%s 0x%03x", kWordDirective, words[a]);
    } else {
      statement = d.mnemonic->name;
      if (d.mnemonic->kind == OPERAND_JUMP && d.field < n) {
        statement += " " + targetlabel(d.field);
      } else if (d.mnemonic->kind != OPERAND_NONE) {
        statement += formatted(" %d", d.field);
      }
      // The one word two mnemonics share.
      if (strcmp(d.mnemonic->name, "inb") == 0) note = " or wdpcpu";
    }
    text += sourceline(target[a] ? targetlabel(a) : "", statement, a, words[a], note);
  }
  return text;
}

// The statements that orvix's comments in `image` show, as source lines
// after `header`, when they are the whole program: every word they do not
// show is zero, and they assemble to the image's words. "" otherwise.
std::string commented(const MemoryImage& image, const std::string& header) {
  int n = 0;
  while (n < kMemoryWords && !image.comments[n].empty()) n++;
  if (n == 0) return "";
  for (int a = n; a < kMemoryWords; a++) {
    if (!image.comments[a].empty() || image.words[a] != 0) return "";
  }
  std::string text;
  for (int a = 0; a < n; a++) {
    instruction cmd;
    StatementText parts;
    parsestatement(String(image.comments[a].c_str()), 0, cmd, parts);
    if (cmd.op.length() == 0 || parts.rest.length() > 0) return "";
    std::string operand = parts.operand.cStr();
    // The comment shows an absent operand as 0.
    const Mnemonic* m = findmnemonic(cmd.op);
    if (m != nullptr && m->kind == OPERAND_NONE && operand == "0") operand.clear();
    text += sourceline(cmd.label.cStr(), cmd.op.cStr() + (operand.empty() ? "" : " " + operand), a,
                       image.words[a], "");
  }
  AssemblyOptions options;
  options.source = "-";
  const Assembly check = assemble(header + text, options);
  if (!check.assembled() || check.encoded() != n) return "";
  for (int a = 0; a < n; a++) {
    if (check.statements[a].word != bitify(image.words[a], kWordBits)) return "";
  }
  return text;
}

}  // namespace

std::string sourceof(const MemoryImage& image, const std::string& name, bool* from_comments) {
  // REQUIRES: image.read
  assert(image.read && image.words.size() == static_cast<size_t>(kMemoryWords));
  // One comment line, however long the name: a line over 1023 bytes would
  // be read in pieces, the rest of the name as statements.
  std::string shown = name.size() > 200 ? "..." + name.substr(name.size() - 200) : name;
  for (char& c : shown) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
  }
  const std::string header =
      "; ZRC source of the " + image.form + " image '" + shown + "', disassembled by orvix\n";
  std::string body = commented(image, header);
  if (from_comments != nullptr) *from_comments = !body.empty();
  if (body.empty()) {
    int n = kMemoryWords;
    while (n > 1 && image.words[n - 1] == 0) n--;
    body = decoded(image.words, n);
  }
  return header + body;
}

Disassembly disassemble(const std::string& text, const std::string& name) {
  Disassembly d;
  d.image = readimage(text);
  if (d.image.read) d.source = sourceof(d.image, name, &d.from_comments);
  return d;
}
