#include "orvix/listing.h"

#include <cassert>
#include <cstdlib>

namespace {

const int kTabStop = 8;
// The blanks that stand for a statement's address and words.
const char kNoStatement[] = "                 ";

// The address and words of statement `i`, as wide as kNoStatement.
std::string statementcolumns(int i, const String& word) {
  char columns[sizeof kNoStatement];
  snprintf(columns, sizeof columns, "%02x %s %03lx", static_cast<unsigned>(i), word.cStr(),
           strtol(word.cStr(), nullptr, 2));
  return columns;
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

void writelisting(FILE* fp, instruction* cmds, int ncmds, const String* words,
                  const Diagnostics& diag) {
  assert(ncmds <= kMemoryWords);
  int i = 0;
  for (size_t n = 1; n <= diag.text.size(); n++) {
    std::string columns;
    for (; i < ncmds && diag.line[i] == static_cast<long>(n); i++) {
      if (!columns.empty()) columns += "  ";
      columns += statementcolumns(i, words[i]);
    }
    if (columns.empty()) columns = kNoStatement;
    const std::string& text = diag.text[n - 1];
    fprintf(fp, "%s %5ld", columns.c_str(), static_cast<long>(n));
    // fwrite: the line may hold NUL bytes, which stay as written.
    if (!text.empty()) {
      const std::string shown = "  " + expandtabs(text);
      fwrite(shown.data(), 1, shown.size(), fp);
    }
    fprintf(fp, "\n");
  }
  assert(i == ncmds);

  bool header = false;
  for (int k = 0; k < ncmds; k++) {
    if (cmds[k].label.length() == 0) continue;
    if (!header) fprintf(fp, "\nLabels:\n");
    header = true;
    fprintf(fp, "%02x %5ld  %s%s\n", static_cast<unsigned>(k), diag.line[k], cmds[k].label.cStr(),
            findlabel(cmds, cmds[k].label) < k ? "  (defined again: not reached by jumps)" : "");
  }
}
