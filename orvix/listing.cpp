#include "orvix/listing.h"

#include <cassert>
#include <cstdlib>

#include "orvix/diagnostics.h"

namespace {

const int kTabStop = 8;
// The blanks that stand for a statement's address and words.
const char kNoStatement[] = "                 ";

// The address and words of statement `i`, as wide as kNoStatement.
std::string statementcolumns(int i, const String& word) {
  return formatted("%02x %s %03lx", static_cast<unsigned>(i), word.cStr(),
                   strtol(word.cStr(), nullptr, 2));
}

}  // namespace

std::string expandtabs(const std::string& text) {
  std::string expanded;
  size_t column = 0;
  for (char c : text) {
    if (c == '\t') {
      const size_t blanks = kTabStop - column % kTabStop;
      expanded.append(blanks, ' ');
      column += blanks;
      continue;
    }
    expanded += c;
    // The bytes after the first of a UTF-8 character take no column.
    if ((static_cast<unsigned char>(c) & 0xc0) != 0x80) column++;
  }
  return expanded;
}

std::string listingtext(const Assembly& a) {
  assert(a.assembled());
  std::string listing;
  const int count = static_cast<int>(a.statements.size());
  int i = 0;
  for (const SourceText::Line& line : a.lines) {
    std::string columns;
    for (; i < count && a.statements[i].line == line.number; i++) {
      if (!columns.empty()) columns += "  ";
      columns += statementcolumns(i, a.statements[i].word);
    }
    if (columns.empty()) columns = kNoStatement;
    listing += columns + formatted(" %5lld", line.number);
    // The line may hold NUL bytes, which stay as written.
    if (!line.text.empty()) listing += "  " + expandtabs(line.text);
    listing += "\n";
  }
  assert(i == count);

  bool header = false;
  for (const Label& l : a.labels) {
    if (!header) listing += "\nLabels:\n";
    header = true;
    listing += formatted("%02x %5lld  ", static_cast<unsigned>(l.address), l.line) + l.name.cStr() +
               (l.first ? "" : "  (defined again: not reached by jumps)") + "\n";
  }
  return listing;
}
